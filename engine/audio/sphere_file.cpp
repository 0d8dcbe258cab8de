#include <new>
#include <utility>

#include "audio_file.h"
#include "errors.h"
#include "reader_support.h"
#include "sphere_header.h"

namespace Vantrix {
namespace {

TSphereHeader openSphere(TBinaryFile& file, const char* fileName) {
    if (!fileName || !file.Open(fileName)) throw eetOpenFailure;
    uint8_t raw[kSphereHeaderSize];
    if (!file.ReadExactly(raw, sizeof raw)) throw eetReadFailure;
    TSphereHeader header;
    if (!parseSphereHeader(raw, header)) throw eetDataFailure;
    return header;
}

uint32_t frameCount(uint64_t dataBytes, const TSphereHeader& header) {
    uint64_t frames = dataBytes / (uint64_t(header.bytesPerSample) * header.channels);
    return uint32_t(frames < 0xFFFFFFFFu ? frames : 0xFFFFFFFFu);
}

} // namespace

bool getSphereFileInfo(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                       uint32_t& channels, uint32_t& sampleCount, bool& isPcm) {
    clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
    isPcm = false;
    try {
        TBinaryFile file;
        TSphereHeader header = openSphere(file, fileName);
        if (!header.supported) throw eetDataFailure;
        bitsPerSample = header.bytesPerSample * 8;
        sampleRate = header.sampleRate;
        channels = header.channels;
        sampleCount = frameCount(file.Size() - kSphereHeaderSize, header);
        isPcm = !header.compressed;
        return true;
    } catch (EErrorType kind) {
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        isPcm = false;
        traceReaderFailure(TextOf(kind), "getSphereFileInfo", fileName);
        return false;
    }
}

bool loadSphereFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                    uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block) {
    if (!block.empty()) return false;
    clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
    try {
        TBinaryFile file;
        TSphereHeader header = openSphere(file, fileName);
        // Compressed bodies (shorten, ulaw, ...) are not decoded.
        if (header.compressed || !header.supported) throw eetDataFailure;
        if (!file.Seek(kSphereHeaderSize)) throw eetReadFailure;
        block.resize(file.Size() - kSphereHeaderSize);
        if (!file.ReadExactly(block.data(), block.size())) throw eetReadFailure;
        if (header.bytesPerSample == 1) {
            // Single-byte PCM is signed; the block's convention is unsigned around 128.
            for (uint8_t& b : block)
                b = uint8_t(b + 128);
        } else if (header.bigEndian) {
            for (size_t i = 0; i + 1 < block.size(); i += 2)
                std::swap(block[i], block[i + 1]);
        }
        bitsPerSample = header.bytesPerSample * 8;
        sampleRate = header.sampleRate;
        channels = header.channels;
        sampleCount = frameCount(block.size(), header);
        return true;
    } catch (EErrorType kind) {
        TSampleBlock().swap(block);
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        traceReaderFailure(TextOf(kind), "loadSphereFile", fileName);
        return false;
    } catch (const std::bad_alloc&) {
        TSampleBlock().swap(block);
        clearFacts(bitsPerSample, sampleRate, channels, sampleCount);
        traceReaderFailure(TextOf(eetCreateFailure), "loadSphereFile", fileName);
        return false;
    }
}

} // namespace Vantrix
