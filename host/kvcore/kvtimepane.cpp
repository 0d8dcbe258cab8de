#include "kvtimepane.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "kvscene.h"

class KvTimePlot : public QWidget {
public:
    static const int kRow = 34, kLabel = 150;

    explicit KvTimePlot(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("KvTimePlot"));
        setMinimumHeight(kRow);
    }

    void rebuild() {
        m_channels.clear();
        m_names.clear();
        KvNode* node = kvScene ? kvScene->getPrimarySelection() : nullptr;
        KvSkeleton* figure = node ? node->getSkeleton() : nullptr;
        if (figure)
            for (KvBone* bone : figure->bones())
                for (KvFloatProperty* p : bone->channels())
                    if (p->getNumKeys() > 0) {
                        m_channels.append(p);
                        m_names.append(bone->getName() + QStringLiteral("**") + p->getName());
                    }
        setMinimumHeight(std::max(1, static_cast<int>(m_channels.size())) * kRow);
        update();
    }

    QStringList names() const { return m_names; }

protected:
    int span() const {
        KvTimeRange r = kvScene ? kvScene->getAnimRange() : KvTimeRange(0, 4800);
        return std::max(r.getEnd(), 1);
    }
    double xOf(int tick) const {
        return kLabel + (width() - kLabel - 8) * static_cast<double>(tick) / span();
    }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(250, 250, 247));
        p.setRenderHint(QPainter::Antialiasing);
        if (m_channels.isEmpty()) {
            p.setPen(Qt::darkGray);
            p.drawText(rect().adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       tr("No keyed channels on the selected figure"));
        }
        for (int row = 0; row < m_channels.size(); ++row) {
            KvFloatProperty* c = m_channels[row];
            if (!c) continue;
            const int top = row * kRow;
            p.setPen(QColor(225, 225, 220));
            p.drawLine(0, top + kRow - 1, width(), top + kRow - 1);
            p.setPen(Qt::black);
            p.drawText(QRect(4, top, kLabel - 8, kRow), Qt::AlignVCenter | Qt::AlignLeft,
                       m_names[row]);
            float lo = c->getKeyValue(0), hi = lo;
            for (const KvKey& k : c->keys()) {
                lo = std::min(lo, k.value);
                hi = std::max(hi, k.value);
            }
            if (hi - lo < 1e-6f) hi = lo + 1.0f;
            auto yOf = [&](float v) { return top + kRow - 4 - (kRow - 8) * (v - lo) / (hi - lo); };
            QPainterPath path;
            const int steps = std::max(2, width() - kLabel);
            for (int s = 0; s <= steps; ++s) {
                const int tick = span() * s / steps;
                const QPointF pt(xOf(tick), yOf(c->getValue(tick)));
                if (s == 0)
                    path.moveTo(pt);
                else
                    path.lineTo(pt);
            }
            p.setPen(QPen(QColor(40, 90, 170), 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(200, 60, 40));
            for (const KvKey& k : c->keys())
                p.drawEllipse(QPointF(xOf(k.time), yOf(k.value)), 2, 2);
        }
        const int now = kvScene ? kvScene->getTime() : 0;
        p.setPen(QPen(QColor(220, 40, 40), 1.5));
        p.drawLine(QPointF(xOf(now), 0), QPointF(xOf(now), height()));
    }

    void mousePressEvent(QMouseEvent* e) override { seek(e->pos().x()); }
    void mouseMoveEvent(QMouseEvent* e) override { seek(e->pos().x()); }

private:
    void seek(int x) {
        if (!kvScene || x < kLabel) return;
        const double f = (x - kLabel) / static_cast<double>(std::max(1, width() - kLabel - 8));
        kvScene->setTime(static_cast<int>(std::clamp(f, 0.0, 1.0) * span()));
    }

    QList<QPointer<KvFloatProperty>> m_channels;
    QStringList m_names;
};

KvTimePane::KvTimePane(QWidget* parent)
    : KvPane(tr("Timeline"), parent), m_plot(nullptr), m_time(new QLabel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    m_plot = new KvTimePlot(scroll);
    scroll->setWidget(m_plot);
    layout->addWidget(m_time);
    layout->addWidget(scroll);
    setMinimumHeight(140);
    if (kvScene) {
        connect(kvScene, &KvScene::selectionChanged, this, &KvTimePane::refresh);
        connect(kvScene, &KvScene::keysChanged, this, &KvTimePane::refresh);
        connect(kvScene, &KvScene::rangesChanged, this, &KvTimePane::refresh);
        connect(kvScene, &KvScene::nodeRemoved, this, &KvTimePane::refresh);
        connect(kvScene, &KvScene::timeChanged, this, &KvTimePane::refresh);
        connect(kvScene->undoStack(), &QUndoStack::indexChanged, this, &KvTimePane::refresh);
    }
    refresh();
}

QStringList KvTimePane::plottedChannels() const {
    return m_plot->names();
}

void KvTimePane::refresh() {
    const int now = kvScene ? kvScene->getTime() : 0;
    const int step = kvScene ? kvScene->getTimeStep() : 160;
    m_time->setText(tr("Time %1 s   frame %2")
                        .arg(now / double(KvScene::kTicksPerSecond), 0, 'f', 2)
                        .arg(now / step));
    m_plot->rebuild();
}
