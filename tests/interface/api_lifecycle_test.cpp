// Error texts, the last-error record, start-up and shut-down, the handle check and the argument
// checks of every query.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "api_support.h"
#include "voxtrail.h"

using namespace vxtest;

// The error text and the version are copied alike: cut and terminated within the buffer.
TEST(ErrorStrings, CodeNameThenTextUnknownCodesAndBufferChecks) {
    EXPECT_EQ(ErrorString(VOXTRAIL_INVALID_INDEX_ERR),
              "VOXTRAIL_INVALID_INDEX_ERR: one or more of the indices (track, key, frame, word, "
              "phoneme) are invalid (out of range)");
    char text[256];
    EXPECT_EQ(VoxtrailGetErrorString(12345, sizeof text, text), VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_STREQ(text, "unknown Voxtrail error code: 12345");
    EXPECT_EQ(VoxtrailGetErrorString(0xFFFFFFFFu, sizeof text, text),
              VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_STREQ(text, "unknown Voxtrail error code: -1");

    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, 10, text), 0u);
    EXPECT_STREQ(text, "VOXTRAIL_");
    EXPECT_EQ(text[10], 'x');                   // nothing written past the given size
    EXPECT_EQ(VoxtrailGetVersion(4, text), 0u); // the whole text is the tool's --version test's
    EXPECT_STREQ(text, "1.5");
    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, 1, text), 0u);
    EXPECT_STREQ(text, "");

    std::memset(text, 'x', sizeof text);
    for (int32_t size : {0, -5}) {
        EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, size, text),
                  VOXTRAIL_INVALID_PARAMETER_ERR);
        EXPECT_EQ(VoxtrailGetVersion(size, text), VOXTRAIL_INVALID_PARAMETER_ERR);
    }
    EXPECT_EQ(text[0], 'x');
    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, 16, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetVersion(8, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
}

// Every call in and out of order. A failed start-up once left the library half started, so the
// retry failed. The banner goes to the engine's trace hook, which discards by default: none of
// it reaches the standard streams.
TEST(Lifecycle, FailedStartupLeavesTheLibraryAsItWas) {
    TempFolder empty;
    DataFolder data;
    const std::string sound = EvaluationSound("hello_world.wav");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(VoxtrailShutdownLibrary(), VOXTRAIL_SHUTDOWN_FAILED_ERR);
    EXPECT_EQ(VoxtrailStartupLibrary(nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailStartupLibrary(empty.path.c_str()), VOXTRAIL_CORE_DATA_NOT_FOUND_ERR);
    // Neither started it.
    VOXTRAIL_ANALYSIS* a = reinterpret_cast<VOXTRAIL_ANALYSIS*>(&a); // must be cleared
    EXPECT_EQ(VoxtrailGetAnalysis(&a, sound.c_str(), nullptr, nullptr),
              VOXTRAIL_STARTUP_NOT_CALLED);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(VoxtrailShutdownLibrary(), VOXTRAIL_SHUTDOWN_FAILED_ERR);

    // The retry with the right folder needs no shut-down first.
    EXPECT_EQ(VoxtrailStartupLibrary(empty.path.c_str()), VOXTRAIL_CORE_DATA_NOT_FOUND_ERR);
    ASSERT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u);
    EXPECT_EQ(VoxtrailStartupLibrary(data.path.c_str()), VOXTRAIL_ERROR);
    EXPECT_EQ(VoxtrailGetAnalysis(&a, sound.c_str(), nullptr, nullptr), 0u);
    EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), VOXTRAIL_SHUTDOWN_FAILED_ERR);
    // Restartable.
    EXPECT_EQ(VoxtrailStartupLibrary((data.path.string() + "/").c_str()), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// The allocator hands a freed analysis's memory to the next one; the freed handle must not
// reach it.
TEST_F(StartedLibrary, AFreedHandleNeverReachesALaterAnalysis) {
    const auto settings = Settings(7);
    const std::string sound = EvaluationSound("hello_world.wav");
    VOXTRAIL_ANALYSIS* first = Analyse(sound, nullptr, &settings);
    ASSERT_NE(first, nullptr);
    VOXTRAIL_ANALYSIS* stale = first;
    ASSERT_EQ(VoxtrailFreeAnalysis(&first), 0u);
    EXPECT_EQ(first, nullptr);
    VOXTRAIL_ANALYSIS* second = Analyse(sound, "hello world", &settings);
    ASSERT_NE(second, nullptr);
    int32_t n = -1;
    EXPECT_EQ(VoxtrailGetNumWords(stale, &n), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(VoxtrailFreeAnalysis(&stale), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_NE(stale, nullptr); // a refused pointer is left as it was
    EXPECT_EQ(VoxtrailGetNumWords(second, &n), 0u);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(VoxtrailFreeAnalysis(&second), 0u);
}

TEST_F(StartedLibrary, ShutdownFreesHeldAnalysesAndStaleHandlesAreRefused) {
    const auto settings = Settings(3);
    VOXTRAIL_ANALYSIS* held[3] = {};
    for (auto& a : held)
        ASSERT_NE(a = Analyse(EvaluationSound("phone_message.wav"), nullptr, &settings), nullptr);
    ASSERT_EQ(VoxtrailFreeAnalysis(&held[1]), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u); // frees held[0] and held[2]; LSan checks the rest

    // Every kind of query checks the handle alike: the argument table's foreign-handle rows.
    int32_t n = -1;
    EXPECT_EQ(VoxtrailGetNumSpeechTargets(held[0], &n), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(VoxtrailFreeAnalysis(&held[2]), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(n, -1);

    // Nor does a restarted library know them.
    ASSERT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u);
    EXPECT_EQ(VoxtrailGetNumPhonemes(held[0], &n), VOXTRAIL_INVALID_ANALYSIS_ERR);
}

// The argument checks of the analysis calls, in their documented order: each row breaks the
// first argument the call checks, or passes a later one the earlier checks would have caught.
TEST_F(StartedLibrary, QueriesCheckTheirArgumentsInTheDocumentedOrder) {
    const auto settings = Settings(11);
    VOXTRAIL_ANALYSIS* a = Analyse(EvaluationSound("hello_world.wav"), "Hello world", &settings);
    ASSERT_NE(a, nullptr);
    // Every valid index, the last of each kind included, answers here.
    const Result r = ReadAll(a);
    const auto keyed = std::find_if(r.speech.begin(), r.speech.end(),
                                    [](const std::vector<Key>& t) { return !t.empty(); });
    ASSERT_NE(keyed, r.speech.end());
    const int32_t st = int32_t(r.speech.size()), ge = int32_t(r.gestures.size()),
                  ph = int32_t(r.phonemes.size()), wo = int32_t(r.words.size()),
                  track = int32_t(keyed - r.speech.begin()), keys = int32_t(keyed->size());
    int32_t n = -1;
    double v = 0;
    char text[8], foreign[64] = {};
    std::memset(text, 'x', sizeof text);
    // A pointer the engine never handed out is refused without being read.
    VOXTRAIL_ANALYSIS *alien = reinterpret_cast<VOXTRAIL_ANALYSIS*>(foreign), *none = nullptr;
    const uint32_t kNull = VOXTRAIL_NULL_PARAMETER_ERR, kIndex = VOXTRAIL_INVALID_INDEX_ERR,
                   kAlien = VOXTRAIL_INVALID_ANALYSIS_ERR;
    const auto speech = VoxtrailGetSpeechTargetKey, gesture = VoxtrailGetGestureKey;
    const struct {
        const char* name;
        uint32_t got, expected;
    } rows[] = {
        {"speech target count, no output", VoxtrailGetNumSpeechTargets(a, nullptr), kNull},
        {"gesture count, no output", VoxtrailGetNumGestures(a, nullptr), kNull},
        {"phoneme count, no output", VoxtrailGetNumPhonemes(a, nullptr), kNull},
        {"word count, no output", VoxtrailGetNumWords(a, nullptr), kNull},
        {"null handle before output", VoxtrailGetNumWords(nullptr, nullptr), kNull},
        {"foreign handle, count", VoxtrailGetNumWords(alien, nullptr), kAlien},
        {"foreign handle, key", gesture(alien, 0, 0, nullptr, nullptr, nullptr, nullptr), kAlien},
        {"foreign handle, word", VoxtrailGetWordText(alien, -1, 0, nullptr), kAlien},
        {"analysis, no output", VoxtrailGetAnalysis(nullptr, "x.wav", nullptr, nullptr), kNull},
        {"analysis, no sound", VoxtrailGetAnalysis(&none, nullptr, nullptr, nullptr), kNull},
        {"free, no pointer", VoxtrailFreeAnalysis(nullptr), 0u},
        {"free, null handle", VoxtrailFreeAnalysis(&none), kNull},
        {"free, foreign handle", VoxtrailFreeAnalysis(&alien), kAlien},
        {"speech keys, no output", VoxtrailGetNumSpeechTargetKeys(a, 0, nullptr), kNull},
        {"speech keys, track -1", VoxtrailGetNumSpeechTargetKeys(a, -1, &n), kIndex},
        // The rest track after the last speech target is hidden.
        {"speech keys, rest track", VoxtrailGetNumSpeechTargetKeys(a, st, &n), kIndex},
        {"gesture keys, no output", VoxtrailGetNumGestureKeys(a, 0, nullptr), kNull},
        {"gesture keys, past the end", VoxtrailGetNumGestureKeys(a, ge, &n), kIndex},
        {"gesture keys, output before track", VoxtrailGetNumGestureKeys(a, -1, nullptr), kNull},
        {"speech key, time first", speech(a, -1, -1, nullptr, nullptr, nullptr, nullptr), kNull},
        {"speech key, track -1", speech(a, -1, 0, &v, nullptr, nullptr, nullptr), kIndex},
        {"speech key, rest track", speech(a, st, 0, &v, nullptr, nullptr, nullptr), kIndex},
        {"speech key, key -1", speech(a, 0, -1, &v, nullptr, nullptr, nullptr), kIndex},
        {"speech key, key past the end", speech(a, track, keys, &v, &v, &v, &v), kIndex},
        {"speech key, no value", speech(a, track, 0, &v, nullptr, &v, &v), kNull},
        {"speech key, no in slope", speech(a, track, 0, &v, &v, nullptr, &v), kNull},
        {"speech key, no out slope", speech(a, track, 0, &v, &v, &v, nullptr), kNull},
        {"gesture key, time first", gesture(a, -1, -1, nullptr, nullptr, nullptr, nullptr), kNull},
        {"gesture key, track -1", gesture(a, -1, 0, &v, nullptr, nullptr, nullptr), kIndex},
        {"gesture key, past the end", gesture(a, ge, 0, &v, nullptr, nullptr, nullptr), kIndex},
        {"gesture key, key -1", gesture(a, 0, -1, &v, nullptr, nullptr, nullptr), kIndex},
        {"gesture key, key huge", gesture(a, 0, 1 << 30, &v, nullptr, nullptr, nullptr), kIndex},
        {"phoneme id, output first", VoxtrailGetPhonemeId(a, -1, nullptr), kNull},
        {"phoneme id, past the end", VoxtrailGetPhonemeId(a, ph, &n), kIndex},
        {"phoneme start, output first", VoxtrailGetPhonemeStartTime(a, -1, nullptr), kNull},
        {"phoneme start, -1", VoxtrailGetPhonemeStartTime(a, -1, &v), kIndex},
        {"phoneme end, output first", VoxtrailGetPhonemeEndTime(a, ph, nullptr), kNull},
        {"phoneme end, past the end", VoxtrailGetPhonemeEndTime(a, ph, &v), kIndex},
        {"word start, output first", VoxtrailGetWordStartTime(a, wo, nullptr), kNull},
        {"word start, past the end", VoxtrailGetWordStartTime(a, wo, &v), kIndex},
        {"word end, -1", VoxtrailGetWordEndTime(a, -1, &v), kIndex},
        {"word text, buffer first", VoxtrailGetWordText(a, -1, 0, nullptr), kNull},
        {"word text, index before size", VoxtrailGetWordText(a, wo, 0, text), kIndex},
        {"word text, size 0", VoxtrailGetWordText(a, 0, 0, text), VOXTRAIL_INVALID_PARAMETER_ERR},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.got, row.expected) << row.name;
    EXPECT_EQ(text[0], 'x'); // a refused query writes nothing

    // Word texts are cut to the buffer, terminated, and nothing past it is written.
    EXPECT_EQ(VoxtrailGetWordText(a, 0, 4, text), 0u);
    EXPECT_STREQ(text, "HEL");
    EXPECT_EQ(text[4], 'x');
    EXPECT_EQ(std::get<0>(r.words[1]), "WORLD");
    EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
}
