// The scene: nodes, selection, time, audio, ranges, and the undo stack of key changes.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUndoStack>

#include "kvelement.h"

class KvWinAudioClip;

class KvScene : public QObject {
    Q_OBJECT
public:
    static const int kTicksPerSecond = 4800;

    KvScene();
    ~KvScene() override;

    void addNode(KvNode* node);
    // Removes a node (a skeleton with its bones) from the scene, emits nodeRemoved and deletes it.
    void removeNode(KvNode* node);
    void clear();
    const QList<KvNode*>& nodes() const { return m_nodes; }
    QList<KvSkeleton*> figures() const;

    KvNode* getPrimarySelection() const { return m_selection; }
    void setPrimarySelection(KvNode* node);
    void selectAllNodes(bool on);

    Q_INVOKABLE int getTime() const { return m_time; }
    Q_INVOKABLE void setTime(int ticks);
    Q_INVOKABLE QStringList figureNames() const;
    int getTimeStep() const { return m_timeStep; }
    void setTimeStep(int ticks);

    // The scene keeps a reference to the clip until another replaces it.
    void setAudio(KvWinAudioClip* clip, int startFrame);
    KvWinAudioClip* getAudio() const { return m_audio; }
    int getAudioStartFrame() const { return m_audioStartFrame; }

    KvTimeRange getAnimRange() const { return m_animRange; }
    void setAnimRange(const KvTimeRange& range);
    KvTimeRange getPlayRange() const { return m_playRange; }
    void setPlayRange(const KvTimeRange& range);

    QUndoStack* undoStack() { return &m_undo; }

signals:
    void nodeAdded(KvNode* node);
    void nodeRemoved(KvNode* node);
    void selectionChanged(KvNode* node);
    void timeChanged(int ticks);
    void rangesChanged();
    void audioChanged();
    void keysChanged();

private:
    QList<KvNode*> m_nodes;
    KvNode* m_selection = nullptr;
    int m_time = 0;
    int m_timeStep = kTicksPerSecond / 30;
    KvWinAudioClip* m_audio = nullptr;
    int m_audioStartFrame = 0;
    KvTimeRange m_animRange{0, 4 * kTicksPerSecond};
    KvTimeRange m_playRange{0, 4 * kTicksPerSecond};
    QUndoStack m_undo;
};

extern KvScene* kvScene;

// Groups the key changes made while it lives into one undo step. Holds nest: only the outermost
// one pushes the step.
class KvUndoStackHold {
public:
    KvUndoStackHold();
    ~KvUndoStackHold();
    void accept(const QString& caption);
    void cancel();
    // Closes the hold and puts back every key it recorded, leaving no undo step.
    void revert();

    // Called by a property before it changes, so that its keys can be restored.
    static void recordChange(KvFloatProperty* property);

private:
    bool m_open = true;
    KvUndoStackHold(const KvUndoStackHold&) = delete;
    KvUndoStackHold& operator=(const KvUndoStackHold&) = delete;
};
