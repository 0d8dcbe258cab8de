#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "audio_file.h"
#include "errors.h"
#include "reader_support.h"

namespace Vantrix {

double extendedToDouble(const uint8_t bytes[10]) {
    int exponent = ((bytes[0] & 0x7F) << 8) | bytes[1];
    uint32_t high = readBE32(bytes + 2);
    uint32_t low = readBE32(bytes + 6);
    double value;
    if (exponent == 0 && high == 0 && low == 0) {
        value = 0;
    } else if (exponent == 0x7FFF) {
        value = std::numeric_limits<double>::max();
    } else {
        exponent -= 16383;
        value = std::ldexp(double(high), exponent - 31) + std::ldexp(double(low), exponent - 63);
    }
    return (bytes[0] & 0x80) ? -value : value;
}

namespace {

struct TCommon {
    uint32_t channels = 0;
    uint32_t frames = 0;
    uint32_t bits = 0;
    uint32_t rate = 0;
};

// A converted rate outside the 32-bit range would be undefined; clamp it first.
uint32_t rateFromExtended(const uint8_t bytes[10]) {
    double rate = extendedToDouble(bytes);
    if (!(rate > 0)) return 0;
    if (rate >= 4294967295.0) return 0xFFFFFFFFu;
    return uint32_t(rate);
}

// Opens an IFF file and checks its FORM header; returns the form type.
void openForm(TBinaryFile& file, const char* fileName, char formType[4]) {
    if (!fileName || !file.Open(fileName)) throw eetOpenFailure;
    uint8_t header[12];
    if (!file.ReadExactly(header, sizeof header)) throw eetReadFailure;
    if (std::memcmp(header, "FORM", 4)) throw eetDataFailure;
    std::memcpy(formType, header + 8, 4);
}

TCommon readCommon(TBinaryFile& file) {
    uint8_t raw[18];
    if (!file.ReadExactly(raw, sizeof raw)) throw eetReadFailure;
    TCommon common;
    common.channels = readBE16(raw);
    common.frames = readBE32(raw + 2);
    common.bits = readBE16(raw + 6);
    common.rate = rateFromExtended(raw + 8);
    return common;
}

// IFF bodies are padded to an even length. Never moves back over bytes already read, so a
// COMM chunk claiming fewer than its 18 bytes cannot make the walk revisit them.
bool skipIffChunk(TBinaryFile& file, const TChunkHeader& chunk) {
    uint64_t end = chunk.bodyStart + uint64_t(chunk.declaredSize) + (chunk.declaredSize & 1u);
    return file.Seek(end > file.Position() ? end : file.Position());
}

void publish(const TCommon& common, uint32_t& bits, uint32_t& rate, uint32_t& channels,
             uint32_t& count) {
    bits = common.bits;
    rate = common.rate;
    channels = common.channels;
    count = common.frames;
}

// Reads the sample frames of an SSND chunk into block, as many whole frames as the chunk and
// the file really hold, converted to the engine's byte conventions.
uint32_t readSoundData(TBinaryFile& file, const TChunkHeader& chunk, const TCommon& common,
                       TSampleBlock& block) {
    uint8_t offsetAndBlockSize[8];
    if (!file.ReadExactly(offsetAndBlockSize, 8)) throw eetReadFailure;
    uint64_t frameBits = uint64_t(common.channels) * common.bits;
    if (frameBits == 0) throw eetDataFailure;
    uint64_t available = file.Remaining();
    if (chunk.declaredSize >= 8 && chunk.declaredSize - 8u < available)
        available = chunk.declaredSize - 8u;
    uint64_t frames = common.frames;
    if (frameBits * frames / 8 > available) frames = available * 8 / frameBits;
    uint64_t bytes = frameBits * frames / 8;
    block.resize(bytes);
    if (!file.ReadExactly(block.data(), block.size())) throw eetReadFailure;
    uint64_t samples = uint64_t(common.channels) * frames;
    if (common.bits == 16) {
        for (uint64_t i = 0; i < samples; ++i)
            std::swap(block[2 * i], block[2 * i + 1]);
    } else if (common.bits == 8) {
        // Signed bytes become unsigned around 128.
        for (uint64_t i = 0; i < samples; ++i)
            block[i] = uint8_t(block[i] + 128);
    }
    return uint32_t(frames);
}

} // namespace

bool getAiffFileInfo(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                     uint32_t& channels, uint32_t& sampleCount, bool& isPcm) {
    clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
    isPcm = false;
    try {
        TBinaryFile file;
        char formType[4];
        openForm(file, fileName, formType);
        bool pcm = !std::memcmp(formType, "AIFF", 4);
        TChunkHeader chunk;
        while (!file.AtEnd() && readChunkHeader(file, chunk, true)) {
            if (chunk.Is("COMM")) {
                publish(readCommon(file), bitsPerSample, sampleRate, channels, sampleCount);
                isPcm = pcm;
                return true;
            }
            if (!skipIffChunk(file, chunk)) throw eetReadFailure;
        }
        return false;
    } catch (EErrorType kind) {
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        isPcm = false;
        traceReaderFailure(TextOf(kind), "getAiffFileInfo", fileName);
        return false;
    }
}

bool loadAiffFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                  uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block) {
    if (!block.empty()) return false;
    clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
    try {
        TBinaryFile file;
        char formType[4];
        openForm(file, fileName, formType);
        if (std::memcmp(formType, "AIFF", 4)) throw eetDataFailure;
        TCommon common;
        bool haveCommon = false;
        TChunkHeader chunk;
        while (!file.AtEnd() && readChunkHeader(file, chunk, true)) {
            if (chunk.Is("COMM")) {
                common = readCommon(file);
                haveCommon = true;
            } else if (chunk.Is("SSND")) {
                if (!haveCommon) throw eetDataFailure;
                common.frames = readSoundData(file, chunk, common, block);
                publish(common, bitsPerSample, sampleRate, channels, sampleCount);
                return true;
            }
            if (!skipIffChunk(file, chunk)) throw eetReadFailure;
        }
        return false;
    } catch (EErrorType kind) {
        TSampleBlock().swap(block);
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        traceReaderFailure(TextOf(kind), "loadAiffFile", fileName);
        return false;
    } catch (const std::bad_alloc&) {
        TSampleBlock().swap(block);
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        traceReaderFailure(TextOf(eetCreateFailure), "loadAiffFile", fileName);
        return false;
    }
}

} // namespace Vantrix
