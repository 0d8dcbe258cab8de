#include "kvaudio.h"

#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>
#include <sndfile.h>

#include "kvscene.h"

KvWinAudioClip::KvWinAudioClip() = default;

KvWinAudioClip::~KvWinAudioClip() {
    delete m_player;
}

void KvWinAudioClip::release() {
    if (--m_refs <= 0) delete this;
}

int KvWinAudioClip::load(const QString& path) {
    // A failed load leaves the clip as it was.
    if (!QFileInfo(path).isFile()) {
        m_error = QStringLiteral("No such file: %1").arg(path);
        return 1;
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) {
        m_error = QStringLiteral("Not a readable sound file: %1 (%2)")
                      .arg(path, QString::fromLocal8Bit(sf_strerror(nullptr)));
        return 2;
    }
    sf_close(f);
    if (info.samplerate <= 0 || info.frames <= 0) {
        m_error = QStringLiteral("The sound file holds no samples: %1").arg(path);
        return 3;
    }
    m_path = path;
    m_rate = info.samplerate;
    m_lengthTicks = static_cast<int>(info.frames * KvScene::kTicksPerSecond / info.samplerate);
    m_error.clear();
    if (m_player) m_player->setMedia(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return 0;
}

QMediaPlayer* KvWinAudioClip::player() {
    if (!m_player) {
        m_player = new QMediaPlayer;
        m_player->setMedia(QUrl::fromLocalFile(QFileInfo(m_path).absoluteFilePath()));
    }
    return m_player;
}

void KvWinAudioClip::play() {
    if (!m_path.isEmpty()) player()->play();
}

void KvWinAudioClip::pause() {
    if (m_player) m_player->pause();
}

void KvWinAudioClip::reset() {
    if (m_player) m_player->setPosition(0);
}

bool KvWinAudioClip::isPlaying() const {
    return m_player && m_player->state() == QMediaPlayer::PlayingState;
}

int KvWinAudioClip::getPosition() const {
    return m_player ? static_cast<int>(m_player->position() * KvScene::kTicksPerSecond / 1000) : 0;
}
