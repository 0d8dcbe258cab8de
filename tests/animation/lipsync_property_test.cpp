#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lip_sync.h"
#include "lipsync_support.h"

namespace Vantrix {
namespace {

bool Finite(const TKeyHandle& h) {
    return std::isfinite(h.timeMs) && std::isfinite(h.value);
}

void ExpectWellFormed(const TTrackList& tracks) {
    for (const TTrack& track : tracks) {
        const TKeyList& keys = track.Keys();
        for (int32_t k = 0; k < keys.Count(); ++k) {
            const TKey& key = keys[k];
            if (k > 0) {
                ASSERT_LT(keys[k - 1].TimeMs(), key.TimeMs()) << track.Index();
            }
            ASSERT_TRUE(std::isfinite(key.Value()));
            ASSERT_TRUE(std::isfinite(key.InSlope()));
            ASSERT_TRUE(std::isfinite(key.OutSlope()));
            ASSERT_TRUE(Finite(key.InHandle()) && Finite(key.OutHandle()));
        }
    }
}

void ExpectSameTracks(const TTrackList& a, const TTrackList& b) {
    ASSERT_EQ(a.Count(), b.Count());
    for (int32_t t = 0; t < a.Count(); ++t) {
        const TKeyList& x = a[t].Keys();
        const TKeyList& y = b[t].Keys();
        ASSERT_EQ(x.Count(), y.Count());
        for (int32_t k = 0; k < x.Count(); ++k) {
            ASSERT_EQ(x[k].TimeMs(), y[k].TimeMs());
            ASSERT_EQ(x[k].Value(), y[k].Value());
            ASSERT_EQ(x[k].InHandle().value, y[k].InHandle().value);
            ASSERT_EQ(x[k].OutHandle().value, y[k].OutHandle().value);
        }
    }
}

TEST(LipSyncProperty, RandomListsGiveOrderedFiniteDeterministicTracks) {
    const TLabeledPhonemesToTracksMap map = TTrackMapper::BuiltInMap();
    const TCoarticulationRulesMap rules = DefaultCoarticulationRules();
    for (uint32_t seed = 100; seed < 140; ++seed) {
        const bool fast = seed % 2 == 0;
        auto phonemes = RandomPhonemes(seed, 1 + int32_t(seed * 13 % 400), seed % 4 < 2);
        TLipSynching lipSync(map, rules);
        TTrackList tracks;
        int32_t rc = -1;
        ASSERT_NO_THROW(rc = lipSync.Run(*phonemes, tracks, fast)) << seed;
        ASSERT_EQ(rc, eetSuccess) << seed;
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
        ExpectSameTracks(tracks, again);
        ASSERT_EQ(lipSync.Run(*phonemes, again, fast), eetSuccess);
        ExpectSameTracks(tracks, again);
        if (HasFatalFailure()) FAIL() << "seed " << seed;
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
