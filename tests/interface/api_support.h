// Shared fixtures of the interface tests: sound files written on the fly and a whole analysis
// read back through the queries.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "../core/test_folders.h"
#include "voxtrail.h"

namespace vxtest {

inline void WriteText(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

// A PCM WAV file of 8 or 16 bits holding samples scaled to that depth from the 16-bit range.
inline void WriteWav(const std::string& file, int rate, int bits,
                     const std::vector<int16_t>& samples) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sf_write_short(out, samples.data(), sf_count_t(samples.size())),
              sf_count_t(samples.size()));
    sf_close(out);
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

// (time, value, in slope, out slope); (id, start, end); (text, start, end).
using Key = std::array<double, 4>;
using Segment = std::tuple<int32_t, double, double>;
using Word = std::tuple<std::string, double, double>;

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
        auto& [id, start, end] = r.phonemes.emplace_back();
        EXPECT_EQ(VoxtrailGetPhonemeId(a, i, &id), 0u);
        EXPECT_EQ(VoxtrailGetPhonemeStartTime(a, i, &start), 0u);
        EXPECT_EQ(VoxtrailGetPhonemeEndTime(a, i, &end), 0u);
    }
    EXPECT_EQ(VoxtrailGetNumWords(a, &n), 0u);
    for (int32_t i = 0; i < n; ++i) {
        char text[256];
        EXPECT_EQ(VoxtrailGetWordText(a, i, sizeof text, text), 0u);
        auto& [word, start, end] = r.words.emplace_back(text, 0.0, 0.0);
        EXPECT_EQ(VoxtrailGetWordStartTime(a, i, &start), 0u);
        EXPECT_EQ(VoxtrailGetWordEndTime(a, i, &end), 0u);
    }
    const auto tracks = [a](auto count, auto keyCount, auto getKey) {
        int32_t n = 0;
        EXPECT_EQ(count(a, &n), 0u);
        std::vector<std::vector<Key>> all(static_cast<size_t>(n));
        for (int32_t t = 0; t < n; ++t) {
            int32_t keys = 0;
            EXPECT_EQ(keyCount(a, t, &keys), 0u);
            for (int32_t i = 0; i < keys; ++i) {
                Key& k = all[size_t(t)].emplace_back();
                EXPECT_EQ(getKey(a, t, i, &k[0], &k[1], &k[2], &k[3]), 0u);
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
    return {int32_t(sizeof(VOXTRAIL_ANALYSIS_SETTINGS)), fps, 0, seed, config};
}

inline std::string EvaluationSound(const char* name) {
    return std::string(VX_EVALUATION_SOUNDS) + "/" + name;
}

// Starts the library on the test data for one test and shuts it down afterwards.
class StartedLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u); }
    void TearDown() override { VoxtrailShutdownLibrary(); }
    // Analyses a sound into a registered object; nullptr (refused by every query) on failure.
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
