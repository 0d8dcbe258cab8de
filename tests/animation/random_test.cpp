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
}

TEST(Ran0, SeedRestartsTheSequence) {
    TRandomGenerator a(77);
    const double first[] = {a.Next(), a.Next(), a.Next()};
    a.Seed(77);
    for (double x : first)
        EXPECT_EQ(a.Next(), x);
    EXPECT_NE(TRandomGenerator(78).Next(), first[0]);
}

TEST(RandomDraws, ChanceAndUniformFollowTheirBounds) {
    TRandomGenerator random(5);
    int hits = 0;
    double sum = 0.0;
    for (int i = 0; i < 20000; ++i) {
        hits += random.Chance(0.3);
        const double u = random.Uniform(-2.0, 6.0);
        ASSERT_GE(u, -2.0);
        ASSERT_LE(u, 6.0);
        sum += u;
    }
    EXPECT_NEAR(hits / 20000.0, 0.3, 0.015);
    EXPECT_NEAR(sum / 20000.0, 2.0, 0.05);
    EXPECT_EQ(random.Uniform(1.5, 1.5), 1.5);
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(random.Chance(0.0));
}

TEST(RandomDraws, IntegersCoverTheirRangeEvenly) {
    TRandomGenerator random(99);
    int counts[7] = {};
    for (int i = 0; i < 70000; ++i) {
        const int32_t x = random.Jitter(10, 3);
        ASSERT_GE(x, 7);
        ASSERT_LE(x, 13);
        ++counts[x - 7];
    }
    for (int c : counts) {
        EXPECT_GT(c, 9400);
        EXPECT_LT(c, 10600);
    }
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(random.Jitter(-45, 0), -45);
    // Extreme spreads neither overflow nor leave the int32 range.
    for (int i = 0; i < 100; ++i) {
        const int32_t x = random.Jitter(INT32_MAX, INT32_MAX);
        EXPECT_GE(x, -1);
    }
}

TEST(RandomDraws, ChooseFollowsTheWeights) {
    TRandomGenerator random(3);
    const double weights[4] = {0.0, 1.0, 0.0, 3.0};
    int counts[4] = {};
    for (int i = 0; i < 40000; ++i)
        ++counts[random.Choose(weights, 4)];
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[2], 0);
    EXPECT_NEAR(counts[1] / 40000.0, 0.25, 0.015);

    const double none[3] = {0.0, 0.0, 0.0};
    EXPECT_EQ(random.Choose(none, 3), 2);
}

} // namespace
} // namespace Vantrix
