// Fixture paths and sample decoding shared by the audio tests.
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

// Facts and block of one load, for compact assertions.
struct TLoaded {
    bool ok = false;
    uint32_t bits = 99, rate = 99, channels = 99, count = 99;
    Vantrix::TSampleBlock block;
    std::vector<uint32_t> Facts() const { return {bits, rate, channels, count}; }
    int16_t S16(size_t i) const {
        return int16_t(uint16_t(block[2 * i] | (block[2 * i + 1] << 8)));
    }
};

template <typename Loader> TLoaded Load(Loader loader, const std::string& path) {
    TLoaded r;
    r.ok = loader(path.c_str(), r.bits, r.rate, r.channels, r.count, r.block);
    return r;
}

struct TInfo {
    bool ok = false;
    uint32_t bits = 99, rate = 99, channels = 99, count = 99;
    bool pcm = false;
    std::vector<uint32_t> Facts() const { return {bits, rate, channels, count}; }
};

template <typename Reader> TInfo Info(Reader reader, const std::string& path) {
    TInfo r;
    r.ok = reader(path.c_str(), r.bits, r.rate, r.channels, r.count, r.pcm);
    return r;
}

inline std::vector<int> Sine(size_t count, double rate, double freq, double amplitude) {
    std::vector<int> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] =
            int(std::lround(amplitude * std::sin(2 * std::acos(-1.0) * freq * double(i) / rate)));
    return s;
}
