#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio_test_support.h"
#include "digital_audio.h"
#include "kaiser_resampler.h"

using namespace Vantrix;

namespace {

// Rising zero crossings per second and RMS over the middle half, away from the edges.
struct TMeasure {
    double frequency = 0, rms = 0;
};
TMeasure Measure(const std::vector<double>& s, double rate) {
    size_t from = s.size() / 4, to = 3 * s.size() / 4;
    int crossings = 0;
    size_t first = 0, last = 0;
    double energy = 0;
    for (size_t i = from; i < to; ++i) {
        energy += s[i] * s[i];
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (!crossings) first = i;
            last = i;
            ++crossings;
        }
    }
    TMeasure m;
    m.frequency = crossings > 1 ? (crossings - 1) * rate / double(last - first) : 0;
    m.rms = std::sqrt(energy / double(to - from));
    return m;
}

TEST(ResampleRatio, ReducedFactors) {
    const uint32_t cases[][4] = {{44100, 16000, 160, 441},
                                 {48000, 16000, 1, 3},
                                 {11025, 8000, 320, 441},
                                 {44101, 16000, 16000, 44101}};
    for (const auto& c : cases) {
        const TResampleRatio r = reduceRateRatio(c[0], c[1]);
        EXPECT_EQ(std::make_pair(r.up, r.down), std::make_pair(c[2], c[3])) << c[0];
    }
}

TEST(ResampleFilter, HalfLengthAndBessel) {
    EXPECT_EQ(kaiserHalfLength(60, 0.125, 3), 87u);
    EXPECT_EQ(kaiserHalfLength(60, 0.125, 1), 0u);
    EXPECT_EQ(kaiserHalfLength(7.95, 0.125, 3), 0u);
    EXPECT_EQ(kaiserHalfLength(8, 2, 2), 1u);
    EXPECT_DOUBLE_EQ(besselI0(0), 1.0);
    EXPECT_NEAR(besselI0(1), 1.2660658, 1e-6);
    EXPECT_NEAR(besselI0(5), 27.239872, 1e-4);
    EXPECT_NEAR(besselI0(-5), besselI0(5), 1e-12);
}

TEST(Resample, ArgumentFailures) {
    std::vector<double> x(100, 1.0), out;
    struct {
        const double* x;
        uint32_t n, in, out;
        double width, db;
    } cases[] = {
        {nullptr, 100, 48000, 16000, 0.125, 60},    {x.data(), 0, 48000, 16000, 0.125, 60},
        {x.data(), 100, 0, 16000, 0.125, 60},       {x.data(), 100, 48000, 0, 0.125, 60},
        {x.data(), 100, 16000, 16000, 0.125, 60},   {x.data(), 100, 8000, 16000, 0.125, 60},
        {x.data(), 100, 48000, 16000, 0, 60},       {x.data(), 100, 48000, 16000, 2.01, 60},
        {x.data(), 100, 48000, 16000, 0.125, 8.71},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kaiserResample(c.x, c.n, c.in, c.out, c.width, c.db, out), eetArgumentFailure);
        EXPECT_TRUE(out.empty());
    }
    out.push_back(1);
    EXPECT_EQ(kaiserResample(x.data(), 100, 48000, 16000, 0.125, 60, out), eetArgumentFailure);
    EXPECT_EQ(out.size(), 1u);
}

TEST(Resample, SineKeepsFrequencyAndAmplitude) {
    struct {
        uint32_t in, out;
        double freq;
    } cases[] = {{44100, 16000, 1000}, {11025, 8000, 440}, {48000, 16000, 3000}};
    for (const auto& c : cases) {
        TDigitalAudio audio(c.in, c.in, Sine(c.in, c.in, c.freq, 10000).data());
        ASSERT_TRUE(audio.normaliseSampleRate());
        ASSERT_EQ(audio.getSampleRate(), c.out);
        std::vector<double> y(audio.getSamples(), audio.getSamples() + audio.getSampleCount());
        TMeasure m = Measure(y, c.out);
        EXPECT_NEAR(m.frequency, c.freq, c.freq * 0.002) << c.in;
        EXPECT_NEAR(m.rms, 10000 / std::sqrt(2.0), 10000 * 0.01) << c.in;
    }
}

TEST(Resample, ConstantStaysAndToneAboveTheNewNyquistGoes) {
    std::vector<double> x(2000, 1000.0), out;
    ASSERT_EQ(kaiserResample(x.data(), 2000, 48000, 16000, 0.125, 60, out), eetSuccess);
    for (double v : out)
        ASSERT_NEAR(v, 1000.0, 2.0);
    x = Sine(44100, 44100, 10000, 10000);
    out.clear();
    ASSERT_EQ(kaiserResample(x.data(), 44100, 44100, 16000, 0.125, 60, out), eetSuccess);
    EXPECT_LT(20 * std::log10(Measure(out, 16000).rms / (10000 / std::sqrt(2.0))), -50.0);
}

} // namespace
