#include "kvscene.h"

#include <QHash>
#include <QUndoCommand>

#include "kvaudio.h"

KvScene* kvScene = nullptr;

KvScene::KvScene() {
    if (!kvScene) kvScene = this;
}

KvScene::~KvScene() {
    clear();
    setAudio(nullptr, 0);
    if (kvScene == this) kvScene = nullptr;
}

void KvScene::addNode(KvNode* node) {
    if (!node || m_nodes.contains(node)) return;
    node->setParent(this);
    m_nodes.append(node);
    emit nodeAdded(node);
}

void KvScene::removeNode(KvNode* node) {
    if (!m_nodes.removeOne(node)) return;
    if (m_selection && (m_selection == node || m_selection->getSkeleton() == node))
        setPrimarySelection(nullptr);
    emit nodeRemoved(node);
    delete node;
}

void KvScene::clear() {
    while (!m_nodes.isEmpty())
        removeNode(m_nodes.back());
    m_undo.clear();
}

QList<KvSkeleton*> KvScene::figures() const {
    QList<KvSkeleton*> out;
    for (KvNode* n : m_nodes)
        if (n->inherits("KvSkeleton")) out.append(static_cast<KvSkeleton*>(n));
    return out;
}

QStringList KvScene::figureNames() const {
    QStringList out;
    for (KvSkeleton* f : figures())
        out << f->getName();
    return out;
}

void KvScene::setPrimarySelection(KvNode* node) {
    if (node == m_selection) return;
    m_selection = node;
    emit selectionChanged(node);
}

void KvScene::selectAllNodes(bool on) {
    // One primary selection is all this host keeps; deselecting clears it.
    if (!on)
        setPrimarySelection(nullptr);
    else if (!m_selection && !m_nodes.isEmpty())
        setPrimarySelection(m_nodes.front());
}

void KvScene::setTime(int ticks) {
    if (ticks < 0) ticks = 0;
    if (ticks == m_time) return;
    m_time = ticks;
    emit timeChanged(ticks);
}

void KvScene::setTimeStep(int ticks) {
    m_timeStep = ticks > 0 ? ticks : 1;
}

void KvScene::setAudio(KvWinAudioClip* clip, int startFrame) {
    if (clip) clip->addRef();
    if (m_audio) m_audio->release();
    m_audio = clip;
    m_audioStartFrame = startFrame;
    emit audioChanged();
}

void KvScene::setAnimRange(const KvTimeRange& range) {
    m_animRange = range;
    emit rangesChanged();
}

void KvScene::setPlayRange(const KvTimeRange& range) {
    m_playRange = range;
    emit rangesChanged();
}

namespace {

// Keys of every property changed in one step, before and after.
class KeyChangeCommand : public QUndoCommand {
public:
    struct Change {
        QPointer<KvFloatProperty> property;
        QVector<KvKey> before, after;
    };
    KeyChangeCommand(const QString& caption, QList<Change> changes)
        : QUndoCommand(caption), m_changes(std::move(changes)) {}
    void undo() override { apply(false); }
    void redo() override {
        // The changes are already in place when the step is pushed.
        if (m_first)
            m_first = false;
        else
            apply(true);
    }

private:
    void apply(bool after) {
        for (const Change& c : m_changes)
            if (c.property) c.property->setKeys(after ? c.after : c.before);
        if (kvScene) emit kvScene->keysChanged();
    }
    QList<Change> m_changes;
    bool m_first = true;
};

struct Recording {
    int depth = 0;
    QList<QPointer<KvFloatProperty>> order;
    QHash<KvFloatProperty*, QVector<KvKey>> before;
};

Recording& recording() {
    static Recording r;
    return r;
}

} // namespace

KvUndoStackHold::KvUndoStackHold() {
    ++recording().depth;
}

KvUndoStackHold::~KvUndoStackHold() {
    cancel();
}

void KvUndoStackHold::recordChange(KvFloatProperty* property) {
    Recording& r = recording();
    if (r.depth == 0 || r.before.contains(property)) return;
    r.before.insert(property, property->keys());
    r.order.append(property);
}

void KvUndoStackHold::accept(const QString& caption) {
    if (!m_open) return;
    m_open = false;
    Recording& r = recording();
    if (--r.depth > 0) return;
    QList<KeyChangeCommand::Change> changes;
    for (const QPointer<KvFloatProperty>& p : r.order)
        if (p) changes.append({p, r.before.value(p.data()), p->keys()});
    r.order.clear();
    r.before.clear();
    if (!changes.isEmpty() && kvScene)
        kvScene->undoStack()->push(new KeyChangeCommand(caption, changes));
}

void KvUndoStackHold::cancel() {
    if (!m_open) return;
    m_open = false;
    Recording& r = recording();
    if (--r.depth > 0) return;
    // The changes stay in the scene; they just do not become an undo step.
    r.order.clear();
    r.before.clear();
}

void KvUndoStackHold::revert() {
    if (!m_open) return;
    m_open = false;
    Recording& r = recording();
    if (--r.depth > 0) return;
    const QList<QPointer<KvFloatProperty>> order = r.order;
    const QHash<KvFloatProperty*, QVector<KvKey>> before = r.before;
    r.order.clear();
    r.before.clear();
    // Closed before restoring, so the restore itself is not recorded.
    for (const QPointer<KvFloatProperty>& p : order)
        if (p) p->setKeys(before.value(p.data()));
    if (!order.isEmpty() && kvScene) emit kvScene->keysChanged();
}
