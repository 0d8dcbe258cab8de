// The engine's sound: mono samples as doubles, with the bit depth and rate they came from.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Vantrix {

// Thrown by TDigitalAudio construction; what() is the fixed failure text
// ("invalid filename", "file doesn't exist", ..., "TDigitalAudio::TRCDigitalAudio ctor failed.").
class TDigitalAudioError : public std::runtime_error {
public:
    explicit TDigitalAudioError(const char* text) : std::runtime_error(text) {}
};

// Handle to a shared, reference-counted body. Copies share the body; nothing locks the count,
// so a body belongs to one thread at a time.
class TDigitalAudio {
public:
    class TRCDigitalAudio {
    public:
        // From a PCM block (8-bit unsigned or 16-bit little-endian), taking every stride-th
        // sample so interleaved data keeps its first channel.
        TRCDigitalAudio(uint32_t bits, uint32_t rate, uint32_t stride, uint32_t count,
                        const uint8_t* block, size_t blockSize);
        // From doubles; bits 16.
        TRCDigitalAudio(uint32_t rate, uint32_t count, const double* samples);
        virtual ~TRCDigitalAudio();
        TRCDigitalAudio(const TRCDigitalAudio&) = delete;
        TRCDigitalAudio& operator=(const TRCDigitalAudio&) = delete;

        uint32_t refCount = 1;
        uint32_t bitsPerSample = 0;
        uint32_t sampleRate = 0;
        uint32_t channels = 1;
        uint32_t sampleCount = 0;
        double* samples = nullptr;
    };

    // Loads a sound file; throws TDigitalAudioError.
    explicit TDigitalAudio(const char* fileName);
    // Copies count samples at rate; throws TDigitalAudioError for a rate outside 8000-48000.
    TDigitalAudio(uint32_t rate, uint32_t count, const double* samples);
    TDigitalAudio(const TDigitalAudio& other);
    TDigitalAudio& operator=(const TDigitalAudio& other);
    virtual ~TDigitalAudio();

    uint32_t getBitsPerSample() const { return body->bitsPerSample; }
    uint32_t getSampleRate() const { return body->sampleRate; }
    uint32_t getSampleCount() const { return body->sampleCount; }
    const double* getSamples() const { return body->samples; }
    // No bounds check: callers stay below the count.
    const double* getSample(uint32_t i) const { return body->samples + i; }

    double getDurationMs() const;
    int32_t getDurationMsRoundedUp() const;

    // Brings the rate to 16000 (from 16000 up) or 8000 in place for every sharing handle;
    // false, unchanged, below 8000 or when the resampler fails.
    bool normaliseSampleRate();

private:
    void release();
    TRCDigitalAudio* body;
};

// Bits 8 or 16, at most five minutes, rate within 8000-48000.
bool isAudioUsable(const TDigitalAudio& audio);

} // namespace Vantrix
