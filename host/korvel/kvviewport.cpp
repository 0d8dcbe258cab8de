#include "kvviewport.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "kvaudio.h"
#include "kvscene.h"

KvViewport::KvViewport(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("KorvelViewport"));
    setMinimumSize(240, 200);
    m_timer.setInterval(33);
    connect(&m_timer, &QTimer::timeout, this, &KvViewport::tick);
    if (kvScene) {
        connect(kvScene, &KvScene::timeChanged, this, qOverload<>(&QWidget::update));
        connect(kvScene, &KvScene::selectionChanged, this, qOverload<>(&QWidget::update));
        connect(kvScene, &KvScene::keysChanged, this, qOverload<>(&QWidget::update));
        connect(kvScene, &KvScene::nodeRemoved, this, qOverload<>(&QWidget::update));
        connect(kvScene->undoStack(), &QUndoStack::indexChanged, this,
                qOverload<>(&QWidget::update));
    }
}

void KvViewport::play() {
    if (!kvScene) return;
    stop();
    m_startTick = kvScene->getPlayRange().getStart();
    KvWinAudioClip* clip = kvScene->getAudio();
    // The sound starts at its own frame; before that the scene runs silent.
    if (clip && kvScene->getAudioStartFrame() * kvScene->getTimeStep() <= m_startTick) {
        clip->reset();
        clip->play();
    }
    kvScene->setTime(m_startTick);
    m_clock.start();
    m_timer.start();
}

void KvViewport::stop() {
    m_timer.stop();
    if (kvScene && kvScene->getAudio()) {
        kvScene->getAudio()->pause();
        kvScene->getAudio()->reset();
    }
}

void KvViewport::tick() {
    const int now =
        m_startTick + static_cast<int>(m_clock.elapsed() * KvScene::kTicksPerSecond / 1000);
    KvWinAudioClip* clip = kvScene->getAudio();
    const int audioStart = clip ? kvScene->getAudioStartFrame() * kvScene->getTimeStep() : 0;
    if (clip && !clip->isPlaying() && now >= audioStart && now < audioStart + clip->getLength() &&
        m_startTick < audioStart) {
        clip->reset();
        clip->play();
    }
    if (now >= kvScene->getPlayRange().getEnd()) {
        kvScene->setTime(kvScene->getPlayRange().getEnd());
        stop();
        return;
    }
    kvScene->setTime(now);
}

float KvViewport::channel(KvSkeleton* figure, const char* boneName, const char* name) const {
    KvBone* bone = figure ? figure->findBone(QLatin1String(boneName)) : nullptr;
    if (!bone) return 0.0f;
    const int t = kvScene->getTime();
    const QString n = QLatin1String(name);
    if (KvFloatProperty* c = bone->controlForChannelType(n)) return c->getValue(t);
    if (bone->getObject())
        if (KvMorph* m = bone->getObject()->findMorph(n)) return m->getValueChannel()->getValue(t);
    return 0.0f;
}

void KvViewport::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(92, 104, 120));
    KvNode* node = kvScene ? kvScene->getPrimarySelection() : nullptr;
    KvSkeleton* fig = node ? node->getSkeleton() : nullptr;
    p.setPen(Qt::white);
    if (!fig) {
        p.drawText(rect(), Qt::AlignCenter, tr("No figure selected.\nFile > Open Figure..."));
        return;
    }
    p.drawText(rect().adjusted(8, 6, -8, -6), Qt::AlignLeft | Qt::AlignTop,
               tr("%1   %2 s").arg(fig->getLabel()).arg(kvScene->getTime() / 4800.0, 0, 'f', 2));

    auto clamp01 = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    // Each mouth morph, the Parlo Head's shape controls and the Parlo Speaker's speech targets
    // alike, pushes the drawn mouth along six shapes.
    struct MouthMorph {
        const char* name;
        float open, wide, round, lipIn, tongue, closed;
    };
    static const MouthMorph kMouth[] = {
        {"MouthOpen", 1, 0, 0, 0, 0, 0},       {"MouthWide", 0, 1, 0, 0, 0, 0},
        {"MouthRound", 0, 0, 1, 0, 0, 0},      {"LipLowerIn", 0, 0, 0, 1, 0, 0},
        {"TongueUp", 0, 0, 0, 0, 1, 0},        {"MouthClosed", 0, 0, 0, 0, 0, 1},
        {"MouthEE", 0.25f, 0.9f, 0, 0, 0, 0},  {"MouthER", 0.3f, 0, 0.5f, 0, 0.2f, 0},
        {"MouthEH", 0.6f, 0.3f, 0, 0, 0, 0},   {"MouthAA", 1.0f, 0.1f, 0, 0, 0, 0},
        {"MouthOO", 0.3f, 0, 1.0f, 0, 0, 0},   {"MouthW", 0.1f, 0, 1.0f, 0, 0, 0},
        {"MouthS", 0.1f, 0.7f, 0, 0, 0, 0},    {"MouthSH", 0.2f, 0, 0.7f, 0, 0, 0},
        {"MouthF", 0.1f, 0.2f, 0, 1.0f, 0, 0}, {"MouthTH", 0.25f, 0, 0, 0, 1.0f, 0},
        {"MouthL", 0.3f, 0, 0, 0, 0.9f, 0},    {"MouthM", 0, 0, 0, 0, 0, 1.0f},
        {"MouthN", 0.15f, 0, 0, 0, 0.6f, 0},   {"MouthR", 0.2f, 0, 0.5f, 0, 0, 0},
        {"MouthK", 0.35f, 0, 0, 0, 0.2f, 0}};
    float shape[6] = {0, 0, 0, 0, 0, 0};
    for (const MouthMorph& m : kMouth) {
        const float w = channel(fig, "head", m.name);
        if (w == 0.0f) continue;
        const float parts[6] = {m.open, m.wide, m.round, m.lipIn, m.tongue, m.closed};
        for (int i = 0; i < 6; ++i)
            shape[i] += w * parts[i];
    }
    const float open = clamp01(shape[0]) * (1.0f - clamp01(shape[5]));
    const float wide = clamp01(shape[1]);
    const float round = clamp01(shape[2]);
    const float lipIn = clamp01(shape[3]);
    const float tongue = clamp01(shape[4]);
    const float smile = channel(fig, "head", "Smile");
    const float browL = channel(fig, "head", "BrowUpLeft"),
                browR = channel(fig, "head", "BrowUpRight");
    const float blinkL = clamp01(channel(fig, "head", "BlinkLeft"));
    const float blinkR = clamp01(channel(fig, "head", "BlinkRight"));
    const float bend = channel(fig, "head", "rotateX") + channel(fig, "neck", "rotateX");
    const float side = channel(fig, "head", "rotateZ") + channel(fig, "neck", "rotateZ");
    const float twist = channel(fig, "head", "rotateY") + channel(fig, "neck", "rotateY");
    const float eyeSideL = channel(fig, "leftEye", "rotateY"),
                eyeUpL = channel(fig, "leftEye", "rotateX");
    const float eyeSideR = channel(fig, "rightEye", "rotateY"),
                eyeUpR = channel(fig, "rightEye", "rotateX");

    const double s = std::min(width(), height()) / 360.0;
    p.translate(width() / 2.0 + twist * 2.0 * s, height() / 2.0 + 10 * s + bend * 1.5 * s);
    p.rotate(-side);
    p.scale(s, s);

    // Head, with a twist seen as the features sliding across the face.
    p.setPen(QPen(QColor(60, 40, 30), 2));
    p.setBrush(QColor(236, 200, 170));
    p.drawEllipse(QPointF(0, 0), 115, 140);
    const double fx = std::clamp(twist, -45.0f, 45.0f) * 1.1;

    // Eyes: white, pupil following eye rotation, lid closing with the blink.
    auto eye = [&](double cx, float sideDeg, float upDeg, float blink) {
        const QPointF c(cx + fx, -30);
        p.setPen(QPen(QColor(60, 40, 30), 2));
        p.setBrush(Qt::white);
        p.drawEllipse(c, 22, 14);
        p.setBrush(QColor(50, 80, 120));
        const QPointF pupil = c + QPointF(std::clamp(sideDeg, -30.0f, 30.0f) * 0.4,
                                          -std::clamp(upDeg, -30.0f, 30.0f) * 0.3);
        p.drawEllipse(pupil, 7, 7);
        if (blink > 0.01f) {
            p.setBrush(QColor(220, 180, 150));
            p.drawRect(QRectF(c.x() - 23, c.y() - 15, 46, 30 * blink));
        }
    };
    eye(-45, eyeSideL, eyeUpL, blinkL);
    eye(45, eyeSideR, eyeUpR, blinkR);

    // Brows rise with their morphs.
    p.setPen(QPen(QColor(70, 45, 30), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-65 + fx, -55 - browL * 14), QPointF(-25 + fx, -58 - browL * 18));
    p.drawLine(QPointF(25 + fx, -58 - browR * 18), QPointF(65 + fx, -55 - browR * 14));

    // Nose.
    p.setPen(QPen(QColor(150, 100, 80), 2));
    p.drawLine(QPointF(fx * 1.1, -20), QPointF(fx * 1.1 - 6, 18));

    // Mouth: width from wide and round, height from open and round.
    const double halfW = 38 * (1.0 + 0.45 * wide - 0.45 * round);
    const double halfH = 2 + 30 * open + 8 * round * (0.3 + open);
    const QPointF m(fx * 0.9, 62);
    QPainterPath lips;
    lips.moveTo(m + QPointF(-halfW, -smile * 6));
    lips.cubicTo(m + QPointF(-halfW * 0.5, -halfH), m + QPointF(halfW * 0.5, -halfH),
                 m + QPointF(halfW, -smile * 6));
    lips.cubicTo(m + QPointF(halfW * 0.5, halfH * (1 - 0.4 * lipIn)),
                 m + QPointF(-halfW * 0.5, halfH * (1 - 0.4 * lipIn)),
                 m + QPointF(-halfW, -smile * 6));
    p.setPen(QPen(QColor(140, 50, 50), 3));
    p.setBrush(open > 0.02f || round > 0.05f ? QColor(90, 20, 25) : QColor(190, 90, 90));
    p.drawPath(lips);
    if (tongue > 0.05f && open > 0.05f) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(210, 90, 100));
        p.drawEllipse(m + QPointF(0, -halfH * 0.35 * tongue), halfW * 0.45, halfH * 0.3);
    }
}
