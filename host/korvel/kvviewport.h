// Draws the selected figure's face from its channel values at the scene time.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class KvSkeleton;

class KvViewport : public QWidget {
    Q_OBJECT
public:
    explicit KvViewport(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(420, 360); }

public slots:
    // Runs the scene time from the play range's start together with the scene's sound.
    void play();
    void stop();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tick();
    float channel(KvSkeleton* figure, const char* bone, const char* name) const;

    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_startTick = 0;
};
