// Error texts, the last-error record, start-up and shut-down, the handle check and the argument
// checks of every query.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "api_support.h"
#include "voxtrail.h"

using namespace vxtest;

namespace {

const std::string kConfigParseMessage =
    "VOXTRAIL_CONFIG_PARSE_ERROR: the configuration file specified in the "
    "VOXTRAIL_ANALYSIS_SETTINGS structure is invalid";

} // namespace

TEST(ErrorStrings, TableTextsAndUnknownCodes) {
    EXPECT_EQ(ErrorString(VOXTRAIL_INVALID_INDEX_ERR),
              "VOXTRAIL_INVALID_INDEX_ERR: one or more of the indices (track, key, frame, word, "
              "phoneme) are invalid (out of range)");
    EXPECT_EQ(ErrorString(VOXTRAIL_INVALID_TIME_ERR),
              "VOXTRAIL_INVALID_TIME_ERR: the time parameter is invalid (out of range)");
    const std::string internal = ErrorString(VOXTRAIL_INTERNAL_ERR);
    EXPECT_EQ(internal.rfind("VOXTRAIL_INTERNAL_ERR: a serious internal error occurred in "
                             "Voxtrail; please alert Vantrix by sending mail with a description "
                             "of how the error was triggered to ",
                             0),
              0u);
    EXPECT_NE(internal.find('@'), std::string::npos);

    char text[256];
    EXPECT_EQ(VoxtrailGetErrorString(12345, sizeof text, text), VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_STREQ(text, "unknown Voxtrail error code: 12345");
    EXPECT_EQ(VoxtrailGetErrorString(0xFFFFFFFFu, sizeof text, text),
              VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_STREQ(text, "unknown Voxtrail error code: -1");
}

TEST(ErrorStrings, BufferChecksAndTruncation) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, 10, text), 0u);
    EXPECT_STREQ(text, "VOXTRAIL_");
    EXPECT_EQ(text[10], 'x'); // nothing written past the given size

    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, 1, text), 0u);
    EXPECT_STREQ(text, "");
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, 0, text), VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, -5, text), VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_EQ(text[0], 'x');
    EXPECT_EQ(VoxtrailGetErrorString(VOXTRAIL_ERROR, 16, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
}

TEST_F(StartedLibrary, DetailFollowsTheLastFailureOnly) {
    const std::string config = scratch.File("bad.ini");
    WriteText(config, "[PhonemeToSpeechTargetMapping]\nNumSpeechTargets=x\n");
    const auto settings = Settings(1, 30, config.c_str());
    VOXTRAIL_ANALYSIS* a = nullptr;
    ASSERT_EQ(
        VoxtrailGetAnalysis(&a, EvaluationSound("hello_world.wav").c_str(), nullptr, &settings),
        VOXTRAIL_CONFIG_PARSE_ERROR);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(ErrorString(VOXTRAIL_CONFIG_PARSE_ERROR),
              kConfigParseMessage + " [NumSpeechTargets must have integer value]");
    // Other codes keep their plain text, and reading does not clear the record.
    EXPECT_EQ(ErrorString(VOXTRAIL_ERROR), "VOXTRAIL_ERROR: generic error");
    EXPECT_EQ(ErrorString(VOXTRAIL_CONFIG_PARSE_ERROR, 256),
              kConfigParseMessage + " [NumSpeechTargets must have integer value]");

    // Any later recorded result replaces it.
    EXPECT_EQ(VoxtrailStartupLibrary(data.path.c_str()), VOXTRAIL_ERROR);
    EXPECT_EQ(ErrorString(VOXTRAIL_CONFIG_PARSE_ERROR), kConfigParseMessage);
}

TEST(Version, IsTheProjectsAtAnyTime) {
    char text[16] = "x";
    EXPECT_EQ(VoxtrailGetVersion(sizeof text, text), 0u);
    EXPECT_STREQ(text, "1.5.0");
    EXPECT_EQ(VoxtrailGetVersion(4, text), 0u);
    EXPECT_STREQ(text, "1.5");
    EXPECT_EQ(VoxtrailGetVersion(0, text), VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetVersion(8, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
}

TEST(Lifecycle, StartAndStopTwice) {
    DataFolder data;
    EXPECT_EQ(VoxtrailShutdownLibrary(), VOXTRAIL_SHUTDOWN_FAILED_ERR);
    EXPECT_EQ(VoxtrailStartupLibrary(nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailShutdownLibrary(), VOXTRAIL_SHUTDOWN_FAILED_ERR); // null did not start it

    EXPECT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u);
    EXPECT_EQ(VoxtrailStartupLibrary(data.path.c_str()), VOXTRAIL_ERROR);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), VOXTRAIL_SHUTDOWN_FAILED_ERR);
    // Restartable.
    EXPECT_EQ(VoxtrailStartupLibrary((data.path.string() + "/").c_str()), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u);
}

TEST(Lifecycle, FailedStartupLeavesTheLibraryAsItWas) {
    TempFolder empty;
    DataFolder data;
    const std::string sound = EvaluationSound("hello_world.wav");
    VOXTRAIL_ANALYSIS* a = nullptr;
    EXPECT_EQ(VoxtrailStartupLibrary(empty.path.c_str()), VOXTRAIL_CORE_DATA_NOT_FOUND_ERR);
    EXPECT_EQ(VoxtrailGetAnalysis(&a, sound.c_str(), nullptr, nullptr),
              VOXTRAIL_STARTUP_NOT_CALLED);
    EXPECT_EQ(VoxtrailShutdownLibrary(), VOXTRAIL_SHUTDOWN_FAILED_ERR);
    // The retry with the right folder needs no shut-down first.
    EXPECT_EQ(VoxtrailStartupLibrary(empty.path.c_str()), VOXTRAIL_CORE_DATA_NOT_FOUND_ERR);
    ASSERT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u);
    EXPECT_EQ(VoxtrailGetAnalysis(&a, sound.c_str(), nullptr, nullptr), 0u);
    EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u);
}

TEST(Lifecycle, AnalysisNeedsAStartedLibrary) {
    VOXTRAIL_ANALYSIS* a = reinterpret_cast<VOXTRAIL_ANALYSIS*>(&a); // must be cleared
    EXPECT_EQ(VoxtrailGetAnalysis(&a, EvaluationSound("hello_world.wav").c_str(), nullptr, nullptr),
              VOXTRAIL_STARTUP_NOT_CALLED);
    EXPECT_EQ(a, nullptr);
    int32_t n = 0;
    EXPECT_EQ(VoxtrailGetNumPhonemes(a, &n), VOXTRAIL_NULL_PARAMETER_ERR);
}

TEST(Lifecycle, StartupIsSilentOnTheStandardStreams) {
    // The banner goes to the engine's trace hook, which discards by default; start-up must
    // still succeed and stay quiet on the standard streams.
    DataFolder data;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(StartedLibrary, FreeingChecksTheHandle) {
    EXPECT_EQ(VoxtrailFreeAnalysis(nullptr), 0u);
    VOXTRAIL_ANALYSIS* none = nullptr;
    EXPECT_EQ(VoxtrailFreeAnalysis(&none), VOXTRAIL_NULL_PARAMETER_ERR);

    const auto settings = Settings(7);
    VOXTRAIL_ANALYSIS* a = Analyse(EvaluationSound("hello_world.wav"), nullptr, &settings);
    ASSERT_NE(a, nullptr);
    VOXTRAIL_ANALYSIS* copy = a;
    EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(VoxtrailFreeAnalysis(&copy), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_NE(copy, nullptr); // a refused pointer is left as it was
    int32_t n;
    EXPECT_EQ(VoxtrailGetNumPhonemes(copy, &n), VOXTRAIL_INVALID_ANALYSIS_ERR);

    // A pointer the engine never handed out is refused without being read.
    char foreign[64] = {};
    auto* fake = reinterpret_cast<VOXTRAIL_ANALYSIS*>(foreign);
    EXPECT_EQ(VoxtrailGetNumWords(fake, &n), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(VoxtrailFreeAnalysis(&fake), VOXTRAIL_INVALID_ANALYSIS_ERR);
}

TEST_F(StartedLibrary, AFreedHandleNeverReachesALaterAnalysis) {
    // The allocator hands a freed analysis's memory to the next one.
    const auto settings = Settings(7);
    const std::string sound = EvaluationSound("hello_world.wav");
    VOXTRAIL_ANALYSIS* first = Analyse(sound, nullptr, &settings);
    ASSERT_NE(first, nullptr);
    VOXTRAIL_ANALYSIS* stale = first;
    ASSERT_EQ(VoxtrailFreeAnalysis(&first), 0u);
    VOXTRAIL_ANALYSIS* second = Analyse(sound, "hello world", &settings);
    ASSERT_NE(second, nullptr);
    int32_t n = -1;
    EXPECT_EQ(VoxtrailGetNumWords(stale, &n), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(VoxtrailFreeAnalysis(&stale), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(VoxtrailGetNumWords(second, &n), 0u);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(VoxtrailFreeAnalysis(&second), 0u);
}

TEST(Lifecycle, ShutdownFreesHeldAnalysesAndStaleHandlesAreRefused) {
    DataFolder data;
    ASSERT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u);
    const auto settings = Settings(3);
    VOXTRAIL_ANALYSIS* held[3] = {};
    for (auto& a : held)
        ASSERT_EQ(VoxtrailGetAnalysis(&a, EvaluationSound("phone_message.wav").c_str(), nullptr,
                                      &settings),
                  0u);
    ASSERT_EQ(VoxtrailFreeAnalysis(&held[1]), 0u);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u); // frees held[0] and held[2]; LSan checks the rest

    int32_t n = -1;
    double t;
    char text[8];
    EXPECT_EQ(VoxtrailGetNumSpeechTargets(held[0], &n), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(VoxtrailGetGestureKey(held[2], 0, 0, &t, &t, &t, &t), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(VoxtrailGetWordText(held[0], 0, sizeof text, text), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(VoxtrailFreeAnalysis(&held[2]), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(n, -1);

    // Nor does a restarted library know them.
    ASSERT_EQ(VoxtrailStartupLibrary(data.path.c_str()), 0u);
    EXPECT_EQ(VoxtrailGetNumPhonemes(held[0], &n), VOXTRAIL_INVALID_ANALYSIS_ERR);
    EXPECT_EQ(VoxtrailShutdownLibrary(), 0u);
}

// The argument checks of every query, in their documented order.
class QueryArguments : public StartedLibrary {
protected:
    void SetUp() override {
        StartedLibrary::SetUp();
        const auto settings = Settings(11);
        a = Analyse(EvaluationSound("hello_world.wav"), "Hello world", &settings);
        ASSERT_NE(a, nullptr);
        ASSERT_EQ(VoxtrailGetNumSpeechTargets(a, &speechTargets), 0u);
        ASSERT_EQ(VoxtrailGetNumGestures(a, &gestures), 0u);
        ASSERT_EQ(VoxtrailGetNumPhonemes(a, &phonemes), 0u);
        ASSERT_EQ(VoxtrailGetNumWords(a, &words), 0u);
        ASSERT_GT(phonemes, 0);
        ASSERT_EQ(words, 2);
    }
    void TearDown() override {
        EXPECT_EQ(VoxtrailFreeAnalysis(&a), 0u);
        StartedLibrary::TearDown();
    }
    VOXTRAIL_ANALYSIS* a = nullptr;
    int32_t speechTargets = 0, gestures = 0, phonemes = 0, words = 0;
};

TEST_F(QueryArguments, Counts) {
    EXPECT_EQ(VoxtrailGetNumSpeechTargets(a, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetNumGestures(a, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetNumPhonemes(a, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetNumWords(a, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    // The handle is checked before the output.
    EXPECT_EQ(VoxtrailGetNumWords(nullptr, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    char foreign[64] = {};
    EXPECT_EQ(VoxtrailGetNumWords(reinterpret_cast<VOXTRAIL_ANALYSIS*>(foreign), nullptr),
              VOXTRAIL_INVALID_ANALYSIS_ERR);
}

TEST_F(QueryArguments, KeyCountsHideTheRestTrack) {
    int32_t n = -1;
    EXPECT_EQ(VoxtrailGetNumSpeechTargetKeys(a, 0, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetNumSpeechTargetKeys(a, -1, &n), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetNumSpeechTargetKeys(a, speechTargets, &n), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetNumSpeechTargetKeys(a, speechTargets - 1, &n), 0u);
    EXPECT_EQ(VoxtrailGetNumGestureKeys(a, 0, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetNumGestureKeys(a, gestures, &n), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetNumGestureKeys(a, gestures - 1, &n), 0u);
    EXPECT_EQ(VoxtrailGetNumGestureKeys(a, -1, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
}

TEST_F(QueryArguments, KeysCheckTimeThenTrackThenKeyThenTheOtherOutputs) {
    int32_t track = -1, keys = 0;
    for (int32_t t = 0; t < speechTargets && track < 0; ++t) {
        ASSERT_EQ(VoxtrailGetNumSpeechTargetKeys(a, t, &keys), 0u);
        if (keys > 0) track = t;
    }
    ASSERT_GE(track, 0);
    double v = 0;
    using Getter =
        uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t, double*, double*, double*, double*);
    for (Getter get : {Getter(VoxtrailGetSpeechTargetKey), Getter(VoxtrailGetGestureKey)}) {
        const int32_t tracks = get == Getter(VoxtrailGetSpeechTargetKey) ? speechTargets : gestures;
        EXPECT_EQ(get(a, -1, -1, nullptr, nullptr, nullptr, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
        EXPECT_EQ(get(a, -1, 0, &v, nullptr, nullptr, nullptr), VOXTRAIL_INVALID_INDEX_ERR);
        EXPECT_EQ(get(a, tracks, 0, &v, nullptr, nullptr, nullptr), VOXTRAIL_INVALID_INDEX_ERR);
        EXPECT_EQ(get(a, 0, -1, &v, nullptr, nullptr, nullptr), VOXTRAIL_INVALID_INDEX_ERR);
        EXPECT_EQ(get(a, 0, 1 << 30, &v, nullptr, nullptr, nullptr), VOXTRAIL_INVALID_INDEX_ERR);
    }
    EXPECT_EQ(VoxtrailGetSpeechTargetKey(a, track, keys, &v, &v, &v, &v),
              VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetSpeechTargetKey(a, track, 0, &v, nullptr, &v, &v),
              VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetSpeechTargetKey(a, track, 0, &v, &v, nullptr, &v),
              VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetSpeechTargetKey(a, track, 0, &v, &v, &v, nullptr),
              VOXTRAIL_NULL_PARAMETER_ERR);
    double time = -1, value, in, out;
    EXPECT_EQ(VoxtrailGetSpeechTargetKey(a, track, keys - 1, &time, &value, &in, &out), 0u);
    EXPECT_GE(time, 0.0);
}

TEST_F(QueryArguments, PhonemesAndWordsCheckTheOutputBeforeTheIndex) {
    int32_t id;
    double s;
    EXPECT_EQ(VoxtrailGetPhonemeId(a, -1, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetPhonemeId(a, phonemes, &id), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetPhonemeStartTime(a, -1, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetPhonemeStartTime(a, -1, &s), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetPhonemeEndTime(a, phonemes, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetPhonemeEndTime(a, phonemes, &s), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetWordStartTime(a, words, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetWordStartTime(a, words, &s), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetWordEndTime(a, -1, &s), VOXTRAIL_INVALID_INDEX_ERR);
    id = -1;
    EXPECT_EQ(VoxtrailGetPhonemeId(a, phonemes - 1, &id), 0u);
    EXPECT_GE(id, 0);
}

TEST_F(QueryArguments, WordTextChecksBufferThenIndexThenSize) {
    char text[8];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(VoxtrailGetWordText(a, -1, 0, nullptr), VOXTRAIL_NULL_PARAMETER_ERR);
    EXPECT_EQ(VoxtrailGetWordText(a, words, 0, text), VOXTRAIL_INVALID_INDEX_ERR);
    EXPECT_EQ(VoxtrailGetWordText(a, 0, 0, text), VOXTRAIL_INVALID_PARAMETER_ERR);
    EXPECT_EQ(text[0], 'x');
    EXPECT_EQ(VoxtrailGetWordText(a, 0, 4, text), 0u);
    EXPECT_STREQ(text, "HEL");
    EXPECT_EQ(text[4], 'x');
    EXPECT_EQ(VoxtrailGetWordText(a, 1, sizeof text, text), 0u);
    EXPECT_STREQ(text, "WORLD");
}
