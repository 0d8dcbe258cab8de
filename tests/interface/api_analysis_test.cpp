// Whole analyses through the interface: settings, configuration files, sound checks, the shape
// of the results and threads.
#include <cmath>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api_support.h"
#include "voxtrail.h"

using namespace vxtest;

namespace {

class Analysis : public StartedLibrary {
protected:
    // The result code of an analysis, its message in message; frees any analysis made.
    uint32_t Code(const std::string& sound, const VOXTRAIL_ANALYSIS_SETTINGS* settings) {
        VOXTRAIL_ANALYSIS* a = nullptr;
        const uint32_t code = VoxtrailGetAnalysis(&a, sound.c_str(), nullptr, settings);
        message = ErrorString(code);
        EXPECT_EQ(code == 0, a != nullptr);
        if (a) VoxtrailFreeAnalysis(&a);
        return code;
    }
    // The cause in the message's last brackets, or "".
    std::string Detail() const {
        const size_t open = message.rfind(" [");
        return open == std::string::npos ? "" : message.substr(open + 2, message.size() - open - 3);
    }
    std::string message;
    const std::string hello = EvaluationSound("hello_world.wav");
};

} // namespace

TEST_F(Analysis, SettingsAreValidated) {
    const std::string missing = scratch.File("missing.ini");
    const struct {
        int32_t size, fps, fast; // size 0: the right one
        const char* config;
        uint32_t code;
        std::string detail = ""; // the cause told after the code's text
    } rows[] = {
        {20, 30, 0, nullptr, VOXTRAIL_INVALID_PARAMETER_ERR}, // the size with 4-byte pointers
        {28, 30, 0, nullptr, VOXTRAIL_INVALID_PARAMETER_ERR},
        {0, 0, 0, nullptr, VOXTRAIL_INVALID_PARAMETER_ERR},
        {0, -30, 0, nullptr, VOXTRAIL_INVALID_PARAMETER_ERR},
        {0, 30, 0, missing.c_str(), VOXTRAIL_INVALID_PARAMETER_ERR},
        // Frame tables grow with the rate: beyond the documented bound nothing is allocated.
        {0, 1001, 0, nullptr, VOXTRAIL_INVALID_PARAMETER_ERR,
         "1001 frames per second is above the 1000 an analysis accepts"},
        {0, 2147483647, 0, nullptr, VOXTRAIL_INVALID_PARAMETER_ERR,
         "2147483647 frames per second is above the 1000 an analysis accepts"},
        {0, VOXTRAIL_MAX_FRAMES_PER_SECOND, 0, nullptr, 0u},
        {0, 24, 5, nullptr, 0u}, // any fast flag
    };
    for (const auto& row : rows) {
        auto settings = Settings(1, row.fps, row.config);
        settings.size = row.size ? row.size : settings.size;
        settings.fastFlag = row.fast;
        EXPECT_EQ(Code(hello, &settings), row.code) << row.size << " " << row.fps;
        EXPECT_EQ(Detail(), row.detail);
    }
}

// The detail of a failure is told with its code until any later call records a result.
TEST_F(Analysis, DetailFollowsTheLastFailureOnly) {
    const std::string config = scratch.File("bad.ini");
    WriteText(config, "[PhonemeToSpeechTargetMapping]\nNumSpeechTargets=x\n");
    const auto settings = Settings(1, 30, config.c_str());
    const std::string text = "VOXTRAIL_CONFIG_PARSE_ERROR: the configuration file specified in the "
                             "VOXTRAIL_ANALYSIS_SETTINGS structure is invalid";
    EXPECT_EQ(Code(hello, &settings), VOXTRAIL_CONFIG_PARSE_ERROR);
    EXPECT_EQ(message, text + " [NumSpeechTargets must have integer value]");
    // Other codes keep their plain text, and reading does not clear the record.
    EXPECT_EQ(ErrorString(VOXTRAIL_ERROR), "VOXTRAIL_ERROR: generic error");
    EXPECT_EQ(ErrorString(VOXTRAIL_CONFIG_PARSE_ERROR, 256), message);
    EXPECT_EQ(VoxtrailStartupLibrary(data.path.c_str()), VOXTRAIL_ERROR);
    EXPECT_EQ(ErrorString(VOXTRAIL_CONFIG_PARSE_ERROR), text);
}

// The parser's own cases are the configuration tests'; here a file reaches the analysis and
// only that one.
TEST_F(Analysis, ConfigurationChoosesTheSpeechTargets) {
    const std::string file = std::string(VX_TEST_DATA) + "/config/five_targets.ini";
    const auto settings = Settings(5, 30, file.c_str());
    int32_t n = 0;
    for (const auto* given : {&settings, static_cast<const VOXTRAIL_ANALYSIS_SETTINGS*>(nullptr)}) {
        VOXTRAIL_ANALYSIS* a = Analyse(hello, nullptr, given);
        EXPECT_EQ(VoxtrailGetNumSpeechTargets(a, &n), 0u);
        // The next analysis without a file is back on the built-in map.
        EXPECT_EQ(n, given ? 5 : 15);
        EXPECT_EQ(VoxtrailGetNumSpeechTargetKeys(a, n, &n), VOXTRAIL_INVALID_INDEX_ERR);
        EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
    }
}

// The loader's own texts are the audio tests'; here they reach the caller after the code's. A
// configuration that is a folder is named by the tool's configuration test, through the same path.
TEST_F(Analysis, RefusalsNameTheirCause) {
    const std::string slow = scratch.File("slow.wav"), longest = scratch.File("long.wav");
    WriteWav(slow, 6000, 16, Babble(6000, 0.5));
    // 8-bit at 8000 Hz keeps the file small; one sample over 300 s.
    WriteWav(longest, 8000, 8, std::vector<int16_t>(8000 * 300 + 1, 0));
    // The recogniser's weights cut short; every sound before hello is refused before it is read.
    const std::string network = data.File("Wt16M9fs.dat");
    const auto whole = std::filesystem::canonical(network); // the folder holds links
    std::filesystem::remove(network);
    std::filesystem::copy_file(whole, network);
    std::filesystem::resize_file(network, std::filesystem::file_size(whole) / 2);
    const struct {
        std::string sound;
        uint32_t code;
        std::string detail;
    } rows[] = {
        {scratch.File("absent.wav"), VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR, "file doesn't exist"},
        {slow, VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR, "sample rate 6000 Hz is outside 8000-48000 Hz"},
        {longest, VOXTRAIL_ANALYSIS_FAILED_ERR,
         "the sound is longer than the 300 s an analysis accepts (it lasts 300.000 s)"},
        {hello, VOXTRAIL_ANALYSIS_FAILED_ERR, "weights file " + network + " is truncated"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Code(row.sound, nullptr), row.code) << row.sound;
        EXPECT_EQ(Detail(), row.detail);
    }
}

TEST_F(Analysis, ShortSoundsAreOneSilence) {
    // Under three frames: no recognition and no words, one silence up to the next frame edge.
    const std::string blip = scratch.File("blip.wav");
    WriteWav(blip, 16000, 16, Babble(16000, 0.03));
    const auto settings = Settings(2);
    VOXTRAIL_ANALYSIS* a = Analyse(blip, "hello", &settings);
    const Result r = ReadAll(a);
    ASSERT_EQ(r.phonemes.size(), 1u);
    EXPECT_EQ(r.phonemes[0], (Segment{40, 0.0, 0.032}));
    EXPECT_TRUE(r.words.empty());
    EXPECT_EQ(r.speech.size(), 15u);
    EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
}

TEST_F(Analysis, ResultsHaveTheirShape) {
    const auto settings = Settings(9);
    for (const char* transcript : {static_cast<const char*>(nullptr), "Hello world"}) {
        VOXTRAIL_ANALYSIS* a = Analyse(hello, transcript, &settings);
        const Result r = ReadAll(a);
        EXPECT_EQ(r.words.size(), transcript ? 2u : 0u);

        // Contiguous segments from 0 on the 16 ms grid (exact milliseconds), none empty.
        ASSERT_FALSE(r.phonemes.empty());
        double previousEnd = 0.0;
        for (const auto& [id, start, end] : r.phonemes) {
            SCOPED_TRACE(start);
            EXPECT_TRUE(id >= 0 && id <= 40) << id;
            EXPECT_EQ(start, previousEnd);
            EXPECT_GT(end, start);
            EXPECT_EQ(std::fmod(end * 1000, 16), 0.0);
            previousEnd = end;
        }
        // hello_world.wav lasts about 4.6 s; the segments end at its length cut to the grid.
        EXPECT_NEAR(previousEnd, 4.6, 0.3);

        EXPECT_EQ(r.gestures.size(), 11u);
        size_t keyed = 0;
        for (const auto* family : {&r.speech, &r.gestures})
            for (const auto& track : *family) {
                keyed += !track.empty();
                for (size_t k = 0; k < track.size(); ++k) {
                    const auto& [time, value, in, out] = track[k];
                    EXPECT_TRUE(std::isfinite(time + value + in + out)) << k;
                    EXPECT_TRUE(k == 0 || time > track[k - 1][0]) << k;
                }
            }
        EXPECT_GT(keyed, 3u);
        EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
    }
}

// The seed fixes the gestures and the fast flag the speech targets; neither moves anything else.
TEST_F(Analysis, SeedAndFastFlagEachChangeOnlyTheirTracks) {
    VOXTRAIL_ANALYSIS_SETTINGS settings[] = {Settings(1234), Settings(1234), Settings(4321),
                                             Settings(1234)};
    settings[3].fastFlag = 1;
    VOXTRAIL_ANALYSIS* held[4];
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(held[i] = Analyse(hello, "Hello world", &settings[i]), nullptr);
    const Result a = ReadAll(held[0]), c = ReadAll(held[2]), f = ReadAll(held[3]);
    EXPECT_TRUE(ReadAll(held[1]) == a);
    EXPECT_EQ(std::tie(a.phonemes, a.words, a.speech), std::tie(c.phonemes, c.words, c.speech));
    EXPECT_NE(a.gestures, c.gestures);
    EXPECT_EQ(std::tie(a.phonemes, a.words, a.gestures), std::tie(f.phonemes, f.words, f.gestures));
    EXPECT_NE(a.speech, f.speech); // fast ramps are shorter, so the keys move
    // Earlier analyses keep their own copies.
    VoxtrailFreeAnalysis(&held[1]);
    EXPECT_TRUE(ReadAll(held[0]) == a);
    for (VOXTRAIL_ANALYSIS*& x : held)
        VoxtrailFreeAnalysis(&x);
}

// Several threads calling at once get what one thread gets: every call runs under the lock.
TEST_F(StartedLibrary, ThreadsGetTheSameResultsAsOneThread) {
    const std::string sounds[] = {EvaluationSound("hello_world.wav"),
                                  EvaluationSound("phone_message.wav")};
    const char* transcripts[] = {"Hello world. This is a test of automatic lip synchronization.",
                                 nullptr};
    const auto settings = Settings(99);
    const auto analyse = [&](int i) {
        VOXTRAIL_ANALYSIS* a = nullptr;
        EXPECT_EQ(VoxtrailGetAnalysis(&a, sounds[i].c_str(), transcripts[i], &settings), 0u);
        const Result r = ReadAll(a);
        EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
        return r;
    };
    const Result expected[] = {analyse(0), analyse(1)};
    std::vector<std::future<bool>> threads;
    for (int t = 0; t < 4; ++t)
        threads.push_back(std::async(std::launch::async, [&, t] {
            // Queries of one thread interleave with other threads' analyses.
            return analyse(t % 2) == expected[t % 2] && analyse(1 - t % 2) == expected[1 - t % 2];
        }));
    for (auto& thread : threads)
        EXPECT_TRUE(thread.get());
}
