#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "random.h"

namespace Vantrix {
namespace {

constexpr int64_t kIm = 2147483647;
constexpr int32_t kMask = 123459876;

TEST(Ran0, MinimalStandardCheckValue) {
    // Park and Miller's check: from 1, the 10000th state is 1043618065. The mask hides the
    // chain, so the seed carries it in.
    TRandomGenerator random(1 ^ kMask);
    for (int i = 0; i < 10000; ++i)
        random.Next();
    EXPECT_EQ(random.State() ^ kMask, 1043618065);
}

TEST(Ran0, NeverSticksAtZero) {
    // A chain value of 2^31 - 1 maps to 0; the state then equals the mask and must recover.
    TRandomGenerator random(int32_t(kIm ^ kMask));
    EXPECT_EQ(random.Next(), 0.0);
    EXPECT_EQ(random.State(), kMask);
    EXPECT_GT(random.Next(), 0.0);
    double sum = 0.0;
    for (int i = 0; i < 100; ++i)
        sum += random.Next();
    EXPECT_GT(sum, 10.0);

    // That deviate of 0 must not make an event of probability 0 happen, yet it is drawn.
    random.Seed(int32_t(kIm ^ kMask));
    EXPECT_FALSE(random.Chance(0.0));
    EXPECT_EQ(random.State(), kMask);
}

TEST(Ran0, SeedRestartsTheSequence) {
    TRandomGenerator a(77);
    const double first[] = {a.Next(), a.Next(), a.Next()};
    a.Seed(77);
    for (double x : first)
        EXPECT_EQ(a.Next(), x);
    EXPECT_NE(TRandomGenerator(78).Next(), first[0]);
}

// Chance, uniform, integer jitter and weighted choice keep their bounds and shares.
TEST(RandomDraws, FollowTheirBoundsAndShares) {
    TRandomGenerator random(5);
    const int n = 70000;
    const double weights[4] = {0.0, 1.0, 0.0, 3.0};
    int hits = 0, jitters[7] = {}, choices[4] = {};
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        hits += random.Chance(0.3);
        const double u = random.Uniform(-2.0, 6.0);
        ASSERT_TRUE(u >= -2.0 && u <= 6.0) << u;
        sum += u;
        const int32_t x = random.Jitter(10, 3);
        ASSERT_TRUE(x >= 7 && x <= 13) << x;
        ++jitters[x - 7];
        ++choices[random.Choose(weights, 4)];
    }
    EXPECT_NEAR(hits / double(n), 0.3, 0.015);
    EXPECT_NEAR(sum / n, 2.0, 0.05);
    for (int c : jitters)
        EXPECT_TRUE(c > 9400 && c < 10600) << c;
    EXPECT_EQ(choices[0] + choices[2], 0);
    EXPECT_NEAR(choices[1] / double(n), 0.25, 0.015);

    const double none[3] = {0.0, 0.0, 0.0};
    EXPECT_EQ(random.Choose(none, 3), 2);
    EXPECT_EQ(random.Uniform(1.5, 1.5), 1.5);
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(random.Chance(0.0));
        EXPECT_EQ(random.Jitter(-45, 0), -45);
        // Extreme spreads neither overflow nor leave the int32 range.
        EXPECT_GE(random.Jitter(INT32_MAX, INT32_MAX), -1);
    }
}

} // namespace
} // namespace Vantrix
