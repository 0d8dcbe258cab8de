// The recognition entry: short sounds, refusals, caught errors and whole runs on test data.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../core/test_folders.h"
#include "../core/trace_capture.h"
#include "data_paths.h"
#include "digital_audio.h"
#include "recognizer.h"

using namespace Vantrix;
namespace fs = std::filesystem;

namespace {

// The test data and the engine's paths to it.
struct TestData : DataFolder {
    explicit TestData(const char* forward16k = "Wt16M9fs.dat") : DataFolder(forward16k) {
        paths.SetDataFolder(path.string());
    }
    TDataPaths paths;
};

// A voiced, noisy sound with pauses, so the front end sees speech-like frames.
TDigitalAudio MakeSound(uint32_t rate, double seconds) {
    std::vector<double> samples(size_t(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i) / rate;
        const double voice = std::fmod(t, 0.5) < 0.3 ? 6000.0 * std::sin(2 * M_PI * 140 * t) : 0.0;
        samples[i] = voice + 800.0 * std::sin(double(i) * 12.9898);
    }
    return TDigitalAudio(rate, uint32_t(samples.size()), samples.data());
}

class RecognizerEntry : public testing::Test {
protected:
    TPhonemeList phonemes;
    TWordList words;
};

} // namespace

TEST_F(RecognizerEntry, ShortSoundIsOneSilenceWithoutRecognition) {
    TDataPaths nowhere; // no data files: recognition must not even be tried
    nowhere.SetDataFolder("/nonexistent");
    TPhonemeRecognizer recognizer(nowhere);
    std::vector<double> samples(640, 100.0); // 40 ms
    EXPECT_EQ(recognizePhonemes(recognizer, TDigitalAudio(16000, 640, samples.data()), "hello",
                                phonemes, words),
              0);
    ASSERT_EQ(phonemes.Count(), 1);
    EXPECT_EQ(phonemes[0].Id(), 40);
    EXPECT_EQ(phonemes[0].EndMs(), 48);
    EXPECT_TRUE(words.IsEmpty());
}

TEST_F(RecognizerEntry, OtherRatesAndMissingDataFilesGiveOne) {
    TestData data;
    TPhonemeRecognizer recognizer(data.paths);
    EXPECT_EQ(recognizePhonemes(recognizer, MakeSound(22050, 0.5), "", phonemes, words), 1);
    fs::remove(data.path / TDataPaths::kBackward8k); // even one of another rate
    EXPECT_EQ(recognizePhonemes(recognizer, MakeSound(16000, 0.5), "", phonemes, words), 1);
    EXPECT_TRUE(phonemes.IsEmpty());
}

TEST_F(RecognizerEntry, CaughtErrorsAreTracedAndGiveTheirKind) {
    TestData data("classes40.dat"); // a forward network with one class too few
    TPhonemeRecognizer recognizer(data.paths);
    TraceCapture trace;
    EXPECT_EQ(recognizePhonemes(recognizer, MakeSound(16000, 0.5), "", phonemes, words),
              eetCatastrophicFailure);
    // The classifier may first announce its matrix routine.
    const std::string expected =
        "ERROR in Core analysis: \n"
        "Error #000005: strange things are kept in weight files! (size mismatch)\n"
        "eetCatastrophicFailure: Something awful happened.\n";
    ASSERT_GE(trace.Text().size(), expected.size());
    EXPECT_EQ(trace.Text().substr(trace.Text().size() - expected.size()), expected);
}

TEST_F(RecognizerEntry, TranscriptRunGivesTheWordsInOrder) {
    TestData data;
    TPhonemeRecognizer recognizer(data.paths);
    const TDigitalAudio sound = MakeSound(16000, 1.5);
    // ZORBLAX is not in the dictionary: letter-to-sound pronounces it.
    ASSERT_EQ(recognizePhonemes(recognizer, sound, "Hello, world! Zorblax.", phonemes, words), 0);
    ASSERT_FALSE(phonemes.IsEmpty());
    EXPECT_EQ(phonemes.Last().EndMs(), sound.getDurationMsRoundedUp() / 16 * 16);
    // The segments' grid and order: the decoder's alignment and the shipped decode tests.
    std::string texts;
    for (const TWord& word : words)
        texts += word.Text() + " ";
    EXPECT_EQ(texts, "HELLO WORLD ZORBLAX ");
}

TEST_F(RecognizerEntry, TrimmingCutsBothListsAtTheSoundsLength) {
    phonemes.AppendSegment(TPhoneme("sil", 0, 96));
    phonemes.AppendSegment(TPhoneme("s", 96, 160));
    phonemes.AppendSegment(TPhoneme("sil", 160, 192));
    words.Append(TWord("S", 96, 160));
    words.Append(TWord("LATE", 160, 192));
    trimToLength(144, phonemes, words);
    ASSERT_EQ(phonemes.Count(), 2);
    EXPECT_EQ(phonemes.Last().EndMs(), 144);
    ASSERT_EQ(words.Count(), 1);
    EXPECT_EQ(words[0].EndMs(), 144);
}
