#include <gtest/gtest.h>

#include <vector>

#include "gestures_support.h"
#include "lip_sync.h"
#include "lipsync_support.h"

namespace Vantrix {
namespace {

using testing_support::ExpectWellFormed;
using testing_support::SameTracks;

TEST(LipSyncProperty, RandomListsGiveOrderedFiniteDeterministicTracks) {
    const TLabeledPhonemesToTracksMap map = TTrackMapper::BuiltInMap();
    const TCoarticulationRulesMap rules = DefaultCoarticulationRules();
    for (uint32_t seed = 100; seed < 140; ++seed) {
        const bool fast = seed % 2 == 0;
        auto phonemes = RandomPhonemes(seed, 1 + int32_t(seed * 13 % 400), seed % 4 < 2);
        TLipSynching lipSync(map, rules);
        TTrackList tracks;
        ASSERT_EQ(lipSync.Run(*phonemes, tracks, fast), eetSuccess) << seed;
        ASSERT_EQ(tracks.Count(), map.NumTracks());
        ExpectWellFormed(tracks);
        if (HasFatalFailure()) FAIL() << "seed " << seed;

        for (const TSegment& segment : lipSync.Segments()) {
            const TKeyList& keys = segment.Keys();
            ASSERT_EQ(keys.Count(), 3);
            ASSERT_GE(segment.Weight(), 0.0);
            ASSERT_LE(keys[0].TimeMs(), keys[1].TimeMs() - rules.MinKeySpacing());
            ASSERT_GE(keys[2].TimeMs(), keys[1].TimeMs() + rules.MinKeySpacing());
        }

        // Same input, same output: from a fresh object and from a second run.
        TLipSynching other(map, rules);
        TTrackList again;
        ASSERT_EQ(other.Run(*phonemes, again, fast), eetSuccess);
        ASSERT_TRUE(SameTracks(tracks, again)) << "seed " << seed;
        ASSERT_EQ(lipSync.Run(*phonemes, again, fast), eetSuccess);
        ASSERT_TRUE(SameTracks(tracks, again)) << "seed " << seed;
    }
}

TEST(LipSyncProperty, FiveMinutesOfSpeech) {
    auto phonemes = RandomPhonemes(7, 5000, false);
    TLipSynching lipSync(TTrackMapper::BuiltInMap(), DefaultCoarticulationRules());
    TTrackList tracks;
    ASSERT_EQ(lipSync.Run(*phonemes, tracks, false), eetSuccess);
    ASSERT_EQ(tracks.Count(), 16);
    ExpectWellFormed(tracks);
    EXPECT_FALSE(tracks[0].Keys().IsEmpty());
}

} // namespace
} // namespace Vantrix
