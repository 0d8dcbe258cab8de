#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "../core/thrown.h"
#include "digital_audio.h"
#include "emphasis.h"
#include "gestures_support.h"

namespace Vantrix {
namespace {

using namespace testing_support;

TEST(QuickSelect, SplitsRandomDataAroundTheKthPlace) {
    std::mt19937 gen(1234);
    for (int trial = 0; trial < 400; ++trial) {
        const int32_t n = 1 + int32_t(gen() % 200);
        std::vector<double> data(static_cast<size_t>(n));
        // Few distinct values in some trials, to exercise runs of equal keys.
        const bool coarse = trial % 3 == 0;
        for (double& x : data)
            x = coarse ? double(gen() % 5) : std::ldexp(double(gen()), -20);
        const int32_t k = int32_t(gen() % uint32_t(n));

        // A permutation split around its k-th place holds the k-th smallest there.
        std::vector<double> mine = data;
        const double value = QuickSelect(mine.data(), n, k);
        ASSERT_EQ(mine[size_t(k)], value);
        for (int32_t i = 0; i < k; ++i)
            ASSERT_LE(mine[size_t(i)], value);
        for (int32_t i = k + 1; i < n; ++i)
            ASSERT_GE(mine[size_t(i)], value);
        std::sort(mine.begin(), mine.end());
        std::sort(data.begin(), data.end());
        ASSERT_EQ(mine, data) << "not a permutation";
    }
}

TEST(EmphasisMeasure, EnergyAndPeakOfTheExtrema) {
    // Alternating extrema with amplitudes 1..8, each followed by three quiet samples.
    std::vector<double> eight = {0, 0, 0};
    for (double a = 1; a <= 8; ++a)
        eight.insert(eight.end(), {int(a) % 2 ? a : -a, 0, 0, 0});
    const double kAny = -1.0; // energy not checked
    const struct {
        std::vector<double> x;
        double energy, peak;
        size_t extrema;
    } cases[] = {
        // The mean 5 is removed; a peak at 3 and a trough at 7 weigh 10^2 by 3 and by 4; the
        // top quarter of {10, 10} is the larger one.
        {{5, 5, 5, 15, 5, 5, 5, -5, 5, 5, 5}, 700.0, 10.0, 2},
        // c = 8, q = 6: the peak is the mean of 7 and 8 (the mean -4/35 cancels).
        {eight, kAny, 7.5, 8},
        // Too short, and flat.
        {{0, 9, -9, 9, -9, 0}, 0.0, 0.0, 0},
        {std::vector<double>(100, 7.0), 0.0, 0.0, 0},
    };
    for (const auto& c : cases) {
        std::vector<double> x = c.x;
        std::vector<double> scratch;
        double energy = -1.0;
        double peak = -1.0;
        TEmphasis::MeasureSamples(x.data(), int32_t(x.size()), scratch, energy, peak);
        EXPECT_EQ(scratch.size(), c.extrema) << c.x.size();
        if (c.energy != kAny) {
            EXPECT_DOUBLE_EQ(energy, c.energy) << c.x.size();
        }
        EXPECT_NEAR(peak, c.peak, 1e-12) << c.x.size();
    }
}

// A 16 kHz sound: a loud tone from 100 to 200 ms, a soft one from 300 to 400 ms, silence else.
TDigitalAudio TwoTones() {
    std::vector<double> samples(16000 * 5 / 10, 0.0);
    for (size_t i = 1600; i < 3200; ++i)
        samples[i] = 8000.0 * std::sin(double(i) * 0.3);
    for (size_t i = 4800; i < 6400; ++i)
        samples[i] = 500.0 * std::sin(double(i) * 0.3);
    return TDigitalAudio(16000, uint32_t(samples.size()), samples.data());
}

TEST(EmphasisMeasure, ReadsTheVowelsThroughTheSound) {
    TPhonemeList list =
        MakeList({{kS, 100}, {kAa, 100}, {kS, 100}, {kAa, 100}, {kSil, 100}, {kAa, 100}});
    TEmphasis emphasis;
    ASSERT_EQ(emphasis.Measure(TwoTones(), list), 0);
    EXPECT_EQ(list[0].EmphasisA(), 0.0);
    EXPECT_GT(list[1].EmphasisA(), 100.0 * list[3].EmphasisA());
    EXPECT_NEAR(list[1].EmphasisB(), 8000.0, 80.0);
    EXPECT_NEAR(list[3].EmphasisB(), 500.0, 5.0);
    // The last vowel reaches past the sound: it is clamped to the last sample, and silent.
    EXPECT_EQ(list[5].EmphasisA(), 0.0);

    ASSERT_EQ(emphasis.Select(list, 0), 0);
    EXPECT_TRUE(list[1].GestureFlag());
    EXPECT_FALSE(list[3].GestureFlag());
    EXPECT_FALSE(list[0].GestureFlag());
}

// A vowel beyond a short sound has no figures; an empty sound refuses a vowel but not consonants.
TEST(EmphasisMeasure, ShortAndEmptySounds) {
    const double samples[3] = {100.0, -100.0, 100.0};
    TPhonemeList list = MakeList({{kAa, 16}});
    TEmphasis emphasis;
    ASSERT_EQ(emphasis.Measure(TDigitalAudio(8000, 3, samples), list), 0);
    EXPECT_EQ(std::vector<double>({list[0].EmphasisA(), list[0].EmphasisB()}),
              std::vector<double>(2, 0.0));
    const TDigitalAudio empty(16000, 0, nullptr);
    TPhonemeList vowel = MakeList({{kS, 20}, {kAa, 20}});
    EXPECT_EQ(ThrownKind([&] { emphasis.Measure(empty, vowel); }), eetArgumentFailure);
    TPhonemeList consonants = MakeList({{kS, 20}});
    EXPECT_EQ(emphasis.Measure(empty, consonants), 0);
}

// Vowels with the given energies and peaks, each between two consonants.
TPhonemeList VowelsWith(const std::vector<double>& energies, const std::vector<double>& peaks) {
    std::vector<TSeg> segs = {{kS, 50}};
    for (size_t i = 0; i < energies.size(); ++i)
        segs.insert(segs.end(), {{kAa, 50}, {kS, 50}});
    TPhonemeList list = MakeList(segs);
    for (size_t i = 0; i < energies.size(); ++i) {
        EXPECT_EQ(list.SetEmphasisA(int32_t(2 * i + 1), energies[i]), 0);
        EXPECT_EQ(list.SetEmphasisB(int32_t(2 * i + 1), peaks[i]), 0);
    }
    return list;
}

std::vector<bool> Marks(const TPhonemeList& list) {
    std::vector<bool> marks;
    for (int32_t i = 1; i < list.Count(); i += 2)
        marks.push_back(list[i].GestureFlag());
    for (int32_t i = 0; i < list.Count(); i += 2)
        EXPECT_FALSE(list[i].GestureFlag());
    return marks;
}

TEST(EmphasisSelect, ThresholdsFromTheLargestValueOrFromRanksAndShares) {
    // Zero figures give zero thresholds; without a vowel both are the largest double.
    const double kNone = std::numeric_limits<double>::max();
    const struct {
        std::vector<double> energies, peaks;
        double energyThreshold, peakThreshold;
        std::vector<bool> marks;
    } cases[] = {
        {{}, {}, kNone, kNone, {}},
        // One vowel is marked when it has any figure.
        {{3.0}, {0.0}, 2.97, 0.0, {true}},
        {{0.0}, {0.0}, 0.0, 0.0, {false}},
        // Two or three use the largest value: 0.7 * 10; peaks 0.8 * 10 = 8 pass the 9 and 10.
        {{1.0, 10.0}, {0.0, 0.0}, 7.0, 0.0, {false, true}},
        {{0.0, 0.0, 0.0}, {9.0, 2.0, 10.0}, 0.0, 8.0, {true, false, true}},
        // Energies 1..10: (9 + 8) * 0.33 / 2 = 2.805, raised to the rank-4 value 5.
        {{4, 9, 1, 6, 10, 3, 5, 8, 2, 7},
         std::vector<double>(10, 0.0),
         5.0,
         0.0,
         {false, true, false, true, true, false, false, true, false, true}},
        // Peaks 1, 1, 1, 100: (1 + 1) * 0.65 / 2 = 0.65, raised to the rank-2 value 1.
        {{0, 0, 0, 0}, {1, 100, 1, 1}, 0.0, 1.0, {false, true, false, false}},
        // Equal values: the ceiling keeps the threshold below them, so all are marked.
        {{2, 2, 2, 2, 2}, {0, 0, 0, 0, 0}, 1.98, 0.0, std::vector<bool>(5, true)},
    };
    TEmphasis emphasis;
    for (const auto& c : cases) {
        TPhonemeList list = VowelsWith(c.energies, c.peaks);
        ASSERT_EQ(emphasis.Select(list, 0), 0);
        EXPECT_DOUBLE_EQ(list.EnergyThreshold(), c.energyThreshold);
        EXPECT_DOUBLE_EQ(list.PeakThreshold(), c.peakThreshold);
        EXPECT_EQ(Marks(list), c.marks) << c.energies.size() << " vowels";
    }
}

TEST(EmphasisSelect, StartsAtFirstAndRefusesANegativeOne) {
    TEmphasis emphasis;
    TPhonemeList list = VowelsWith({10.0, 1.0}, {0.0, 0.0});
    list[1].SetGestureFlag(false);
    list[3].SetGestureFlag(true);
    ASSERT_EQ(emphasis.Select(list, 2), 0);
    // Only the second vowel counts now, and it passes 0.99 of itself.
    EXPECT_FALSE(list[1].GestureFlag());
    EXPECT_TRUE(list[3].GestureFlag());
    EXPECT_EQ(emphasis.Select(list, -1), eetDataFailure);
}

} // namespace
} // namespace Vantrix
