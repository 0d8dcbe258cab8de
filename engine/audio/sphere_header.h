// The ASCII header of a NIST SPHERE file.
#pragma once

#include <cstdint>

namespace Vantrix {

enum : uint32_t { kSphereHeaderSize = 1024 };

struct TSphereHeader {
    uint32_t sampleRate = 16000;
    uint32_t bytesPerSample = 2;
    uint32_t channels = 1;
    bool bigEndian = false;
    // sample_coding names something other than plain PCM (shorten, ulaw, ...).
    bool compressed = false;
    // A layout the loader can deliver: 1 or 2 bytes, at least one channel, a known byte order.
    bool supported = true;
};

// Parses the first 1024 bytes; false when they do not start "NIST_1A\n   1024\n".
bool parseSphereHeader(const uint8_t (&bytes)[kSphereHeaderSize], TSphereHeader& header);

} // namespace Vantrix
