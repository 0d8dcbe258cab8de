// Shared fixtures of the interface tests: sound files written on the fly and a whole analysis
// read back through the queries.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "../core/test_folders.h"
#include "voxtrail.h"

namespace vxtest {

namespace fs = std::filesystem;

inline void WriteText(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

// A PCM WAV file of 8 or 16 bits holding samples scaled to that depth from the 16-bit range.
inline void WriteWav(const std::string& file, uint32_t rate, uint16_t bits,
                     const std::vector<int16_t>& samples) {
    const uint32_t bytesPerSample = bits / 8;
    const uint32_t dataBytes = uint32_t(samples.size()) * bytesPerSample;
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.put(char((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&](uint16_t v) {
        out.put(char(v & 0xFF));
        out.put(char(v >> 8));
    };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * bytesPerSample);
    u16(uint16_t(bytesPerSample));
    u16(bits);
    out.write("data", 4);
    u32(dataBytes);
    for (int16_t s : samples) {
        if (bits == 8)
            out.put(char(uint8_t((s >> 8) + 128)));
        else
            u16(uint16_t(s));
    }
}

// Voiced stretches and pauses, so the front end sees speech-like frames.
inline std::vector<int16_t> Babble(uint32_t rate, double seconds) {
    std::vector<int16_t> samples(size_t(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i) / rate;
        const double voice = std::fmod(t, 0.5) < 0.3 ? 6000.0 * std::sin(2 * M_PI * 140 * t) : 0.0;
        samples[i] = int16_t(voice + 800.0 * std::sin(double(i) * 12.9898));
    }
    return samples;
}

inline std::string ErrorString(uint32_t code, int32_t size = 1024) {
    std::vector<char> text(size_t(size), 'x');
    EXPECT_EQ(VoxtrailGetErrorString(code, size, text.data()), 0u);
    return text.data();
}

struct Key {
    double time, value, inSlope, outSlope;
    auto Tie() const { return std::tie(time, value, inSlope, outSlope); }
    bool operator==(const Key& o) const { return Tie() == o.Tie(); }
};

struct Segment {
    int32_t id;
    double start, end;
    auto Tie() const { return std::tie(id, start, end); }
    bool operator==(const Segment& o) const { return Tie() == o.Tie(); }
};

struct Word {
    std::string text;
    double start, end;
    auto Tie() const { return std::tie(text, start, end); }
    bool operator==(const Word& o) const { return Tie() == o.Tie(); }
};

// Everything the queries tell about one analysis.
struct Result {
    std::vector<Segment> phonemes;
    std::vector<Word> words;
    std::vector<std::vector<Key>> speech;
    std::vector<std::vector<Key>> gestures;
    bool operator==(const Result& o) const {
        return std::tie(phonemes, words, speech, gestures) ==
               std::tie(o.phonemes, o.words, o.speech, o.gestures);
    }
};

// Reads every result through the queries; a failing query is a test failure.
inline Result ReadAll(VOXTRAIL_ANALYSIS* a) {
    Result r;
    int32_t n = 0;
    EXPECT_EQ(VoxtrailGetNumPhonemes(a, &n), 0u);
    for (int32_t i = 0; i < n; ++i) {
        Segment s{};
        EXPECT_EQ(VoxtrailGetPhonemeId(a, i, &s.id), 0u);
        EXPECT_EQ(VoxtrailGetPhonemeStartTime(a, i, &s.start), 0u);
        EXPECT_EQ(VoxtrailGetPhonemeEndTime(a, i, &s.end), 0u);
        r.phonemes.push_back(s);
    }
    EXPECT_EQ(VoxtrailGetNumWords(a, &n), 0u);
    for (int32_t i = 0; i < n; ++i) {
        char text[256];
        Word w{};
        EXPECT_EQ(VoxtrailGetWordText(a, i, sizeof text, text), 0u);
        w.text = text;
        EXPECT_EQ(VoxtrailGetWordStartTime(a, i, &w.start), 0u);
        EXPECT_EQ(VoxtrailGetWordEndTime(a, i, &w.end), 0u);
        r.words.push_back(w);
    }
    using Count = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t*);
    using KeyCount = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t*);
    using GetKey =
        uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t, double*, double*, double*, double*);
    const auto tracks = [a](Count count, KeyCount keyCount, GetKey getKey) {
        int32_t n = 0;
        EXPECT_EQ(count(a, &n), 0u);
        std::vector<std::vector<Key>> all(static_cast<size_t>(n));
        for (int32_t t = 0; t < n; ++t) {
            int32_t keys = 0;
            EXPECT_EQ(keyCount(a, t, &keys), 0u);
            for (int32_t i = 0; i < keys; ++i) {
                Key k{};
                EXPECT_EQ(getKey(a, t, i, &k.time, &k.value, &k.inSlope, &k.outSlope), 0u);
                all[size_t(t)].push_back(k);
            }
        }
        return all;
    };
    r.speech = tracks(VoxtrailGetNumSpeechTargets, VoxtrailGetNumSpeechTargetKeys,
                      VoxtrailGetSpeechTargetKey);
    r.gestures = tracks(VoxtrailGetNumGestures, VoxtrailGetNumGestureKeys, VoxtrailGetGestureKey);
    return r;
}

inline VOXTRAIL_ANALYSIS_SETTINGS Settings(int32_t seed, int32_t fps = 30,
                                           const char* config = nullptr) {
    VOXTRAIL_ANALYSIS_SETTINGS s{};
    s.size = sizeof s;
    s.framesPerSecond = fps;
    s.fastFlag = 0;
    s.randomSeed = seed;
    s.configFile = config;
    return s;
}

inline std::string EvaluationSound(const char* name) {
    return std::string(VX_EVALUATION_SOUNDS) + "/" + name;
}

// Starts the library on the test data for one test and shuts it down afterwards.
class StartedLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u); }
    void TearDown() override { VoxtrailShutdownLibrary(); }
    // Analyses a sound into a registered object; nullptr on failure (a test failure).
    VOXTRAIL_ANALYSIS* Analyse(const std::string& sound, const char* transcript,
                               const VOXTRAIL_ANALYSIS_SETTINGS* settings) {
        VOXTRAIL_ANALYSIS* a = nullptr;
        EXPECT_EQ(VoxtrailGetAnalysis(&a, sound.c_str(), transcript, settings), 0u)
            << ErrorString(VOXTRAIL_ANALYSIS_FAILED_ERR);
        return a;
    }
    DataFolder data;
    TempFolder scratch;
};

} // namespace vxtest
