#include "sound_input.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sndfile.h>

#include "kaiser_resampler.h"
#include "long_sound.h"

namespace Vantrix {

namespace {

constexpr int32_t kMinRate = 8000;
constexpr int32_t kMaxRate = 48000;

struct SndFile {
    SNDFILE* file = nullptr;
    SF_INFO info = {};
    ~SndFile() {
        if (file) sf_close(file);
    }
};

// What the engine's own readers take: WAV, AIFF and SPHERE of 8 or 16-bit PCM.
bool EngineReads(const SF_INFO& info) {
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    const bool container = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX ||
                           major == SF_FORMAT_AIFF || major == SF_FORMAT_NIST;
    const bool pcm = sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8;
    return container && pcm && info.samplerate >= kMinRate && info.samplerate <= kMaxRate;
}

// A library message as part of a sentence: "Format not recognised." to "format not recognised".
std::string Lowered(std::string text) {
    if (text.rfind("Error : ", 0) == 0) text.erase(0, 8);
    if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Rates the engine refuses, brought to 16000 Hz by the engine's own rate step and settings.
std::vector<int16_t> ToSixteenKilohertz(const std::vector<double>& in, int32_t rate) {
    constexpr double kTransitionWidth = 0.125;
    constexpr double kAttenuationDb = 60.0;
    std::vector<double> wide;
    if (in.empty() || in.size() > UINT32_MAX ||
        kaiserResample(in.data(), uint32_t(in.size()), uint32_t(rate), 16000, kTransitionWidth,
                       kAttenuationDb, wide) != eetSuccess)
        return {};
    std::vector<int16_t> out(wide.size());
    for (size_t i = 0; i < wide.size(); ++i)
        out[i] = int16_t(std::lrint(std::fmax(-32768.0, std::fmin(32767.0, wide[i]))));
    return out;
}

bool ReadMono(SndFile& sf, TSamples& samples, std::string& error) {
    const int channels = sf.info.channels;
    if (channels <= 0) {
        error = "it has no channels";
        return false;
    }
    // Float data beyond full scale is clipped instead of wrapping round.
    sf_command(sf.file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const bool resample = sf.info.samplerate > kMaxRate;
    std::vector<double> wide;
    std::vector<int16_t>& mono = samples.data;
    std::vector<short> block(4096 * size_t(channels));
    for (;;) {
        const sf_count_t got = sf_readf_short(sf.file, block.data(), 4096);
        if (got <= 0) break;
        for (sf_count_t f = 0; f < got; ++f) {
            long sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += block[size_t(f) * size_t(channels) + size_t(c)];
            if (resample)
                wide.push_back(double(sum) / channels);
            else
                mono.push_back(int16_t(std::lround(double(sum) / channels)));
        }
    }
    if (sf_error(sf.file) != SF_ERR_NO_ERROR) {
        error = "reading it failed: " + Lowered(sf_strerror(sf.file));
        return false;
    }
    if (resample) {
        mono = ToSixteenKilohertz(wide, sf.info.samplerate);
        samples.rate = 16000;
    } else {
        samples.rate = sf.info.samplerate;
    }
    if (mono.empty()) {
        error = "it holds no samples";
        return false;
    }
    return true;
}

// The temporary file of this process, for the signal handler: a fixed buffer, since the handler
// may read nothing that allocates.
char gTempPath[4096];
volatile sig_atomic_t gHaveTemp = 0;

void RemoveTempAndDie(int signal) {
    if (gHaveTemp) unlink(gTempPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

TTempFile::~TTempFile() {
    if (path_.empty()) return;
    gHaveTemp = 0;
    unlink(path_.c_str());
}

int TTempFile::Create(const char* suffix) {
    static const bool handled = [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            if (std::signal(signal, RemoveTempAndDie) == SIG_IGN) std::signal(signal, SIG_IGN);
        return true;
    }();
    (void)handled;
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/voxtrail-XXXXXX";
    pattern += suffix;
    if (pattern.size() >= sizeof gTempPath) {
        errno = ENAMETOOLONG;
        return -1;
    }
    gHaveTemp = 0;
    const int fd = mkstemps(pattern.data(), int(std::strlen(suffix)));
    if (fd < 0) return fd;
    path_ = pattern;
    std::memcpy(gTempPath, pattern.c_str(), pattern.size() + 1);
    gHaveTemp = 1;
    return fd;
}

bool WriteWave(int fd, const TSamples& samples, size_t begin, size_t end, std::string& error) {
    SF_INFO info = {};
    info.samplerate = samples.rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file) {
        close(fd);
        error = "cannot write a temporary sound: " + Lowered(sf_strerror(nullptr));
        return false;
    }
    const sf_count_t frames = sf_count_t(end - begin);
    const bool written = sf_write_short(file, samples.data.data() + begin, frames) == frames;
    const std::string problem = written ? "" : Lowered(sf_strerror(file));
    if (sf_close(file) != 0 || !written) {
        error = "cannot write a temporary sound: " + (problem.empty() ? "close failed" : problem);
        return false;
    }
    return true;
}

std::string UnreadableReason(const std::string& sound, const std::string& engineDetail) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(sound.c_str(), SFM_READ, &info);
    if (file) {
        sf_close(file);
        if (info.frames == 0) return "it holds no samples: a header without any sound";
        return "the engine cannot read it: " + engineDetail;
    }
    const std::string reason = Lowered(sf_strerror(nullptr));
    // The file was opened before the engine saw it, so the engine's "doesn't exist or is
    // locked" would mislead: only libsndfile's reason says something true.
    if (engineDetail.find("doesn't exist") != std::string::npos)
        return "not a sound file libsndfile or the engine can read (libsndfile: " + reason + ")";
    return "not a sound file libsndfile or the engine can read (libsndfile: " + reason +
           "; the engine: " + engineDetail + ")";
}

bool PrepareSound(const std::string& sound, TPreparedSound& prepared, std::string& error) {
    prepared = {};
    struct stat st;
    if (stat(sound.c_str(), &st) != 0) {
        error = errno == ENOENT ? "there is no such file" : Lowered(std::strerror(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "it is a folder, not a sound file";
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size == 0) {
        error = "it is an empty file";
        return false;
    }
    const int probe = open(sound.c_str(), O_RDONLY);
    if (probe < 0) {
        error = "it cannot be opened: " + Lowered(std::strerror(errno));
        return false;
    }
    close(probe);

    SndFile sf;
    sf.file = sf_open(sound.c_str(), SFM_READ, &sf.info);
    // What libsndfile does not know goes to the engine, whose refusal then says why.
    const bool longSound = sf.file && sf.info.samplerate > 0 &&
                           double(sf.info.frames) / sf.info.samplerate > kEngineMaxSeconds;
    if (!sf.file || (EngineReads(sf.info) && !longSound)) {
        prepared.pieces.push_back({sound, 0.0, 0.0, 0.0, sf.file != nullptr, 0, 0});
        return true;
    }
    if (sf.info.samplerate < kMinRate) {
        error = "its sample rate of " + std::to_string(sf.info.samplerate) +
                " Hz is below the 8000 Hz an analysis needs";
        return false;
    }
    TSamples& samples = prepared.samples;
    if (!ReadMono(sf, samples, error)) return false;
    prepared.duration = samples.Seconds();
    const std::vector<size_t> cuts = FindCuts(samples);
    const std::vector<double> speech = SpeechSeconds(samples, cuts);
    for (size_t i = 0; i + 1 < cuts.size(); ++i)
        prepared.pieces.push_back({"", double(cuts[i]) / samples.rate,
                                   double(cuts[i + 1] - cuts[i]) / samples.rate, speech[i], true,
                                   cuts[i], cuts[i + 1]});
    return true;
}

bool PiecePath(const TPreparedSound& prepared, size_t index, TTempFile& temp, std::string& path,
               std::string& error) {
    const TSoundPiece& piece = prepared.pieces[index];
    if (!piece.path.empty()) {
        path = piece.path;
        return true;
    }
    const int fd = temp.Create(".wav");
    if (fd < 0) {
        error = std::string("cannot create a temporary sound: ") + std::strerror(errno);
        return false;
    }
    path = temp.Path();
    return WriteWave(fd, prepared.samples, piece.begin, piece.end, error);
}

} // namespace Vantrix
