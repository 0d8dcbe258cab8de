// Block conversion between wave formats; stands in for the platform's compression manager.
// Callers see formats and byte blocks only; how a codec is reached stays behind this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "wave_format.h"

namespace Vantrix {

// One-shot conversion of a whole block. Supported: any format the codec library decodes to
// 16-bit PCM of the same rate and channels, and N-channel PCM to mono at the same rate and
// depth. dst must be empty; on failure it stays empty.
bool convertWithAcm(const TWaveFormat& from, const TWaveFormat& to, const uint8_t* src,
                    size_t srcLength, std::vector<uint8_t>& dst);

// Codec back ends, one per file.
bool decodeToPcm16(const TWaveFormat& from, const uint8_t* src, size_t srcLength,
                   std::vector<uint8_t>& dst);
bool mixDownToMono(const TWaveFormat& from, const uint8_t* src, size_t srcLength,
                   std::vector<uint8_t>& dst);

} // namespace Vantrix
