#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gestures_support.h"
#include "head_motion.h"

namespace Vantrix {
namespace {

using namespace testing_support;

TPhonemeList Speech(int32_t leadingSilence, int32_t speechMs, int32_t trailingSilence) {
    std::vector<TSeg> segs;
    if (leadingSilence > 0) segs.push_back({kSil, leadingSilence});
    for (int32_t t = 0; t < speechMs; t += 100)
        segs.push_back({t % 300 ? kS : kAa, 100});
    if (trailingSilence > 0) segs.push_back({kSil, trailingSilence});
    return MakeList(segs);
}

void ExpectEased(const TKeyList& keys) {
    for (int32_t i = 0; i < keys.Count(); ++i) {
        EXPECT_EQ(keys[i].InSlope(), 0.0);
        EXPECT_EQ(keys[i].OutSlope(), 0.0);
        if (i > 0) {
            ASSERT_LT(keys[i - 1].TimeMs(), keys[i].TimeMs());
            // The handles either side of a gap reach a third of the way in.
            const double third = (keys[i].TimeMs() - keys[i - 1].TimeMs()) / 3.0;
            EXPECT_DOUBLE_EQ(keys[i - 1].OutHandle().timeMs, keys[i - 1].TimeMs() + third);
            EXPECT_DOUBLE_EQ(keys[i].InHandle().timeMs, keys[i].TimeMs() - third);
        }
    }
}

TEST(AppendEasedKey, EasesOutOfOnePoseIntoTheNext) {
    TKeyList keys;
    AppendEasedKey(keys, 0, 0.0);
    AppendEasedKey(keys, 300, 1.0);
    EXPECT_EQ(keys[0].InHandle().kind, kHandleNone);
    EXPECT_EQ(keys[1].InHandle().value, 1.0);
    EXPECT_EQ(keys[1].OutHandle().kind, kHandleNone);
    ExpectEased(keys);
    double value = 0.0;
    double slope = 0.0;
    keys.Evaluate(150, value, slope);
    EXPECT_DOUBLE_EQ(value, 0.5);
    EXPECT_THROW(AppendEasedKey(keys, 300, 2.0), EErrorType);
    EXPECT_EQ(keys.Count(), 2);
}

TKeyList Keyed(const std::vector<double>& values) {
    TKeyList keys;
    for (size_t i = 0; i < values.size(); ++i)
        AppendEasedKey(keys, int32_t(i) * 300, values[i]);
    return keys;
}

TEST(CleanPoseKeys, DropsRepeatsAndIdleEnds) {
    // Nothing but rest or one held pose leaves nothing; a bump or a step keeps every key.
    const std::pair<std::vector<double>, std::vector<int32_t>> cases[] = {
        {{0, 0, 0, 1, 1, 1, 0, 0}, {600, 900, 1500, 1800}},
        {{0, 0}, {}},
        {{2, 2, 2}, {}},
        {{0, 1, 0}, {0, 300, 600}},
        {{1, 1, 2, 2}, {0, 300, 600, 900}}};
    for (const auto& [values, times] : cases) {
        TKeyList keys = Keyed(values);
        THeadGazeBlink::CleanPoseKeys(keys);
        std::vector<int32_t> kept;
        for (const TKey& key : keys)
            kept.push_back(key.TimeMs());
        EXPECT_EQ(kept, times) << values.size() << " keys";
        ExpectEased(keys);
    }
}

using HeadGazeBlinkTest = TIdleMotionTest;

TEST_F(HeadGazeBlinkTest, ShortSpeechHasNoHeadMotion) {
    // 4200 ms of speech is shorter than 1275 + 3000 ms.
    const TPhonemeList list = Speech(0, 4200, 0);
    for (int32_t seed = 0; seed < 20; ++seed) {
        THeadGazeBlink stage(map);
        ASSERT_EQ(stage.Run(list, 1.0, seed, noActions), 0);
        for (int32_t g = egcHeadBend; g <= egcRightEyeUpDown; ++g)
            EXPECT_TRUE(stage.HeadGazeKeys(g).IsEmpty()) << "channel " << g;
    }
}

TEST_F(HeadGazeBlinkTest, HeadMovesWithinTheSpeechAndTheEyesCounterIt) {
    const TPhonemeList list = Speech(2000, 60000, 3000);
    THeadGazeBlink stage(map);
    ASSERT_EQ(stage.Run(list, 1.0, 99, noActions), 0);
    const TKeyList& bend = stage.HeadGazeKeys(egcHeadBend);
    const TKeyList& side = stage.HeadGazeKeys(egcHeadSideSide);
    const TKeyList& twist = stage.HeadGazeKeys(egcHeadTwist);
    ASSERT_GT(bend.Count(), 10);
    ASSERT_GT(side.Count(), 10);
    for (const TKeyList* keys : {&bend, &side, &twist}) {
        ExpectEased(*keys);
        EXPECT_GT(keys->FirstKeyTime(), 2000);
        // Poses start before the speech ends; only the return to neutral may follow it.
        EXPECT_LE(keys->LastKeyTime(), 62000 + 1275);
    }
    bool sideNegative = false;
    for (const TKey& key : bend)
        EXPECT_TRUE(key.Value() >= 0.0 && key.Value() <= 4.0) << key.Value();
    for (const TKey& key : side) {
        EXPECT_LE(std::fabs(key.Value()), 2.5);
        EXPECT_TRUE(key.Value() == 0.0 || std::fabs(key.Value()) >= 0.5);
        sideNegative = sideNegative || key.Value() < 0.0;
    }
    EXPECT_TRUE(sideNegative);
    // The eyes counter the bend and the twist.
    const std::pair<int32_t, const TKeyList*> eyes[] = {{egcLeftEyeUpDown, &bend},
                                                        {egcRightEyeUpDown, &bend},
                                                        {egcLeftEyeSideSide, &twist},
                                                        {egcRightEyeSideSide, &twist}};
    for (const auto& [eye, head] : eyes) {
        const TKeyList& keys = stage.HeadGazeKeys(eye);
        ASSERT_EQ(keys.Count(), head->Count());
        for (int32_t i = 0; i < keys.Count(); ++i) {
            EXPECT_EQ(keys[i].TimeMs(), (*head)[i].TimeMs());
            EXPECT_EQ(keys[i].Value(), -(*head)[i].Value());
        }
    }
    EXPECT_THROW(stage.HeadGazeKeys(3), EErrorType);
    EXPECT_THROW(stage.GazeShiftKeys(6), EErrorType);
    EXPECT_THROW(stage.BlinkKeys(4), EErrorType);
}

int32_t SmallestGap(const TKeyList& keys) {
    int32_t gap = INT32_MAX;
    for (int32_t i = 1; i < keys.Count(); ++i)
        gap = std::min(gap, keys[i].TimeMs() - keys[i - 1].TimeMs());
    return gap;
}

TEST_F(HeadGazeBlinkTest, RateStretchesHeadTiming) {
    // Moves and holds are at least 525 and 750 ms at rate 1, twice that at rate 2; cleaning
    // only widens gaps.
    const TPhonemeList list = Speech(0, 120000, 0);
    for (int32_t seed = 1; seed <= 5; ++seed) {
        THeadGazeBlink normal(map);
        ASSERT_EQ(normal.Run(list, 1.0, seed, noActions), 0);
        THeadGazeBlink slow(map);
        ASSERT_EQ(slow.Run(list, 2.0, seed, noActions), 0);
        EXPECT_GE(SmallestGap(normal.HeadGazeKeys(egcHeadSideSide)), 525);
        EXPECT_GE(SmallestGap(slow.HeadGazeKeys(egcHeadSideSide)), 1050);
        EXPECT_LT(slow.HeadGazeKeys(egcHeadSideSide).Count(),
                  normal.HeadGazeKeys(egcHeadSideSide).Count());
    }
}

TEST_F(HeadGazeBlinkTest, GazeShiftsBetweenTheRecordedDirections) {
    const TPhonemeList list = Speech(1000, 30000, 1000);
    THeadGazeBlink stage(map);
    ASSERT_EQ(stage.Run(list, 1.0, 4242, noActions), 0);
    const TKeyList& left = stage.GazeShiftKeys(egcLeftEyeSideSide);
    const TKeyList& right = stage.GazeShiftKeys(egcRightEyeSideSide);
    const TKeyList& up = stage.GazeShiftKeys(egcLeftEyeUpDown);
    ASSERT_GT(left.Count(), 5);
    ASSERT_GT(up.Count(), 2);
    ASSERT_TRUE(SameKeys(left, right));
    ASSERT_TRUE(SameKeys(up, stage.GazeShiftKeys(egcRightEyeUpDown)));
    ExpectEased(left);
    ExpectEased(up);
    EXPECT_GE(SmallestGap(left), 40);
    for (const TKey& key : left) {
        const double v = key.Value();
        EXPECT_TRUE(v == 0.0 || v == 0.6 || v == -0.6) << v;
        // Vertical and sideways glances never overlap.
        double vertical = 0.0;
        double slope = 0.0;
        up.Evaluate(key.TimeMs(), vertical, slope);
        if (v != 0.0) {
            EXPECT_EQ(vertical, 0.0);
        }
    }
    for (const TKey& key : up)
        EXPECT_TRUE(key.Value() == 0.0 || key.Value() == 1.0);
    // Gaze runs over the whole sound, leading silence included.
    EXPECT_LT(left.FirstKeyTime(), 30000);
}

} // namespace
} // namespace Vantrix
