#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "../core/thrown.h"
#include "digital_audio.h"
#include "errors.h"
#include "feature_file.h"
#include "frontend.h"

using namespace Vantrix;

namespace {

std::vector<double> Tone(uint32_t rate, double hz, uint32_t count, double amplitude = 8000.0) {
    std::vector<double> x(count);
    for (uint32_t i = 0; i < count; ++i)
        x[i] = std::round(amplitude * std::sin(2.0 * M_PI * hz * i / rate));
    return x;
}

std::vector<double> Noise(uint32_t count, double sigma, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> dist(0.0, sigma);
    std::vector<double> x(count);
    for (double& v : x)
        v = std::round(dist(rng));
    return x;
}

FramePropertiesVector Features(const std::vector<double>& x, uint32_t rate) {
    FramePropertiesVector frames;
    EXPECT_EQ(computeFrameProperties(x.data(), uint32_t(x.size()), rate, frames), 0);
    return frames;
}

} // namespace

// ---- Parameters ----

TEST(FrontEndParameters, BreachesAreCatastrophic) {
    const uint32_t breaches[][3] = {
        {255, 512, 8000}, {256, 500, 8000}, {256, 128, 8000}, {256, 512, 8001}};
    for (const auto& b : breaches)
        EXPECT_EQ(ThrownKind([&] { makeFrontEndParameters(16000, b[0], b[1], b[2]); }),
                  eetCatastrophicFailure)
            << b[0] << " " << b[1] << " " << b[2];
    EXPECT_EQ(ThrownKind([] { frontEndParameters(11025); }), eetCatastrophicFailure);
    EXPECT_EQ(ThrownKind([] { Features(std::vector<double>(4000, 0.0), 22050); }),
              eetCatastrophicFailure);
}

// ---- Framing ----

TEST(FrontEndFraming, SixtyTwoAndAHalfFramesPerSecondAsTheFramerCounts) {
    EXPECT_EQ(Features(std::vector<double>(16000, 0.0), 16000).Count(), 62);
    const FramePropertiesVector frames = Features(Noise(80000, 500.0, 2), 8000);
    EXPECT_EQ(frames.Low(), 1);
    EXPECT_EQ(frames.High(), 625);
    for (uint32_t rate : {16000u, 8000u}) {
        const TFrontEndParameters p = frontEndParameters(rate);
        std::vector<double> x(1500, 100.0);
        std::vector<float> frame(p.windowSize);
        for (uint32_t count = 0; count <= 1500; ++count) {
            TFramer framer(p, x.data(), count);
            int64_t counted = 0;
            while (framer.Next(frame.data()))
                ++counted;
            ASSERT_EQ(TFramer::FrameCount(p, count), counted) << rate << " Hz, " << count;
        }
    }
    // A frame needs the samples up to the middle of its new part: 128 + 128 at 16 kHz.
    EXPECT_EQ(TFramer::FrameCount(frontEndParameters(16000), 255), 0);
    EXPECT_EQ(TFramer::FrameCount(frontEndParameters(16000), 256), 1);
}

// ---- Per-frame analysis ----

// Lags and kernel lengths of the frames of x, past the onset and the filter's settling.
std::vector<std::pair<int32_t, int32_t>> PitchTrack(const std::vector<double>& x) {
    const TFrontEndParameters p = frontEndParameters(16000);
    TFramer framer(p, x.data(), uint32_t(x.size()));
    TFrameAnalyser analyser(p);
    std::vector<float> frame(p.windowSize);
    float features[kFeatureCount];
    std::vector<std::pair<int32_t, int32_t>> track;
    for (int frames = 0; framer.Next(frame.data()); ++frames) {
        analyser.Analyse(frame.data(), features);
        if (frames >= 4) track.emplace_back(analyser.LastPitchLag(), analyser.LastKernelLength());
    }
    return track;
}

TEST(FrontEndAnalysis, HundredHertzToneFindsLag160AndFiveTaps) {
    // A sawtooth: harmonics keep the autocorrelation peak sharp at the period.
    std::vector<double> saw(16000);
    for (size_t i = 0; i < saw.size(); ++i)
        saw[i] = std::round(8000.0 * ((i % 160) / 160.0 - 0.5));
    const auto track = PitchTrack(saw);
    ASSERT_GT(track.size(), 50u);
    for (const auto& [lag, taps] : track) {
        ASSERT_EQ(lag, 160);
        ASSERT_EQ(taps, 5);
    }
    // A pure sine's peak is pulled a few lags short by the Hann window; the kernel is the same.
    for (const auto& [lag, taps] : PitchTrack(Tone(16000, 100.0, 16000))) {
        ASSERT_GE(lag, 150);
        ASSERT_LE(lag, 160);
        ASSERT_EQ(taps, 5);
    }
}

TEST(FrontEndAnalysis, LouderSoundOnlyRaisesTheEnergy) {
    // Scaling cancels in the predictor, so only feature 0 follows the level.
    const std::vector<double> quiet = Noise(8000, 200.0, 4);
    std::vector<double> loud(quiet);
    for (double& v : loud)
        v *= 8.0;
    const FramePropertiesVector a = Features(quiet, 16000), b = Features(loud, 16000);
    for (int32_t i = 3; i < a.High(); ++i) {
        EXPECT_NEAR(b.At(i).features[0] - a.At(i).features[0], 2.0 * std::log(8.0), 0.05);
        for (int d = 1; d < kFeatureCount; ++d)
            ASSERT_NEAR(b.At(i).features[d], a.At(i).features[d], 2e-3) << i << "," << d;
    }
}

// ---- Normalisation ----

TEST(FrontEndNormalisation, EmptySilentAndConstantInputsAndBadCounts) {
    FramePropertiesVector frames;
    EXPECT_EQ(normaliseFrameProperties(frames), eetRangeFailure);
    // Too short for a frame: no records at all.
    EXPECT_TRUE(Features(std::vector<double>(200, 1000.0), 16000).IsEmpty());
    // Digital silence has no active frame to measure and is left as it is.
    frames = Features(std::vector<double>(8000, 0.0), 16000);
    ASSERT_FALSE(frames.IsEmpty());
    EXPECT_EQ(normaliseFrameProperties(frames, 0), eetArgumentFailure);
    EXPECT_EQ(normaliseFrameProperties(frames, 14), eetArgumentFailure);
    EXPECT_EQ(normaliseFrameProperties(frames), 0);
    for (int32_t i = frames.Low(); i <= frames.High(); ++i) {
        ASSERT_EQ(frames.At(i).features[0], float(std::log(0.5)));
        for (int d = 1; d < kFeatureCount; ++d)
            ASSERT_EQ(frames.At(i).features[d], 0.0f);
    }
    // Constant features are only centred, never divided by their zero spread.
    for (int32_t i = frames.Low(); i <= frames.High(); ++i)
        frames.At(i).features[0] = 2.0f;
    ASSERT_EQ(normaliseFrameProperties(frames), 0);
    for (int32_t i = frames.Low(); i <= frames.High(); ++i)
        for (float feature : frames.At(i).features)
            ASSERT_EQ(feature, 0.0f);
}

TEST(FrontEndNormalisation, ActiveFramesGetZeroMeanAndUnitVariance) {
    // Sound between stretches of digital silence: the silent frames must not count.
    std::vector<double> x(4000, 0.0);
    const std::vector<double> voiced = Tone(16000, 180.0, 12000, 3000.0);
    const std::vector<double> noise = Noise(12000, 400.0, 5);
    for (size_t i = 0; i < voiced.size(); ++i)
        x.push_back(voiced[i] + noise[i]);
    x.resize(x.size() + 4000, 0.0);
    FramePropertiesVector frames = Features(x, 16000);
    const float silence = float(std::log(0.5));
    std::vector<bool> active;
    for (int32_t i = frames.Low(); i <= frames.High(); ++i)
        active.push_back(frames.At(i).features[0] > silence);
    const int count = int(std::count(active.begin(), active.end(), true));
    ASSERT_GT(count, 30);
    ASSERT_LT(count, int(active.size()) - 20);

    ASSERT_EQ(normaliseFrameProperties(frames), 0);
    for (int d = 0; d < kFeatureCount; ++d) {
        double sum = 0, squares = 0;
        for (int32_t i = frames.Low(); i <= frames.High(); ++i) {
            if (!active[size_t(i - frames.Low())]) continue;
            sum += frames.At(i).features[d];
            squares += double(frames.At(i).features[d]) * frames.At(i).features[d];
        }
        EXPECT_NEAR(sum / count, 0.0, 1e-5) << d;
        EXPECT_NEAR(squares / count, 1.0, 1e-4) << d;
    }
    for (int32_t i = frames.Low(); i <= frames.High(); ++i)
        ASSERT_EQ(frames.At(i).flags, i == frames.High() ? kFrameFlagLast : kFrameFlagNone);
}

// ---- Golden files ----

// The committed feature files were written by vx-features from the committed sounds. Normalised
// features have unit variance, so 1e-3 is far below any change of the algorithm (a wrong lag,
// bin or coefficient moves features by 1e-1 or more) yet leaves room for a different libm or
// FFT rounding in the last float bits.
class FrontEndGolden : public testing::TestWithParam<const char*> {};

TEST_P(FrontEndGolden, MatchesCommittedFeatures) {
    const std::string name = GetParam();
    VxFeatures::TFeatureFile golden;
    ASSERT_TRUE(VxFeatures::ReadFeatureFile(
        std::string(VX_TEST_DATA) + "/recognizer/golden/" + name + ".vxfeat", golden));
    TDigitalAudio sound(
        (std::string(VX_TEST_DATA) + "/recognizer/sounds/" + name + ".wav").c_str());
    ASSERT_EQ(sound.getSampleRate(), golden.sampleRate);
    FramePropertiesVector frames;
    ASSERT_EQ(computeFrameProperties(sound, frames), 0);
    ASSERT_EQ(normaliseFrameProperties(frames), 0);
    ASSERT_EQ(frames.Count(), int64_t(golden.frames.size()));
    for (size_t i = 0; i < golden.frames.size(); ++i) {
        const FrameProperties& f = frames.At(frames.Low() + int32_t(i));
        ASSERT_EQ(f.flags, golden.frames[i].flags) << i;
        for (int d = 0; d < kFeatureCount; ++d)
            ASSERT_NEAR(f.features[d], golden.frames[i].features[d], 1e-3)
                << "frame " << i << " feature " << d;
    }
}

INSTANTIATE_TEST_SUITE_P(Sounds, FrontEndGolden, testing::Values("chirp16k", "chirp8k"));
