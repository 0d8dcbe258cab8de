#include "wave_format.h"

#include <algorithm>
#include <cstdio>

#include "byte_order.h"

namespace Vantrix {

TWaveFormat makePcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    TWaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = channels;
    format.samplesPerSec = rate;
    // 64-bit product: the record truncates, but the intermediate must not wrap.
    format.avgBytesPerSec = uint32_t(uint64_t(channels) * bits * rate / 8);
    format.blockAlign = uint16_t(uint32_t(channels) * bits / 8);
    format.bitsPerSample = bits;
    format.extraSize = 0;
    return format;
}

TWaveFormat parseWaveFormat(const uint8_t* bytes, size_t size) {
    uint8_t record[18] = {};
    std::copy(bytes, bytes + std::min<size_t>(size, 18), record);
    TWaveFormat format;
    format.formatTag = readLE16(record);
    format.channels = readLE16(record + 2);
    format.samplesPerSec = readLE32(record + 4);
    format.avgBytesPerSec = readLE32(record + 8);
    format.blockAlign = readLE16(record + 12);
    format.bitsPerSample = readLE16(record + 14);
    format.extraSize = readLE16(record + 16);
    if (size > 18) format.extra.assign(bytes + 18, bytes + size);
    return format;
}

uint16_t effectiveFormatTag(const TWaveFormat& format) {
    // The extension: valid bits (2), channel mask (4), sub-format GUID (16).
    static const uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (format.formatTag != kWaveFormatExtensible || format.extra.size() < 22 ||
        !std::equal(kGuidTail, kGuidTail + 14, format.extra.begin() + 8))
        return format.formatTag;
    return readLE16(&format.extra[6]);
}

std::string waveFormatRefusal(const TWaveFormat& format) {
    if (format.channels == 0) return "the file declares 0 channels";
    const uint16_t tag = effectiveFormatTag(format);
    if (tag == kWaveFormatMsAdpcm) return "";
    if (tag == kWaveFormatPcm && (format.bitsPerSample == 8 || format.bitsPerSample == 16))
        return "";
    char kind[48];
    switch (tag) {
    case kWaveFormatPcm:
        std::snprintf(kind, sizeof kind, "%u-bit PCM", unsigned(format.bitsPerSample));
        break;
    case kWaveFormatIeeeFloat:
        std::snprintf(kind, sizeof kind, "%u-bit float", unsigned(format.bitsPerSample));
        break;
    case kWaveFormatALaw:
        std::snprintf(kind, sizeof kind, "A-law");
        break;
    case kWaveFormatMuLaw:
        std::snprintf(kind, sizeof kind, "mu-law");
        break;
    case kWaveFormatImaAdpcm:
        std::snprintf(kind, sizeof kind, "IMA ADPCM");
        break;
    default:
        std::snprintf(kind, sizeof kind, "format tag 0x%04X", unsigned(tag));
        break;
    }
    return std::string("unsupported sample format: ") + kind + "; 8- and 16-bit PCM are read";
}

std::vector<uint8_t> serialiseWaveFormat(const TWaveFormat& format) {
    std::vector<uint8_t> out(18 + format.extra.size());
    writeLE16(&out[0], format.formatTag);
    writeLE16(&out[2], format.channels);
    writeLE32(&out[4], format.samplesPerSec);
    writeLE32(&out[8], format.avgBytesPerSec);
    writeLE16(&out[12], format.blockAlign);
    writeLE16(&out[14], format.bitsPerSample);
    writeLE16(&out[16], format.extraSize);
    std::copy(format.extra.begin(), format.extra.end(), out.begin() + 18);
    return out;
}

} // namespace Vantrix
