// Sound clips: read for their length when imported, played through QtMultimedia.
#pragma once

#include <QObject>
#include <QString>

class QMediaPlayer;

// Reference counted: addRef for every holder, release when done; the last release deletes it.
class KvWinAudioClip : public QObject {
    Q_OBJECT
public:
    KvWinAudioClip();

    void addRef() { ++m_refs; }
    void release();
    int refCount() const { return m_refs; }

    // 0 on success, otherwise a code with errorMessage() naming the cause.
    int load(const QString& path);
    QString path() const { return m_path; }
    QString errorMessage() const { return m_error; }
    int getLength() const { return m_lengthTicks; }
    int sampleRate() const { return m_rate; }

    void play();
    void pause();
    void reset();
    bool isPlaying() const;
    // Playback position in ticks.
    int getPosition() const;

private:
    ~KvWinAudioClip() override;
    QMediaPlayer* player();

    int m_refs = 0;
    QString m_path, m_error;
    int m_lengthTicks = 0;
    int m_rate = 0;
    QMediaPlayer* m_player = nullptr;
};
