#include <gtest/gtest.h>

#include <vector>

#include "gestures.h"
#include "gestures_support.h"
#include "head_motion.h"

namespace Vantrix {
namespace {

using namespace testing_support;

// Peak times of the idle blinks (every key triple's middle key).
std::vector<int32_t> BlinkPeaks(const TKeyList& keys) {
    std::vector<int32_t> peaks;
    for (int32_t i = 1; i < keys.Count(); i += 3)
        peaks.push_back(keys[i].TimeMs());
    return peaks;
}

using BlinkTest = TIdleMotionTest;

TEST_F(BlinkTest, SpacingCoversTheWidestBlink) {
    EXPECT_EQ(THeadGazeBlink::BlinkSpacing(map), 370);
    TGesturePartRecord mirror = map.BlinkRecord(1);
    mirror.endCentre = 20;
    mirror.endSpread = 10;
    ASSERT_EQ(map.SetBlinkRecord(1, mirror), 0);
    EXPECT_EQ(THeadGazeBlink::BlinkSpacing(map), 400);
}

// Times of the blink candidates left after spacing.
std::vector<double> Spaced(std::vector<ItemToOrder> items) {
    TOrderedList list;
    for (const ItemToOrder& item : items)
        list.Insert(item);
    THeadGazeBlink::SpaceCandidates(list, 370);
    std::vector<double> times;
    for (int32_t i = 0; i < list.Count(); ++i)
        times.push_back(list[i].value);
    return times;
}

TEST_F(BlinkTest, ActionBlinksWinOverIdleOnes) {
    // An idle blink 300 ms after an action blink goes.
    EXPECT_EQ(Spaced({{1000, 0}, {1300, -1}}), std::vector<double>({1000}));
    // An idle blink just before an action blink goes too.
    EXPECT_EQ(Spaced({{1000, -1}, {1200, 2}}), std::vector<double>({1200}));
    // Two action blinks stay however close.
    EXPECT_EQ(Spaced({{1000, 0}, {1350, 1}}), std::vector<double>({1000, 1350}));
    // At exactly the distance the later idle one goes; beyond it both stay.
    EXPECT_EQ(Spaced({{0, -1}, {370, -1}, {741, -1}}), std::vector<double>({0, 741}));
    // Removing an idle blink re-checks the pair before it.
    EXPECT_EQ(Spaced({{0, -1}, {400, -1}, {500, 3}}), std::vector<double>({0, 500}));
}

TEST_F(BlinkTest, LongSpeechBlinksAtLeastEverySevenSeconds) {
    std::vector<TSeg> segs;
    for (int32_t t = 0; t < 20000; t += 100)
        segs.push_back({t % 200 ? kS : kAa, 100});
    const TPhonemeList list = MakeList(segs);
    for (int32_t seed = 0; seed < 30; ++seed) {
        THeadGazeBlink stage(map);
        ASSERT_EQ(stage.Run(list, 1.0, seed, noActions), 0);
        const std::vector<int32_t> peaks = BlinkPeaks(stage.BlinkKeys(egcBlinkLeft));
        ASSERT_GE(peaks.size(), 3u);
        int32_t previous = 0;
        for (int32_t peak : peaks) {
            EXPECT_LE(peak - previous, 7000);
            previous = peak;
        }
        // The closing blink follows the end of speech.
        EXPECT_GE(peaks.back(), 20500);
        EXPECT_LE(peaks.back(), 21000);
        // Every blink closes and opens within the record's ranges, flat at the peak.
        const TKeyList& keys = stage.BlinkKeys(egcBlinkLeft);
        ASSERT_EQ(keys.Count() % 3, 0);
        for (int32_t i = 0; i < keys.Count(); i += 3) {
            EXPECT_EQ(
                std::vector<double>({keys[i].Value(), keys[i + 1].Value(), keys[i + 2].Value()}),
                std::vector<double>({0, 1, 0}));
            EXPECT_EQ(keys[i + 1].OutSlope(), 0.0);
            const int32_t rise = keys[i + 1].TimeMs() - keys[i].TimeMs();
            const int32_t fall = keys[i + 2].TimeMs() - keys[i + 1].TimeMs();
            EXPECT_TRUE(rise >= 40 && rise <= 140) << rise;
            EXPECT_TRUE(fall >= 130 && fall <= 230) << fall;
        }
        // The second eye blinks with the first under the default mirror.
        EXPECT_TRUE(SameKeys(stage.BlinkKeys(egcBlinkLeft), stage.BlinkKeys(egcBlinkRight)));
    }
}

TEST_F(BlinkTest, PauseBlinkThreeTimesInFour) {
    // A 1.5 s pause starting at 3000 ms, no other blink near.
    const TPhonemeList list = MakeList({{kS, 3000}, {kSil, 1500}, {kAa, 1500}});
    int32_t hits = 0;
    const int32_t runs = 600;
    for (int32_t seed = 1; seed <= runs; ++seed) {
        THeadGazeBlink stage(map);
        ASSERT_EQ(stage.Run(list, 1.0, seed * 7919, noActions), 0);
        const std::vector<int32_t> peaks = BlinkPeaks(stage.BlinkKeys(egcBlinkLeft));
        ASSERT_EQ(peaks.size(), 1u);
        if (peaks[0] >= 3500 && peaks[0] <= 3750)
            ++hits;
        else
            EXPECT_GE(peaks[0], 6500) << "only the closing blink may replace it";
    }
    EXPECT_NEAR(double(hits) / runs, 0.75, 0.06);
}

TEST_F(BlinkTest, NearbyBlinksExcludeAPauseBlink) {
    // Two long pauses 1.4 s apart: the second is within 4 s of the first's blink.
    const TPhonemeList list =
        MakeList({{kS, 1000}, {kSil, 1200}, {kS, 200}, {kSil, 1200}, {kS, 5000}});
    // A short pause gets nothing.
    const TPhonemeList shortPause = MakeList({{kS, 3000}, {kSil, 1000}, {kS, 1000}});
    for (int32_t seed = 1; seed <= 60; ++seed) {
        THeadGazeBlink stage(map);
        ASSERT_EQ(stage.Run(list, 1.0, seed, noActions), 0);
        int32_t inPauses = 0;
        for (int32_t peak : BlinkPeaks(stage.BlinkKeys(egcBlinkLeft)))
            inPauses += peak >= 1500 && peak <= 3150;
        EXPECT_LE(inPauses, 1);

        ASSERT_EQ(stage.Run(shortPause, 1.0, seed, noActions), 0);
        for (int32_t peak : BlinkPeaks(stage.BlinkKeys(egcBlinkLeft)))
            EXPECT_GE(peak, 5500);
    }
}

TEST_F(BlinkTest, ActionBlinksStandInForIdleOnes) {
    // Every action blinks (variant 1 with a certain blink); actions 3 s apart leave no gap.
    TGesturesGenerator generator(ForcedVariantMap(1, true));
    TTrackList tracks;
    ASSERT_EQ(
        generator.Run(SpeechWithEmphasisAt({1000, 4000, 7000, 10000, 13000}, 14000), tracks, 17),
        0);
    EXPECT_TRUE(generator.HeadGazeBlink().BlinkKeys(egcBlinkLeft).IsEmpty());
    EXPECT_EQ(tracks[egcBlinkLeft].Keys().Count(), 15);
    ExpectWellFormed(tracks);
}

} // namespace
} // namespace Vantrix
