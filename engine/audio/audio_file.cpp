#include "audio_file.h"

#include <new>

#include "errors.h"
#include "reader_support.h"
#include "trace.h"

namespace Vantrix {

void traceReaderFailure(const char* what, const char* function, const char* fileName) {
    Trace("Caught an exception: %s in %s for: %s\n", what ? what : "", function,
          fileName ? fileName : "");
}

AudioFileType getAudioFileType(const char* fileName) {
    try {
        TBinaryFile file;
        if (!fileName || !file.Open(fileName)) throw eetOpenFailure;
        uint8_t header[12];
        if (!file.ReadExactly(header, sizeof header)) throw eetReadFailure;
        if (!std::memcmp(header, "FORM", 4) && !std::memcmp(header + 8, "AIFF", 4))
            return kAudioFileAiff;
        if (!std::memcmp(header, "RIFF", 4) && !std::memcmp(header + 8, "WAVE", 4))
            return kAudioFileWave;
        if (!std::memcmp(header, "NIST", 4)) return kAudioFileSphere;
        return kAudioFileUnknown;
    } catch (EErrorType kind) {
        traceReaderFailure(TextOf(kind), "getAudioFileType", fileName);
        return kAudioFileUnknown;
    }
}

bool getAudioFileInfo(const char* fileName, AudioFileType& type, uint32_t& bitsPerSample,
                      uint32_t& sampleRate, uint32_t& channels, uint32_t& sampleCount,
                      bool& isPcm) {
    type = kAudioFileUnknown;
    clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
    isPcm = false;
    if (!fileName || !*fileName) return false;
    type = getAudioFileType(fileName);
    switch (type) {
    case kAudioFileAiff:
        return getAiffFileInfo(fileName, bitsPerSample, sampleRate, channels, sampleCount, isPcm);
    case kAudioFileWave:
        return getWaveFileInfo(fileName, bitsPerSample, sampleRate, channels, sampleCount, isPcm);
    case kAudioFileSphere:
        return getSphereFileInfo(fileName, bitsPerSample, sampleRate, channels, sampleCount, isPcm);
    default:
        return false;
    }
}

bool loadAudioFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                   uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block) {
    if (!fileName || !*fileName || !block.empty()) return false;
    switch (getAudioFileType(fileName)) {
    case kAudioFileAiff:
        return loadAiffFile(fileName, bitsPerSample, sampleRate, channels, sampleCount, block);
    case kAudioFileWave:
        return loadWaveFile(fileName, bitsPerSample, sampleRate, channels, sampleCount, block);
    case kAudioFileSphere:
        return loadSphereFile(fileName, bitsPerSample, sampleRate, channels, sampleCount, block);
    default:
        return false;
    }
}

} // namespace Vantrix
