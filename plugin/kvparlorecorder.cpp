#include "kvparlorecorder.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>
#include <QBuffer>
#include <QFile>
#include <QtEndian>

namespace KvParloWav {

QByteArray wavFile(const QByteArray& pcm, int sampleRate, int channels) {
    QByteArray out;
    auto u32 = [&out](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    auto u16 = [&out](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    out.append("RIFF");
    u32(36u + static_cast<quint32>(pcm.size()));
    out.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(static_cast<quint16>(channels));
    u32(static_cast<quint32>(sampleRate));
    u32(static_cast<quint32>(sampleRate * channels * 2));
    u16(static_cast<quint16>(channels * 2));
    u16(16);
    out.append("data");
    u32(static_cast<quint32>(pcm.size()));
    out.append(pcm);
    return out;
}

} // namespace KvParloWav

namespace {

// Writes data to path whole or not at all.
bool writeWhole(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    if (file.write(data) == data.size() && file.flush()) return true;
    file.close();
    file.remove();
    return false;
}

} // namespace

KvParloAudioInputDevice::KvParloAudioInputDevice(QObject* parent)
    : KvParloRecordingDevice(parent) {}

KvParloAudioInputDevice::~KvParloAudioInputDevice() {
    close();
}

bool KvParloAudioInputDevice::open() {
    close();
    const QAudioDeviceInfo device = QAudioDeviceInfo::defaultInputDevice();
    if (device.isNull()) return false;
    QAudioFormat format;
    format.setSampleRate(device.preferredFormat().sampleRate());
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setSampleType(QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setCodec(QStringLiteral("audio/pcm"));
    if (format.sampleRate() <= 0 || !device.isFormatSupported(format)) return false;
    m_rate = format.sampleRate();
    m_buffer = new QBuffer(this);
    m_buffer->open(QIODevice::WriteOnly);
    m_input = new QAudioInput(device, format, this);
    return true;
}

bool KvParloAudioInputDevice::record() {
    if (!m_input) return false;
    m_input->start(m_buffer);
    return m_input->error() == QAudio::NoError;
}

bool KvParloAudioInputDevice::stop() {
    if (!m_input) return false;
    m_input->stop();
    return m_input->error() == QAudio::NoError || m_input->error() == QAudio::UnderrunError;
}

bool KvParloAudioInputDevice::save(const QString& path) {
    if (!m_buffer) return false;
    return writeWhole(path, KvParloWav::wavFile(m_buffer->data(), m_rate, 1));
}

bool KvParloAudioInputDevice::close() {
    delete m_input;
    m_input = nullptr;
    delete m_buffer;
    m_buffer = nullptr;
    return true;
}

KvParloFileRecordingDevice::KvParloFileRecordingDevice(const QString& source, QObject* parent)
    : KvParloRecordingDevice(parent), m_source(source) {}

bool KvParloFileRecordingDevice::step(Step s, const char* name) {
    m_calls += QLatin1String(name) + QLatin1Char(' ');
    return m_failing != s;
}

bool KvParloFileRecordingDevice::open() {
    if (!step(Open, "open") || m_open) return false;
    m_open = true;
    m_recorded = false;
    return true;
}

bool KvParloFileRecordingDevice::record() {
    if (!step(Record, "record") || !m_open) return false;
    m_recorded = true;
    return true;
}

bool KvParloFileRecordingDevice::stop() {
    return step(Stop, "stop") && m_open && m_recorded;
}

bool KvParloFileRecordingDevice::save(const QString& path) {
    if (!step(Save, "save") || !m_open || !m_recorded) return false;
    QFile source(m_source);
    if (!source.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = source.readAll();
    if (m_diskSpace >= 0 && data.size() > m_diskSpace) {
        // The disk fills up part-way: what was written is taken away again.
        writeWhole(path, data.left(static_cast<int>(m_diskSpace)));
        QFile::remove(path);
        return false;
    }
    return writeWhole(path, data);
}

bool KvParloFileRecordingDevice::close() {
    const bool wasOpen = m_open;
    m_open = false;
    return step(Close, "close") && wasOpen;
}
