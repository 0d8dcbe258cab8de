// Recording through a sound device: the five operations the pane needs, each answering whether
// it worked. The pane calls them by name, so any object offering them can stand in.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QAudioInput;
class QBuffer;

class KvParloRecordingDevice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // A new, empty recording.
    Q_INVOKABLE virtual bool open() = 0;
    Q_INVOKABLE virtual bool record() = 0;
    Q_INVOKABLE virtual bool stop() = 0;
    // Writes what was recorded as a WAV file.
    Q_INVOKABLE virtual bool save(const QString& path) = 0;
    Q_INVOKABLE virtual bool close() = 0;
};

// The default input device through QtMultimedia: 16-bit mono PCM at the device's preferred rate.
class KvParloAudioInputDevice : public KvParloRecordingDevice {
    Q_OBJECT
public:
    explicit KvParloAudioInputDevice(QObject* parent = nullptr);
    ~KvParloAudioInputDevice() override;
    bool open() override;
    bool record() override;
    bool stop() override;
    bool save(const QString& path) override;
    bool close() override;

private:
    QAudioInput* m_input = nullptr;
    QBuffer* m_buffer = nullptr;
    int m_rate = 0;
};

// A device that "records" a given WAV file, for tests and machines without a sound card. Each
// operation can be made to fail, and save can be given a disk that holds only so many bytes.
class KvParloFileRecordingDevice : public KvParloRecordingDevice {
    Q_OBJECT
public:
    explicit KvParloFileRecordingDevice(const QString& source, QObject* parent = nullptr);
    bool open() override;
    bool record() override;
    bool stop() override;
    bool save(const QString& path) override;
    bool close() override;

    enum Step { Open, Record, Stop, Save, Close };
    void failAt(Step step) { m_failing = step; }
    void setDiskSpace(qint64 bytes) { m_diskSpace = bytes; }
    QString calls() const { return m_calls; }

private:
    bool step(Step s, const char* name);
    QString m_source, m_calls;
    int m_failing = -1;
    qint64 m_diskSpace = -1;
    bool m_open = false, m_recorded = false;
};

namespace KvParloWav {
// A RIFF/WAVE file of 16-bit PCM samples.
QByteArray wavFile(const QByteArray& pcm, int sampleRate, int channels);
} // namespace KvParloWav
