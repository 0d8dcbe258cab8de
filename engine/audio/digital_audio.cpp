#include "digital_audio.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "audio_file.h"
#include "kaiser_resampler.h"

namespace Vantrix {
namespace {

const char kBodyFailed[] = "TDigitalAudio::TRCDigitalAudio ctor failed.";

bool rateInRange(uint32_t rate) {
    return rate >= 8000 && rate <= 48000;
}

double* allocateSamples(uint32_t count) {
    try {
        return new double[count]();
    } catch (const std::bad_alloc&) {
        throw TDigitalAudioError(kBodyFailed);
    }
}

} // namespace

TDigitalAudio::TRCDigitalAudio::TRCDigitalAudio(uint32_t bits, uint32_t rate, uint32_t stride,
                                                uint32_t count, const uint8_t* block,
                                                size_t blockSize) {
    if ((bits != 8 && bits != 16) || !rateInRange(rate) || ((!block || !blockSize) && count > 0))
        throw TDigitalAudioError(kBodyFailed);
    // The last sample read must lie inside the block, whatever the header claimed. Divided
    // rather than multiplied: count and stride both come from the file.
    const uint64_t width = bits / 8;
    if (count > 0 && (stride == 0 || blockSize < width ||
                      uint64_t(count) - 1 > (blockSize - width) / width / stride))
        throw TDigitalAudioError(kBodyFailed);
    samples = allocateSamples(count);
    bitsPerSample = bits;
    sampleRate = rate;
    sampleCount = count;
    if (bits == 8) {
        for (uint32_t i = 0; i < count; ++i)
            samples[i] = double(block[uint64_t(i) * stride]) - 128.0;
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* p = block + uint64_t(i) * stride * 2;
            samples[i] = double(int16_t(uint16_t(p[0] | (p[1] << 8))));
        }
    }
}

TDigitalAudio::TRCDigitalAudio::TRCDigitalAudio(uint32_t rate, uint32_t count,
                                                const double* source) {
    if (!rateInRange(rate) || (!source && count > 0)) throw TDigitalAudioError(kBodyFailed);
    samples = allocateSamples(count);
    if (count) std::memcpy(samples, source, sizeof(double) * count);
    bitsPerSample = 16;
    sampleRate = rate;
    sampleCount = count;
}

TDigitalAudio::TRCDigitalAudio::~TRCDigitalAudio() {
    delete[] samples;
}

TDigitalAudio::TDigitalAudio(const char* fileName) : body(nullptr) {
    if (!fileName || !*fileName) throw TDigitalAudioError("invalid filename");
    if (!fileExists(fileName)) throw TDigitalAudioError("file doesn't exist");
    AudioFileType type = kAudioFileUnknown;
    uint32_t bits = 0, rate = 0, channels = 0, count = 0;
    bool isPcm = false;
    if (!getAudioFileInfo(fileName, type, bits, rate, channels, count, isPcm)) {
        if (type == kAudioFileUnknown)
            throw TDigitalAudioError("unsupported or invalid audio file");
        const std::string why = type == kAudioFileWave ? describeWaveRefusal(fileName) : "";
        throw TDigitalAudioError(why.empty() ? "file doesn't exist or is locked" : why.c_str());
    }
    if (!isPcm) throw TDigitalAudioError("non-PCM file.");
    // Facts the body would refuse, named before anything is loaded.
    char text[96];
    if (bits != 8 && bits != 16) {
        std::snprintf(text, sizeof text,
                      "unsupported sample format: %u-bit PCM; 8- and 16-bit PCM are read",
                      unsigned(bits));
        throw TDigitalAudioError(text);
    }
    if (channels == 0) throw TDigitalAudioError("the file declares 0 channels");
    if (!rateInRange(rate)) {
        std::snprintf(text, sizeof text, "sample rate %u Hz is outside 8000-48000 Hz",
                      unsigned(rate));
        throw TDigitalAudioError(text);
    }
    TSampleBlock block;
    if (!loadAudioFile(fileName, bits, rate, channels, count, block))
        throw TDigitalAudioError("file load failed");
    body = new TRCDigitalAudio(bits, rate, channels, count, block.data(), block.size());
}

TDigitalAudio::TDigitalAudio(uint32_t rate, uint32_t count, const double* samples)
    : body(new TRCDigitalAudio(rate, count, samples)) {}

TDigitalAudio::TDigitalAudio(const TDigitalAudio& other) : body(other.body) {
    ++body->refCount;
}

TDigitalAudio& TDigitalAudio::operator=(const TDigitalAudio& other) {
    if (body != other.body) {
        release();
        body = other.body;
        ++body->refCount;
    }
    return *this;
}

TDigitalAudio::~TDigitalAudio() {
    release();
}

void TDigitalAudio::release() {
    if (body && --body->refCount == 0) delete body;
    body = nullptr;
}

double TDigitalAudio::getDurationMs() const {
    return double(body->sampleCount) * 1000.0 / double(body->sampleRate);
}

int32_t TDigitalAudio::getDurationMsRoundedUp() const {
    double up = std::ceil(getDurationMs());
    return up < 2147483647.0 ? int32_t(up) : INT32_MAX;
}

bool TDigitalAudio::normaliseSampleRate() {
    uint32_t rate = body->sampleRate;
    if (rate == 16000 || rate == 8000) return true;
    if (rate < 8000) return false;
    uint32_t target = rate >= 16000 ? 16000 : 8000;
    std::vector<double> resampled;
    if (kaiserResample(body->samples, body->sampleCount, rate, target, 0.125, 60.0, resampled) !=
            eetSuccess ||
        resampled.size() > UINT32_MAX)
        return false;
    double* fresh = new (std::nothrow) double[resampled.size()];
    if (!fresh) return false;
    std::memcpy(fresh, resampled.data(), sizeof(double) * resampled.size());
    delete[] body->samples;
    body->samples = fresh;
    body->sampleRate = target;
    body->sampleCount = uint32_t(resampled.size());
    return true;
}

bool isAudioUsable(const TDigitalAudio& audio) {
    uint32_t bits = audio.getBitsPerSample();
    uint32_t rate = audio.getSampleRate();
    return (bits == 8 || bits == 16) && rate >= 8000 && rate <= 48000 &&
           audio.getDurationMs() <= 300000.0;
}

} // namespace Vantrix
