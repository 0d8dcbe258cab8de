#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "keys.h"
#include "model_test_util.h"
#include "tracks.h"

namespace Vantrix {
namespace {

std::vector<int32_t> Times(const TKeyList& list) {
    std::vector<int32_t> times;
    for (const TKey& k : list)
        times.push_back(k.TimeMs());
    return times;
}

// Combines the lists (each of weight 1 unless given) into a fresh list.
TKeyList Combined(std::vector<std::pair<const TKeyList*, double>> members, bool keep = false) {
    TListOfKeyLists lists;
    for (const auto& m : members)
        lists.Append(*m.first, m.second);
    TKeyList out;
    EXPECT_EQ(lists.Combine(keep, out), eetSuccess);
    return out;
}

const TKeyList kEmpty;

TEST(Combine, NoPairsClearsAndOnePairCopiesScaled) {
    TKeyList a = FlatList({{0, 1.0}, {100, 2.0}});
    TKeyList out = a;
    EXPECT_EQ(TListOfKeyLists().Combine(false, out), eetSuccess);
    EXPECT_TRUE(out.IsEmpty());
    TListOfKeyLists halved;
    halved.Append(a, 0.5);
    halved.Combine(false, a); // out may be the member itself
    EXPECT_EQ(a[1].Value(), 1.0);
    EXPECT_EQ(a[0].OutHandle().value, 0.5);
}

TEST(Combine, SumsKeysAndEvaluatedCurves) {
    TKeyList a = FlatList({{0, 0.0}, {100, 1.0}});
    TKeyList b = FlatList({{50, 2.0}});
    TKeyList out = Combined({{&a, 1.0}, {&b, 0.5}});
    ASSERT_EQ(Times(out), (std::vector<int32_t>{0, 50, 100}));
    EXPECT_DOUBLE_EQ(out[1].Value(), 1.5); // a's curve at 50 plus half of b's key
    EXPECT_EQ(out[2].Value(), 1.0);
    // a's slope at 50 is 0.015 per ms; b's key is flat.
    EXPECT_EQ(out[0].InHandle().kind, kHandleNone);
    EXPECT_EQ(out[2].OutHandle().kind, kHandleNone);
    EXPECT_EQ(out[0].OutSlope(), 0.0);
    EXPECT_DOUBLE_EQ(out[1].InSlope(), 0.015);
    EXPECT_DOUBLE_EQ(out[1].OutSlope(), 0.015);
    EXPECT_DOUBLE_EQ(out[1].InHandle().timeMs, 50.0 - 50.0 / 3.0);

    TKeyList intoMember = a;
    TListOfKeyLists lists;
    lists.Append(intoMember, 1.0);
    lists.Append(b, 0.5);
    lists.Combine(false, intoMember);
    EXPECT_EQ(intoMember[1].Value(), out[1].Value());
}

TEST(Combine, RedundantKeysAreDroppedAndHandlesUseTheFinalGaps) {
    TKeyList zero = FlatList({{0, 0.0}, {50, 0.0}, {100, 0.0}});
    TKeyList out = Combined({{&zero, 1.0}, {&zero, 0.7}});
    EXPECT_EQ(Times(out), (std::vector<int32_t>{0, 100}));
    EXPECT_DOUBLE_EQ(out[0].OutHandle().timeMs, 100.0 / 3.0);
    EXPECT_EQ(Times(Combined({{&zero, 1.0}, {&zero, 0.7}}, true)).size(), 3u);

    // Differences under the negligible magnitude count as equal (the key at 10).
    TKeyList steps = FlatList({{0, 1.0},
                               {10, 1.0 + 2e-16},
                               {20, 1.0},
                               {30, 2.0},
                               {40, 2.0},
                               {50, 2.0},
                               {60, 2.0},
                               {70, 3.0}});
    out = Combined({{&steps, 1.0}, {&kEmpty, 1.0}});
    EXPECT_EQ(Times(out), (std::vector<int32_t>{0, 20, 30, 60, 70}));
    EXPECT_DOUBLE_EQ(out[2].OutHandle().timeMs, 40.0);
}

TEST(Combine, DroppingASlopedKeyIsACatastrophe) {
    // Level with its neighbours but not flat: only hand-made handles do this.
    TKeyList a = FlatList({{0, 0.0}, {60, 0.0}, {120, 0.0}});
    a.SetOutHandleFromSlope(1, 0.01);
    TListOfKeyLists lists;
    lists.Append(a, 1.0);
    lists.Append(kEmpty, 1.0);
    TKeyList out = FlatList({{7, 7.0}});
    EXPECT_THROW(lists.Combine(false, out), EErrorType);
    EXPECT_EQ(Times(out), (std::vector<int32_t>{7})) << "out is untouched";
    EXPECT_EQ(lists.Combine(true, out), eetSuccess);
}

TEST(Tracks, TrackListsHoldCopiesAndFindByIndex) {
    TKeyList keys = FlatList({{0, 1.0}});
    TTrackList tracks;
    EXPECT_TRUE(tracks.IsStale());
    tracks.Append(TTrack(keys, 0));
    tracks.Append(TTrack(TKeyList(), 3));
    keys.Scale(2.0);
    EXPECT_EQ(tracks[0].Keys()[0].Value(), 1.0);
    EXPECT_EQ(tracks.Find(3), 1);
    EXPECT_EQ(tracks.Find(1), -1);
}

} // namespace
} // namespace Vantrix
