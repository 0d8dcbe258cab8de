#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "sound_16k.h"
#include "word_recognizer.h"

using namespace Vantrix;

namespace {

const std::string kSamples = VX_WORDS_SAMPLES;

// The sentence scripts/make_words_sample.sh speaks.
const std::vector<std::string> kKnown = {"please", "go",  "to",   "the",  "store",
                                         "and",    "buy", "some", "bread"};

// Longest common subsequence: how many of the known words came back in their order.
size_t inOrder(const std::vector<std::string>& known, const std::vector<TRecognizedWord>& got) {
    std::vector<std::vector<size_t>> t(known.size() + 1, std::vector<size_t>(got.size() + 1));
    for (size_t i = 1; i <= known.size(); ++i)
        for (size_t j = 1; j <= got.size(); ++j)
            t[i][j] = known[i - 1] == got[j - 1].text ? t[i - 1][j - 1] + 1
                                                      : std::max(t[i - 1][j], t[i][j - 1]);
    return t[known.size()][got.size()];
}

double durationOf(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return -1;
    sf_close(f);
    return double(info.frames) / info.samplerate;
}

class WordRecognizer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        recognizer = CreatePocketSphinxRecognizer("", error).release();
        ASSERT_NE(recognizer, nullptr) << error;
    }
    static void TearDownTestSuite() { delete recognizer; }
    static IWordRecognizer* recognizer;
};
IWordRecognizer* WordRecognizer::recognizer = nullptr;

// Amplitude of the frequency f (Hz) in x at rate (single-bin DFT).
double amplitudeAt(const std::vector<double>& x, double f, int rate) {
    double re = 0, im = 0;
    const double w = 2 * M_PI * f / rate;
    for (size_t i = 0; i < x.size(); ++i) {
        re += x[i] * std::cos(w * double(i));
        im += x[i] * std::sin(w * double(i));
    }
    return 2 * std::hypot(re, im) / double(x.size());
}

} // namespace

TEST_F(WordRecognizer, WordsComeBackInOrderWithTimesInsideTheSound) {
    // name | least known words in order (the 8 kHz copy goes through the model's rate doubled
    // and is heard worse, so only its times are checked)
    const struct {
        const char* name;
        size_t least;
    } cases[] = {
        {"words_sample.wav", 8}, {"words_sample_44k_stereo.wav", 8}, {"words_sample_8k.wav", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = kSamples + "/" + c.name;
        TWordRecognition result;
        std::string error;
        ASSERT_TRUE(recognizer->Recognize(path, result, error)) << error;
        EXPECT_EQ(result.recognizer, "pocketsphinx en-us");
        EXPECT_GE(inOrder(kKnown, result.words), c.least);
        const double duration = durationOf(path);
        double previousEnd = 0;
        for (const TRecognizedWord& w : result.words) {
            EXPECT_TRUE(!w.text.empty() && w.text.find_first_of("()<>[]+") == std::string::npos &&
                        std::none_of(w.text.begin(), w.text.end(), ::isupper))
                << w.text;
            EXPECT_GE(w.start, previousEnd - 1e-9) << w.text;
            EXPECT_LT(w.start, w.end) << w.text;
            EXPECT_LE(w.end, duration + 1e-9) << w.text;
            previousEnd = w.end;
        }
        if (c.least > 0) { // the first word starts after the 0.3 s of padding
            ASSERT_FALSE(result.words.empty());
            EXPECT_GE(result.words.front().start, 0.2);
        }
    }
}

TEST_F(WordRecognizer, SilenceHasNoWordsAndAnUnreadableSoundIsNamed) {
    TWordRecognition result;
    result.words.push_back({"stale", 0, 1});
    std::string error;
    ASSERT_TRUE(recognizer->Recognize(kSamples + "/silence.wav", result, error)) << error;
    EXPECT_TRUE(result.words.empty());
    EXPECT_FALSE(recognizer->Recognize(kSamples + "/no_such_sound.wav", result, error));
    EXPECT_NE(error.find("no_such_sound.wav"), std::string::npos) << error;
}

TEST(WordRecognizerModel, MissingModelNamesTheFileAndThePackage) {
    const std::string missing = kSamples + "/no_model";
    std::string error;
    EXPECT_EQ(CreatePocketSphinxRecognizer(missing, error), nullptr);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find("pocketsphinx-en-us"), std::string::npos) << error;
    // The folder the environment names is checked through the tool (WordsCli).
}

TEST(WordRecognizerRate, ToneKeepsItsAmplitudeAndGainsNoImage) {
    // A 1 kHz tone brought to 16 kHz keeps its amplitude; below 16 kHz the rate is doubled by
    // zero stuffing, whose image at rate - 1 kHz (folded into the 16 kHz band) must be gone.
    for (int rate : {8000, 11025, 22050, 44100}) {
        SCOPED_TRACE(rate);
        std::vector<double> tone(static_cast<size_t>(rate)); // one second
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = 0.5 * std::sin(2 * M_PI * 1000.0 * double(i) / rate);
        const std::vector<double> out = to16k(tone, rate);
        ASSERT_NEAR(double(out.size()), 16000.0, 2.0);
        const std::vector<double> middle(out.begin() + 2000, out.end() - 2000);
        EXPECT_NEAR(amplitudeAt(middle, 1000, 16000), 0.5, 0.01);
        if (rate < 16000) {
            const double image = rate - 1000.0;
            EXPECT_LT(amplitudeAt(middle, image <= 8000 ? image : 16000 - image, 16000), 0.005);
        }
    }
}
