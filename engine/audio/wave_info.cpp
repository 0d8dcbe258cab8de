#include <new>
#include <vector>

#include "audio_file.h"
#include "errors.h"
#include "reader_support.h"

namespace Vantrix {

bool getWaveFileInfo(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                     uint32_t& channels, uint32_t& sampleCount, bool& isPcm) {
    clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
    isPcm = false;
    try {
        TBinaryFile file;
        if (!fileName || !file.Open(fileName)) throw eetOpenFailure;
        uint8_t header[12];
        if (!file.ReadExactly(header, sizeof header)) throw eetReadFailure;
        if (std::memcmp(header, "RIFF", 4) || std::memcmp(header + 8, "WAVE", 4))
            throw eetDataFailure;
        uint32_t riffSize = readLE32(header + 4);

        bool haveFormat = false, haveData = false;
        TChunkHeader chunk;
        while (!file.AtEnd() && readChunkHeader(file, chunk, false)) {
            uint64_t bodySize = clampedBodySize(file, chunk);
            if (chunk.Is("fmt ")) {
                if (chunk.declaredSize < 16) throw eetDataFailure;
                std::vector<uint8_t> body(bodySize);
                if (bodySize < 16 || !file.ReadExactly(body.data(), body.size()))
                    throw eetReadFailure;
                TWaveFormat format = parseWaveFormat(body.data(), body.size());
                bitsPerSample = format.bitsPerSample;
                sampleRate = format.samplesPerSec;
                channels = format.channels;
                // Tools write an extensible record for every file of more than two channels
                // or 16 bits; with a PCM sub-format it is plain PCM.
                isPcm = effectiveFormatTag(format) == kWaveFormatPcm;
                // The loader decodes ADPCM to 16-bit PCM, so it counts as PCM here.
                if (format.formatTag == kWaveFormatMsAdpcm) {
                    bitsPerSample = 16;
                    isPcm = true;
                }
                haveFormat = true;
            } else if (chunk.Is("data")) {
                // Zero channels would make the frame count a division by zero.
                if (!haveFormat || (bitsPerSample != 8 && bitsPerSample != 16) || channels == 0)
                    throw eetDataFailure;
                bodySize = waveDataSize(file, chunk, riffSize);
                uint64_t samples = bitsPerSample == 8 ? bodySize : bodySize / 2;
                sampleCount = uint32_t(samples / channels);
                haveData = true;
            }
            if (!skipChunk(file, chunk, bodySize)) throw eetReadFailure;
        }
        if (!(haveFormat && haveData)) {
            clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
            isPcm = false;
        }
        return haveFormat && haveData;
    } catch (EErrorType kind) {
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        isPcm = false;
        traceReaderFailure(TextOf(kind), "getWaveFileInfo", fileName);
        return false;
    } catch (const std::bad_alloc&) {
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        isPcm = false;
        traceReaderFailure(TextOf(eetCreateFailure), "getWaveFileInfo", fileName);
        return false;
    }
}

std::string describeWaveRefusal(const char* fileName) {
    try {
        TBinaryFile file;
        uint8_t header[12];
        if (!fileName || !file.Open(fileName) || !file.ReadExactly(header, sizeof header))
            return "";
        TChunkHeader chunk;
        while (readChunkHeader(file, chunk, false)) {
            const uint64_t bodySize = clampedBodySize(file, chunk);
            if (chunk.Is("data"))
                return "invalid wave file: the sample data comes before the format";
            if (chunk.Is("fmt ")) {
                std::vector<uint8_t> body(bodySize);
                if (bodySize < 16 || !file.ReadExactly(body.data(), body.size())) return "";
                return waveFormatRefusal(parseWaveFormat(body.data(), body.size()));
            }
            if (!skipChunk(file, chunk, bodySize)) return "";
        }
    } catch (const std::bad_alloc&) {
    }
    return "";
}

} // namespace Vantrix
