// The 18-byte little-endian wave format record and the codec bytes that may follow it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Vantrix {

enum : uint16_t {
    kWaveFormatPcm = 1,
    kWaveFormatMsAdpcm = 2,
    kWaveFormatIeeeFloat = 3,
    kWaveFormatALaw = 6,
    kWaveFormatMuLaw = 7,
    kWaveFormatImaAdpcm = 0x11,
    kWaveFormatExtensible = 0xFFFE,
};

struct TWaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
    // Codec-specific bytes as the file holds them (the ADPCM coefficient table, for one).
    std::vector<uint8_t> extra;
};

// PCM record for (channels, rate, bits): tag 1, derived byte rate and block align, no extra.
TWaveFormat makePcmFormat(uint16_t channels, uint32_t rate, uint16_t bits);

// Decodes a format chunk body; missing bytes of the 18-byte record read as zero.
TWaveFormat parseWaveFormat(const uint8_t* bytes, size_t size);

// The tag the record stands for: an extensible record's sub-format when that is a registered
// tag (GUID xxxx0000-0000-0010-8000-00AA00389B71), else the record's own tag.
uint16_t effectiveFormatTag(const TWaveFormat& format);

// Why the engine cannot take samples in this format, in the user's terms ("unsupported sample
// format: 24-bit PCM; 8- and 16-bit PCM are read"); empty when it can.
std::string waveFormatRefusal(const TWaveFormat& format);

// Encodes the record followed by its extra bytes, as a format chunk body.
std::vector<uint8_t> serialiseWaveFormat(const TWaveFormat& format);

} // namespace Vantrix
