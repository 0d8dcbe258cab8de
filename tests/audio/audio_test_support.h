// Fixture paths, sample decoding and sines shared by the audio tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "../core/trace_capture.h"
#include "audio_file.h"

inline std::string Fixture(const char* name) {
    return std::string(VX_TEST_DATA) + "/audio/" + name;
}

// Facts of one read, and the block of one load, for compact assertions.
struct TRead {
    bool ok = false, pcm = false;
    uint32_t bits = 99, rate = 99, channels = 99, count = 99;
    Vantrix::TSampleBlock block;
    std::vector<uint32_t> Facts() const { return {bits, rate, channels, count}; }
    // A failed read leaves nothing behind.
    bool Cleared() const { return !ok && block.empty() && bits + rate + channels + count == 0; }
    int16_t S16(size_t i) const {
        return int16_t(uint16_t(block[2 * i] | (block[2 * i + 1] << 8)));
    }
};

template <typename Loader> TRead Load(Loader loader, const std::string& path) {
    TRead r;
    r.ok = loader(path.c_str(), r.bits, r.rate, r.channels, r.count, r.block);
    return r;
}

template <typename Reader> TRead Info(Reader reader, const std::string& path) {
    TRead r;
    r.ok = reader(path.c_str(), r.bits, r.rate, r.channels, r.count, r.pcm);
    return r;
}

// Rounded to whole sample values, as the fixture scripts write them.
inline std::vector<double> Sine(size_t count, double rate, double freq, double amplitude) {
    std::vector<double> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] = std::round(amplitude * std::sin(2 * std::acos(-1.0) * freq * double(i) / rate));
    return s;
}
