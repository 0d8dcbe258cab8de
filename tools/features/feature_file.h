// Feature files: the normalised feature records of one sound, for network training.
//
// Layout, every field little-endian:
//   offset 0   8 bytes  magic "VXFEAT1\0"
//   offset 8   uint32   sample rate of the analysed sound (16000 or 8000)
//   offset 12  uint32   frame count F
//   offset 16  uint32   feature count D (13)
//   offset 20  F records of 4 + 4 D bytes: uint32 flag (0, or 128 on the last frame), then
//              D IEEE single-precision floats (log energy, then c1..c12)
// Record i describes the i-th 16 ms frame (shift 256 samples at 16 kHz, 128 at 8 kHz).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frames.h"

namespace VxFeatures {

constexpr char kMagic[8] = {'V', 'X', 'F', 'E', 'A', 'T', '1', '\0'};
constexpr size_t kHeaderBytes = 20;

struct TFeatureFile {
    uint32_t sampleRate = 0;
    std::vector<Vantrix::FrameProperties> frames;
};

inline void PutWord(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

inline uint32_t GetWord(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Writes the records low..high of frames; false when the file cannot be written.
inline bool WriteFeatureFile(const std::string& path, uint32_t sampleRate,
                             const Vantrix::FramePropertiesVector& frames) {
    std::vector<uint8_t> out(kMagic, kMagic + 8);
    const uint32_t count = uint32_t(frames.Count());
    PutWord(out, sampleRate);
    PutWord(out, count);
    PutWord(out, uint32_t(Vantrix::kFeatureCount));
    for (uint32_t i = 0; i < count; ++i) {
        const Vantrix::FrameProperties& f = frames.At(frames.Low() + int32_t(i));
        PutWord(out, f.flags);
        for (float x : f.features) {
            uint32_t bits;
            std::memcpy(&bits, &x, 4);
            PutWord(out, bits);
        }
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

// Reads a feature file written with 13 features; false for a missing or malformed file.
inline bool ReadFeatureFile(const std::string& path, TFeatureFile& result) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<uint8_t> bytes;
    uint8_t block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + n);
    std::fclose(file);
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, 8) != 0) return false;
    const uint32_t count = GetWord(&bytes[12]);
    if (GetWord(&bytes[16]) != uint32_t(Vantrix::kFeatureCount)) return false;
    const size_t record = 4 + 4 * size_t(Vantrix::kFeatureCount);
    if ((bytes.size() - kHeaderBytes) / record != count ||
        (bytes.size() - kHeaderBytes) % record != 0)
        return false;
    result.sampleRate = GetWord(&bytes[8]);
    result.frames.assign(count, Vantrix::FrameProperties());
    const uint8_t* p = bytes.data() + kHeaderBytes;
    for (auto& f : result.frames) {
        f.flags = GetWord(p);
        p += 4;
        for (float& x : f.features) {
            const uint32_t bits = GetWord(p);
            std::memcpy(&x, &bits, 4);
            p += 4;
        }
    }
    return true;
}

} // namespace VxFeatures
