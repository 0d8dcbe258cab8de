// The shipped networks and lexicon recognize the spoken evaluation sounds: the transcript's
// words come out in order at plausible times, and the free phoneme loop finds speech. Sound
// without speech gives one silence segment: the mouth stays closed instead of chattering.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_paths.h"
#include "digital_audio.h"
#include "phonemes.h"
#include "recognizer.h"
#include "transcript_words.h"
#include "words.h"

using namespace Vantrix;

namespace {

constexpr int32_t kFrameMs = 16;

struct TSample {
    const char* name;
    uint32_t analysedRate; // after the rate normaliser
};

const TSample kSamples[] = {
    {"hello_world", 16000},  // 16 kHz
    {"quick_fox", 16000},    // 22.05 kHz, brought down
    {"phone_message", 8000}, // 8 kHz: the telephone networks
};

// Names the case in CTest's test names instead of its bytes, which hold a pointer.
void PrintTo(const TSample& s, std::ostream* os) {
    *os << s.name;
}

std::string Transcript(const TSample& s) {
    std::ifstream in(std::string(VX_EVALUATION_SOUNDS) + "/" + s.name + ".txt");
    return {std::istreambuf_iterator<char>(in), {}};
}

// The evaluation sound at its analysed rate and a recognizer of the shipped data.
class ShippedDecode : public ::testing::TestWithParam<TSample> {
protected:
    void SetUp() override {
        paths.SetDataFolder(VX_SHIPPED_DATA);
        ASSERT_TRUE(paths.DataPresent());
        ASSERT_TRUE(sound.normaliseSampleRate());
        ASSERT_EQ(sound.getSampleRate(), GetParam().analysedRate);
        lengthMs = int32_t(sound.getDurationMs());
    }

    TDigitalAudio sound{
        (std::string(VX_EVALUATION_SOUNDS) + "/" + GetParam().name + ".wav").c_str()};
    int32_t lengthMs = 0;
    TDataPaths paths;
    TPhonemeRecognizer recognizer{paths};
    TPhonemeList phonemes;
    TWordList words;
};

TEST_P(ShippedDecode, TranscriptWordsComeOutInOrderOnTheFrameGrid) {
    const std::string transcript = Transcript(GetParam());
    // The cleaning itself is checked by the transcript tests.
    const std::vector<std::string> expected = TranscriptWords(transcript).Sequence();
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(recognizePhonemes(recognizer, sound, transcript, phonemes, words), 0);
    ASSERT_EQ(words.Count(), int32_t(expected.size()));
    int32_t previousEnd = 0;
    for (int32_t i = 0; i < words.Count(); ++i) {
        const TWord& w = words[i];
        SCOPED_TRACE(w.Text());
        EXPECT_EQ(w.Text(), expected[size_t(i)]);
        EXPECT_LT(w.StartMs(), w.EndMs());
        EXPECT_GE(w.StartMs(), previousEnd);
        EXPECT_EQ(w.StartMs() % kFrameMs, 0);
        EXPECT_TRUE(w.EndMs() % kFrameMs == 0 || w.EndMs() == lengthMs);
        EXPECT_LE(w.EndMs(), lengthMs);
        previousEnd = w.EndMs();
    }
    // The synthetic sounds are speech from start to end but for short pauses at either end.
    const int32_t spanMs = words[words.Count() - 1].EndMs() - words[0].StartMs();
    EXPECT_GT(spanMs, lengthMs * 6 / 10);
}

TEST_P(ShippedDecode, AnotherSoundsTranscriptOrSilenceDoesNotFit) {
    size_t index = 0;
    while (std::string(kSamples[index].name) != GetParam().name)
        ++index;
    const TSample& other = kSamples[(index + 1) % 3];
    auto misfit = [&](const TDigitalAudio& audio, const std::string& transcript) {
        TPhonemeList phonemes;
        TWordList words;
        double value = -1.0;
        EXPECT_EQ(
            recognizePhonemes(recognizer, audio, transcript, phonemes, words, nullptr, &value), 0);
        return value;
    };
    EXPECT_LT(misfit(sound, Transcript(GetParam())), kTranscriptMisfitWarning);
    EXPECT_GE(misfit(sound, Transcript(other)), kTranscriptMisfitWarning) << other.name;
    const std::vector<double> silence(GetParam().analysedRate * 2, 0.0);
    const TDigitalAudio silent(GetParam().analysedRate, uint32_t(silence.size()), silence.data());
    EXPECT_GE(misfit(silent, Transcript(GetParam())), kTranscriptMisfitWarning);
    EXPECT_TRUE(std::isnan(misfit(sound, "")));
}

TEST_P(ShippedDecode, FreeLoopFindsSpeechAndCoversTheSound) {
    ASSERT_EQ(recognizePhonemes(recognizer, sound, "", phonemes, words), 0);
    EXPECT_EQ(words.Count(), 0);
    ASSERT_GT(phonemes.Count(), 0);
    EXPECT_EQ(phonemes[0].StartMs(), 0);
    EXPECT_GT(phonemes.EndTime(), lengthMs - kFrameMs);
    int32_t spoken = 0;
    for (int32_t i = 0; i < phonemes.Count(); ++i) {
        if (i > 0) {
            EXPECT_EQ(phonemes[i].StartMs(), phonemes[i - 1].EndMs());
        }
        spoken += phonemes[i].Id() != kSilenceId;
    }
    // Loose: a network that has lost speech (all silence, one phoneme held) finds far fewer.
    EXPECT_GE(spoken, lengthMs / 250) << "non-silence phonemes in " << lengthMs << " ms";
}

const auto kName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(EvaluationSounds, ShippedDecode, ::testing::ValuesIn(kSamples), kName);

// Digital silence and quiet room noise.
struct TQuiet {
    const char* name;
    uint32_t rate;
    double rms; // in 16-bit sample units; 0 is digital silence
};

const TQuiet kQuiet[] = {
    {"digital_silence_16k", 16000, 0.0},
    {"digital_silence_8k", 8000, 0.0},
    {"room_noise_16k", 16000, 60.0}, // about -55 dBFS
    {"room_noise_8k", 8000, 60.0},
};

// Reddish noise (white through a leaky integrator), like a quiet room's hum and air.
std::vector<double> Noise(uint32_t count, double rms) {
    std::vector<double> x(count, 0.0);
    if (rms == 0.0) return x;
    uint32_t state = 12345;
    double lowpassed = 0.0, power = 0.0;
    for (double& v : x) {
        state = state * 1664525u + 1013904223u;
        const double white = double(state >> 8) / double(1u << 24) - 0.5;
        lowpassed = 0.95 * lowpassed + white;
        v = lowpassed + 0.5 * white;
        power += v * v;
    }
    const double scale = rms / std::sqrt(power / count);
    for (double& v : x)
        v = std::round(v * scale);
    return x;
}

void PrintTo(const TQuiet& q, std::ostream* os) {
    *os << q.name;
}

class ShippedQuiet : public ::testing::TestWithParam<TQuiet> {};

TEST_P(ShippedQuiet, TwoSecondsGiveOneSilence) {
    TDataPaths paths;
    paths.SetDataFolder(VX_SHIPPED_DATA);
    ASSERT_TRUE(paths.DataPresent());
    const std::vector<double> samples = Noise(2 * GetParam().rate, GetParam().rms);
    TDigitalAudio sound(GetParam().rate, uint32_t(samples.size()), samples.data());
    ASSERT_TRUE(sound.normaliseSampleRate());

    TPhonemeRecognizer recognizer(paths);
    TPhonemeList phonemes;
    TWordList words;
    ASSERT_EQ(recognizePhonemes(recognizer, sound, "", phonemes, words), 0);
    std::string found;
    for (int32_t i = 0; i < phonemes.Count(); ++i)
        found += std::to_string(phonemes[i].Id()) + " ";
    ASSERT_EQ(phonemes.Count(), 1) << "phoneme ids: " << found;
    EXPECT_EQ(phonemes[0].Id(), kSilenceId);
}

INSTANTIATE_TEST_SUITE_P(NoSpeech, ShippedQuiet, ::testing::ValuesIn(kQuiet), kName);

} // namespace
