// Pieces shared by the file readers: the failure line, fact reset and chunk headers.
#pragma once

#include <cstdint>
#include <cstring>

#include "binary_file.h"
#include "byte_order.h"

namespace Vantrix {

// Writes the readers' failure line to the engine trace.
void traceReaderFailure(const char* what, const char* function, const char* fileName);

inline void clearFacts(uint32_t& bits, uint32_t& rate, uint32_t& channels, uint32_t& count) {
    bits = rate = channels = count = 0;
}

struct TChunkHeader {
    char id[4] = {};
    uint32_t declaredSize = 0;
    uint64_t bodyStart = 0;
    bool Is(const char* tag) const { return std::memcmp(id, tag, 4) == 0; }
};

// Reads the next 8-byte chunk header; false when fewer than 8 bytes are left (end of walk).
inline bool readChunkHeader(TBinaryFile& file, TChunkHeader& header, bool bigEndian) {
    uint8_t raw[8];
    if (file.Remaining() < 8 || !file.ReadExactly(raw, 8)) return false;
    std::memcpy(header.id, raw, 4);
    header.declaredSize = bigEndian ? readBE32(raw + 4) : readLE32(raw + 4);
    header.bodyStart = file.Position();
    return true;
}

// Moves past a chunk whose body held bodySize bytes; the pad byte follows only a body that
// was as long as declared, since a clamped body already reaches the end of the file.
inline bool skipChunk(TBinaryFile& file, const TChunkHeader& header, uint64_t bodySize) {
    uint64_t pad = (bodySize == header.declaredSize) ? (header.declaredSize & 1u) : 0;
    return file.Seek(header.bodyStart + bodySize + pad);
}

inline uint64_t clampedBodySize(const TBinaryFile& file, const TChunkHeader& header) {
    uint64_t left = file.Size() > header.bodyStart ? file.Size() - header.bodyStart : 0;
    return header.declaredSize < left ? header.declaredSize : left;
}

// Length of a wave data chunk. Recorders that stream leave 0xFFFFFFFF, or 0 in both the RIFF
// and data sizes; either means "to the end of the file". Oversized claims read what is there.
inline uint64_t waveDataSize(const TBinaryFile& file, const TChunkHeader& header,
                             uint32_t riffSize) {
    uint64_t left = file.Size() > header.bodyStart ? file.Size() - header.bodyStart : 0;
    bool streamed = header.declaredSize == 0xFFFFFFFFu ||
                    (header.declaredSize == 0 && (riffSize == 0 || riffSize == 0xFFFFFFFFu));
    uint64_t size = streamed ? left : (header.declaredSize < left ? header.declaredSize : left);
    return size < 0xFFFFFFFFu ? size : 0xFFFFFFFFu;
}

} // namespace Vantrix
