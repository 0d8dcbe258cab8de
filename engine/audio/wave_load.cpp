#include <new>
#include <vector>

#include "audio_codec.h"
#include "audio_file.h"
#include "reader_support.h"

namespace Vantrix {
namespace {

// Everything the walk over a wave file's chunks collects.
struct TWaveContents {
    TWaveFormat format;
    bool haveFormat = false;
    bool haveData = false;
    std::vector<uint8_t> data;
};

// Finds the RIFF chunk of form WAVE among the file's top-level chunks; leaves the file at its
// first sub-chunk and returns its declared size.
bool descendToWave(TBinaryFile& file, uint32_t& riffSize) {
    TChunkHeader chunk;
    while (readChunkHeader(file, chunk, false)) {
        uint8_t form[4];
        if (chunk.Is("RIFF") && file.ReadExactly(form, 4) && !std::memcmp(form, "WAVE", 4)) {
            riffSize = chunk.declaredSize;
            return true;
        }
        if (!skipChunk(file, chunk, clampedBodySize(file, chunk))) return false;
    }
    return false;
}

void readSubChunks(TBinaryFile& file, uint32_t riffSize, TWaveContents& contents) {
    TChunkHeader chunk;
    while (readChunkHeader(file, chunk, false)) {
        uint64_t bodySize = clampedBodySize(file, chunk);
        if (chunk.Is("fmt ")) {
            // A 16-byte chunk reads as an 18-byte record with no extra bytes.
            std::vector<uint8_t> body(bodySize > 18 ? bodySize : 18, 0);
            size_t got = file.Read(body.data(), bodySize);
            // A record cut off by the end of the file is no header at all.
            if (got < chunk.declaredSize && got < 16) break;
            contents.format = parseWaveFormat(body.data(), got > 18 ? got : 18);
            contents.haveFormat = true;
        } else if (chunk.Is("data")) {
            bodySize = waveDataSize(file, chunk, riffSize);
            contents.data.assign(bodySize, 0);
            contents.data.resize(file.Read(contents.data.data(), bodySize));
            contents.haveData = true;
        }
        if (!skipChunk(file, chunk, bodySize)) break;
    }
}

void replaceWith(TWaveContents& contents, const TWaveFormat& format, std::vector<uint8_t>& data) {
    contents.format = format;
    contents.data.swap(data);
}

} // namespace

bool loadWaveFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                  uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block) {
    if (!block.empty()) return false;
    try {
        TWaveContents contents;
        TBinaryFile file;
        if (!fileName || !file.Open(fileName)) throw "unable to open input file";
        uint32_t riffSize = 0;
        if (!descendToWave(file, riffSize))
            throw "mmioDescend() failed, possibly not a valid wave file";
        readSubChunks(file, riffSize, contents);
        if (!file.Close()) throw "mmioClose() failed";
        if (!contents.haveFormat) throw "the file is missing the header";
        if (!contents.haveData || contents.data.empty())
            throw "the file doesn't have any sample data";

        TWaveFormat& format = contents.format;
        if (format.formatTag == kWaveFormatExtensible &&
            effectiveFormatTag(format) == kWaveFormatPcm)
            format = makePcmFormat(format.channels, format.samplesPerSec, format.bitsPerSample);
        if (format.formatTag != kWaveFormatPcm) {
            TWaveFormat pcm = makePcmFormat(format.channels, format.samplesPerSec, 16);
            std::vector<uint8_t> converted;
            if (!convertWithAcm(format, pcm, contents.data.data(), contents.data.size(), converted))
                throw "ACM conversion to PCM failed";
            replaceWith(contents, pcm, converted);
        }
        // A PCM record without channels or bits describes no samples at all.
        if (format.channels == 0 || format.bitsPerSample == 0)
            throw "the file is missing the header";
        if (format.channels > 1) {
            TWaveFormat mono = makePcmFormat(1, format.samplesPerSec, format.bitsPerSample);
            std::vector<uint8_t> converted;
            if (!convertWithAcm(format, mono, contents.data.data(), contents.data.size(),
                                converted))
                throw "ACM conversion to mono failed";
            replaceWith(contents, mono, converted);
        }

        bitsPerSample = format.bitsPerSample;
        sampleRate = format.samplesPerSec;
        channels = format.channels;
        uint64_t count = uint64_t(contents.data.size()) * 8 / format.bitsPerSample;
        sampleCount = uint32_t(count < 0xFFFFFFFFu ? count : 0xFFFFFFFFu);
        block.swap(contents.data);
        return true;
    } catch (const char* message) {
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        traceReaderFailure(message, "loadWaveFile", fileName);
        return false;
    } catch (const std::bad_alloc&) {
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        traceReaderFailure("out of memory", "loadWaveFile", fileName);
        return false;
    }
}

} // namespace Vantrix
