#include "audio_codec.h"

#include <cmath>
#include <new>

#include "byte_order.h"

namespace Vantrix {

bool convertWithAcm(const TWaveFormat& from, const TWaveFormat& to, const uint8_t* src,
                    size_t srcLength, std::vector<uint8_t>& dst) {
    if (!dst.empty() || (!src && srcLength)) return false;
    if (to.formatTag != kWaveFormatPcm || to.samplesPerSec != from.samplesPerSec) return false;
    bool ok = false;
    try {
        if (from.formatTag == kWaveFormatPcm && to.channels == 1 && from.channels > 1 &&
            to.bitsPerSample == from.bitsPerSample)
            ok = mixDownToMono(from, src, srcLength, dst);
        else if (from.formatTag != kWaveFormatPcm && to.channels == from.channels &&
                 to.bitsPerSample == 16)
            ok = decodeToPcm16(from, src, srcLength, dst);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) std::vector<uint8_t>().swap(dst);
    return ok;
}

namespace {

// Little-endian signed sample of 1-4 bytes; single bytes are unsigned around 128.
int64_t readSample(const uint8_t* p, unsigned width) {
    if (width == 1) return int64_t(p[0]) - 128;
    uint32_t raw = 0;
    for (unsigned i = 0; i < width; ++i)
        raw |= uint32_t(p[i]) << (8 * i);
    unsigned shift = 32 - 8 * width;
    return int64_t(int32_t(raw << shift) >> shift);
}

void writeSample(uint8_t* p, unsigned width, int64_t value) {
    if (width == 1) {
        p[0] = uint8_t(value + 128);
        return;
    }
    for (unsigned i = 0; i < width; ++i)
        p[i] = uint8_t(uint64_t(value) >> (8 * i));
}

} // namespace

bool mixDownToMono(const TWaveFormat& from, const uint8_t* src, size_t srcLength,
                   std::vector<uint8_t>& dst) {
    unsigned bits = from.bitsPerSample;
    if (bits == 0 || bits > 32 || bits % 8 != 0 || from.channels == 0) return false;
    unsigned width = bits / 8;
    size_t frameBytes = size_t(width) * from.channels;
    size_t frames = srcLength / frameBytes;
    dst.assign(frames * width, 0);
    for (size_t f = 0; f < frames; ++f) {
        const uint8_t* frame = src + f * frameBytes;
        int64_t sum = 0;
        for (unsigned c = 0; c < from.channels; ++c)
            sum += readSample(frame + c * width, width);
        // The mean of in-range samples is in range, so rounding cannot overflow the width.
        writeSample(&dst[f * width], width, std::llround(double(sum) / from.channels));
    }
    return true;
}

} // namespace Vantrix
