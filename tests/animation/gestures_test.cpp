#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "../core/trace_capture.h"
#include "animation_types.h"
#include "gestures.h"
#include "gestures_mapper.h"
#include "gestures_support.h"
#include "head_motion.h"
#include "rounding.h"

namespace Vantrix {
namespace {

using namespace testing_support;

TEST(GesturesMap, SettersRefuseBadValuesAndKeepTheOldOne) {
    TSpeechGesturesMap map = DefaultSpeechGesturesMap();
    EXPECT_EQ(map.SetIsolationDistance(0), eetArgumentFailure);
    EXPECT_EQ(map.SetRateFactorLow(0.0), eetArgumentFailure);
    EXPECT_EQ(map.SetVariantWeight(8, 0, 1.0), eetRangeFailure);
    EXPECT_EQ(map.SetVariantWeight(0, 5, 1.0), eetRangeFailure);
    EXPECT_EQ(map.SetVariantWeight(0, 0, -1.0), eetArgumentFailure);
    EXPECT_EQ(map.SetIntensityRange(0, 0.9, 0.8), eetArgumentFailure);
    EXPECT_EQ(map.SetPauseBlinkProbability(1.5), eetArgumentFailure);
    EXPECT_EQ(map.SetHeadMoveMin(0), eetArgumentFailure);
    EXPECT_EQ(map.SetHeadRecord(3, {0.5, 0, 0, 4}), eetRangeFailure);
    EXPECT_EQ(map.SetHeadRecord(0, {0.5, 0, 0, 7}), eetArgumentFailure);
    EXPECT_EQ(map.SetGazeRecord(0, {1.0, 0, 0, 8, 7}), eetArgumentFailure);
    const TSpeechGesturesMap defaults = DefaultSpeechGesturesMap();
    EXPECT_EQ(map.IsolationDistance(), defaults.IsolationDistance());
    EXPECT_EQ(map.RateFactorLow(), defaults.RateFactorLow());
    EXPECT_TRUE(map.Validate());
    EXPECT_THROW(map.Part(8, 0), EErrorType);
    EXPECT_THROW(map.VariantWeight(0, 5), EErrorType);
    EXPECT_FALSE(TSpeechGesturesMap().Validate());
}

TEST(GesturesMap, PartRecordsMustKeepTheirKeysApart) {
    TSpeechGesturesMap map = DefaultSpeechGesturesMap();
    const TGesturePartRecord good = map.Part(1, egpEyebrow);
    // A start or end that could reach 0, or a part that never happens.
    for (auto spoil : {+[](TGesturePartRecord& r) { r.startSpread = 180; },
                       +[](TGesturePartRecord& r) { r.endCentre = 45; },
                       +[](TGesturePartRecord& r) { r.probability = 0.0; }}) {
        TGesturePartRecord r = good;
        spoil(r);
        EXPECT_EQ(map.SetPart(1, egpEyebrow, r), eetArgumentFailure);
    }
    EXPECT_EQ(map.SetPart(1, 7, good), eetRangeFailure);
    EXPECT_EQ(map.SetPart(0, egpHeadSideSide, {0, 0, 0, 0, 0, 0, 2.0, 0.0}), 0);

    // The mirror's jitter added to the mirrored start must stay before the peak.
    TGesturePartRecord mirror = map.Part(1, egpEyebrowMirror);
    mirror.startCentre = 120; // -180 + 45 + 120 + 15 = 0
    EXPECT_EQ(map.SetPart(1, egpEyebrowMirror, mirror), eetArgumentFailure);
    mirror.startCentre = 119;
    EXPECT_EQ(map.SetPart(1, egpEyebrowMirror, mirror), 0);
    mirror.amplitude = -1.0;
    EXPECT_EQ(map.SetPart(1, egpEyebrowMirror, mirror), eetArgumentFailure);

    // Zeroing a main part leaves its mirror invalid for the whole map.
    EXPECT_EQ(map.SetPart(1, egpEyebrow, {0, 0, 0, 0, 0, 0, 0.0, 0.0}), 0);
    EXPECT_FALSE(map.Validate());

    EXPECT_EQ(map.SetPartPair(2, egpHeadBend, {1, 2}), 0);
    EXPECT_EQ(map.SetPartPair(2, egpHeadSideSide, {1, 2}), eetArgumentFailure);
    EXPECT_EQ(map.SetPartPair(2, egpHeadBend, {-1, 2}), eetArgumentFailure);
}

TEST(GesturesMap, WholeMapChecksCrossFieldOrder) {
    using TSetter = int32_t (TSpeechGesturesMap::*)(int32_t);
    const std::pair<TSetter, int32_t> cases[] = {
        {&TSpeechGesturesMap::SetCrowdingDistance, 1000},
        {&TSpeechGesturesMap::SetRateDurationLow, 200},
        {&TSpeechGesturesMap::SetGazeHoldMin, 2000},
        {&TSpeechGesturesMap::SetPauseBlinkDelayMax, 100},
        {&TSpeechGesturesMap::SetHeadHoldMin, 5000},
    };
    for (const auto& [setter, value] : cases) {
        TSpeechGesturesMap map = DefaultSpeechGesturesMap();
        ASSERT_EQ((map.*setter)(value), 0);
        EXPECT_FALSE(map.Validate()) << value;
        EXPECT_THROW(TGesturesGenerator generator(map), EErrorType);
        EXPECT_THROW(THeadGazeBlink stage(map), EErrorType);
    }
}

TEST(GesturesMapper, SelectsTheFirstDefaultAndNotifies) {
    ExpectSelectsTheFirstDefault<TGesturesMapper>(&TSpeechGesturesMap::SetIsolationDistance,
                                                  &TSpeechGesturesMap::IsolationDistance);
}

TEST(RateFactor, FollowsTheMeanSpokenDuration) {
    TGesturesGenerator generator(DefaultSpeechGesturesMap());
    // Mean of the spoken phonemes 100 ms (silence ignored): 0.8 + 1.2 * 35 / 65.
    TPhonemeList list = MakeList({{kSil, 3000}, {kS, 80}, {kAa, 120}});
    EXPECT_DOUBLE_EQ(generator.RateFactor(list, 0, 2), 0.8 + 1.2 * 35.0 / 65.0);
    EXPECT_DOUBLE_EQ(generator.RateFactor(list, 1, 1), 0.8 + 1.2 * 15.0 / 65.0);
    // Clamped at both ends, and the middle without spoken phonemes.
    EXPECT_DOUBLE_EQ(generator.RateFactor(MakeList({{kS, 20}}), 0, 0), 0.8);
    EXPECT_DOUBLE_EQ(generator.RateFactor(MakeList({{kS, 900}}), 0, 0), 2.0);
    EXPECT_DOUBLE_EQ(generator.RateFactor(list, 0, 0), 1.4);
    EXPECT_THROW(generator.RateFactor(list, 0, 3), EErrorType);
    EXPECT_THROW(generator.RateFactor(list, -1, 1), EErrorType);
}

// Rate factor exactly 1 whatever the phonemes.
TSpeechGesturesMap UnitRateMap(TSpeechGesturesMap map = DefaultSpeechGesturesMap()) {
    EXPECT_EQ(map.SetRateFactorLow(1.0), 0);
    EXPECT_EQ(map.SetRateFactorHigh(1.0), 0);
    return map;
}

TEST(GestureActions, TypesFollowTheSpacing) {
    const struct {
        TPhonemeList list;
        std::vector<int32_t> types;
    } cases[] = {
        {SpeechWithEmphasisAt({0, 1000, 2000, 2800, 3200, 4200, 5200, 6000, 7500, 8500}, 10000),
         {eatFirst, eatIsolated, eatOrdinary, eatCrowded, eatCrowded, eatIsolated, eatOrdinary,
          eatOrdinary, eatIsolated, eatLast}},
        // 449 ms from a neighbour is crowded, 450 is not.
        {MakeList({{kAa, 1000, true}, {kAa, 449, true}, {kAa, 600, true}}),
         {eatFirst, eatCrowded, eatLast}},
        {MakeList({{kAa, 1000, true}, {kAa, 450, true}, {kAa, 600, true}}),
         {eatFirst, eatOrdinary, eatLast}},
        {SpeechWithEmphasisAt({500}, 3000), {eatFirst}},
        {SpeechWithEmphasisAt({}, 3000), {}},
    };
    TGesturesGenerator generator(UnitRateMap());
    TTrackList tracks;
    for (const auto& c : cases) {
        ASSERT_EQ(generator.Run(c.list, tracks, 7), 0);
        std::vector<int32_t> types;
        for (const TEmphasisAction& action : generator.Actions()) {
            types.push_back(action.Type());
            EXPECT_EQ(action.Scale(), 1.0);
            EXPECT_EQ(c.list[action.Position()].StartMs(), action.TimeMs());
        }
        EXPECT_EQ(types, c.types) << c.list.Count() << " phonemes";
    }
    // Without actions only idle motion is left: no eyebrows.
    ASSERT_EQ(tracks.Count(), kGestureTrackCount);
    EXPECT_TRUE(tracks[egcRaiseLeftEyebrow].Keys().IsEmpty());
    EXPECT_TRUE(tracks[egcRaiseRightEyebrow].Keys().IsEmpty());
}

TEST(GestureActions, VariantsFollowTheWeightsOfTheType) {
    const TSpeechGesturesMap map = DefaultSpeechGesturesMap();
    TGesturesGenerator generator(UnitRateMap(map));
    TTrackList tracks;
    // Isolated at 2000, crowded at 4000 and 4300, first at 0 and last at 6000.
    const TPhonemeList list = SpeechWithEmphasisAt({0, 2000, 4000, 4300, 6000}, 7000);
    std::map<int32_t, std::set<int32_t>> drawn;
    for (int32_t seed = 1; seed <= 400; ++seed) {
        ASSERT_EQ(generator.Run(list, tracks, seed), 0);
        for (const TEmphasisAction& action : generator.Actions())
            drawn[action.Type()].insert(action.Variant());
    }
    // Every variant the map weighs for the type is drawn, and no other. (The first action's draw,
    // the first after seeding, varies little over small seeds.)
    for (int32_t type : {eatLast, eatCrowded, eatIsolated}) {
        std::set<int32_t> weighed;
        for (int32_t v = 0; v < kGestureVariantCount; ++v)
            if (map.VariantWeight(v, type) > 0.0) weighed.insert(v);
        EXPECT_EQ(drawn[type], weighed) << type;
    }
    EXPECT_NE(drawn[eatCrowded], drawn[eatIsolated]);
}

TEST(GestureActions, HeadBendPeaksWithTheEyesOpposite) {
    TSpeechGesturesMap map = ForcedVariantMap(1);
    ASSERT_EQ(map.SetIntensityRange(1, 0.8, 0.8), 0);
    SilenceIdleMotion(map);
    TGesturesGenerator generator(UnitRateMap(map));
    TTrackList tracks;
    ASSERT_EQ(generator.Run(SpeechWithEmphasisAt({1000}, 4000), tracks, 21), 0);
    ASSERT_EQ(generator.Actions()[0].Variant(), 1);

    const TKeyList& bend = tracks[egcHeadBend].Keys();
    ASSERT_EQ(bend.Count(), 3);
    EXPECT_EQ(bend[1].TimeMs(), 1000);
    EXPECT_DOUBLE_EQ(bend[1].Value(), 4.0);
    EXPECT_TRUE(bend[0].TimeMs() >= 1000 - 270 && bend[0].TimeMs() <= 1000 - 180);
    EXPECT_TRUE(bend[2].TimeMs() >= 1000 + 450 && bend[2].TimeMs() <= 1000 + 540);
    for (int32_t g : {egcLeftEyeUpDown, egcRightEyeUpDown}) {
        const TKeyList& eye = tracks[g].Keys();
        ASSERT_EQ(eye.Count(), 3);
        EXPECT_DOUBLE_EQ(eye[1].Value(), -4.0);
        EXPECT_EQ(eye[0].TimeMs(), bend[0].TimeMs());
        EXPECT_EQ(eye[2].TimeMs(), bend[2].TimeMs());
    }
    EXPECT_TRUE(tracks[egcLeftEyeSideSide].Keys().IsEmpty());
    EXPECT_TRUE(tracks[egcHeadTwist].Keys().IsEmpty());
}

TEST(GestureActions, MirrorsFollowTheirPartWithJitter) {
    // Variant 5 always raises the eyebrows (probability 1).
    TSpeechGesturesMap map = ForcedVariantMap(5);
    TGesturesGenerator generator(map);
    TTrackList tracks;
    for (int32_t seed = 1; seed <= 50; ++seed) {
        ASSERT_EQ(generator.Run(SpeechWithEmphasisAt({2000}, 5000), tracks, seed), 0);
        const TEmphasisAction& action = generator.Actions()[0];
        const TKeyList& left = action.Keys(egcRaiseLeftEyebrow);
        const TKeyList& right = action.Keys(egcRaiseRightEyebrow);
        ASSERT_TRUE(left.Count() == 3 && right.Count() == 3);
        EXPECT_EQ(right[1].Value(), left[1].Value());
        EXPECT_TRUE(left[1].Value() >= 0.5 * 0.5 && left[1].Value() <= 0.5 * 0.7);
        const double scale = action.Scale();
        const int32_t spread = nearest(15 * scale);
        EXPECT_LE(std::abs(right[1].TimeMs() - left[1].TimeMs()), spread);
        EXPECT_LE(std::abs(right[0].TimeMs() - left[0].TimeMs()), 2 * spread);
        // Handles are flat at every key.
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(right[i].OutSlope(), 0.0);
        EXPECT_THROW(action.Keys(kGestureTrackCount), EErrorType);
    }
}

TEST(GestureActions, OverlappingBlinksKeepOnlyTheEarlier) {
    TGesturesGenerator generator(ForcedVariantMap(1, true));
    TTrackList tracks;
    ASSERT_EQ(generator.Run(SpeechWithEmphasisAt({1000, 1100, 3000}, 5000), tracks, 5), 0);
    const TEmphasisActionList& actions = generator.Actions();
    EXPECT_FALSE(actions[0].Keys(egcBlinkLeft).IsEmpty());
    EXPECT_TRUE(actions[1].Keys(egcBlinkLeft).IsEmpty());
    EXPECT_TRUE(actions[1].Keys(egcBlinkRight).IsEmpty());
    EXPECT_FALSE(actions[2].Keys(egcBlinkLeft).IsEmpty());
}

TEST(GesturesRun, ErrorsAreCaughtTracedAndReturned) {
    // An emphasised phoneme at the very end of the time range: its keys cannot be placed.
    TPhonemeList list;
    list.Append(TPhoneme(kAa, INT32_MAX - 20, INT32_MAX, 0, true));
    TGesturesGenerator generator(DefaultSpeechGesturesMap());
    TTrackList tracks;
    TraceCapture trace;
    EXPECT_EQ(generator.Run(list, tracks, 1), eetRangeFailure);
    EXPECT_NE(
        trace.Text().find("Caught an exception (eetRangeFailure): Something is out of range.\n"),
        std::string::npos);
}

} // namespace
} // namespace Vantrix
