// Sound without speech gives one silence segment with the shipped networks: the mouth stays
// closed and still instead of chattering through invented phonemes.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_paths.h"
#include "digital_audio.h"
#include "phonemes.h"
#include "recognizer.h"
#include "words.h"

using namespace Vantrix;

namespace {

struct TQuiet {
    const char* name;
    uint32_t rate;
    double rms; // in 16-bit sample units; 0 is digital silence
};

const TQuiet kCases[] = {
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
    for (double& v : x) v = std::round(v * scale);
    return x;
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

INSTANTIATE_TEST_SUITE_P(NoSpeech, ShippedQuiet, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TQuiet>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
