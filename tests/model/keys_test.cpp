#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

#include "keys.h"

namespace Vantrix {
namespace {

TKeyList FlatList(std::initializer_list<std::pair<int32_t, double>> keys) {
    TKeyList list;
    for (const auto& k : keys)
        EXPECT_EQ(list.Append(k.first, k.second), eetSuccess);
    list.SetFlatHandles();
    return list;
}

// Random ascending times, random values and random (not flat) handles.
TKeyList RandomCurve(std::mt19937& rng, int32_t count) {
    std::uniform_int_distribution<int32_t> gap(1, 120);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    TKeyList list;
    int32_t t = std::uniform_int_distribution<int32_t>(-200, 200)(rng);
    for (int32_t i = 0; i < count; ++i, t += gap(rng))
        list.Append(t, value(rng));
    for (int32_t i = 0; i < count; ++i) {
        list.SetInHandleFromSlope(i, value(rng) / 50.0);
        list.SetOutHandleFromSlope(i, value(rng) / 50.0);
    }
    return list;
}

TEST(Key, SlopesFallBackWithoutDividingByZeroAndNegligibleValuesAreZero) {
    TKey key(100, 1.0);
    key.SetInHandle({kHandlePoint, 90.0, 0.0});
    key.SetOutHandle({kHandleNone, 120.0, 3.0});
    EXPECT_DOUBLE_EQ(key.OutSlope(), 0.1) << "falls back to the in-handle";
    key.SetInHandle({kHandlePoint, 100.0, 0.0}); // at the key's own time
    EXPECT_EQ(key.InSlope(), 0.0);
    EXPECT_EQ(TKey(0, 1.0).InSlope(), 0.0);
    EXPECT_DOUBLE_EQ(TKey(30, 3.0).InSlope(), 0.1) << "fresh handles sit at (0, 0)";
    EXPECT_EQ(TKey(0, 4.4e-16).Value(), 0.0);
    EXPECT_NE(TKey(0, -4.45e-16).Value(), 0.0);
}

TEST(KeyList, AppendIsStrictlyAscending) {
    TKeyList list;
    EXPECT_EQ(list.FirstKeyTime(), INT32_MAX);
    EXPECT_EQ(list.LastKeyTime(), INT32_MIN);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(list.Append(i * 10, 0.0), eetSuccess);
    EXPECT_EQ(list.Append(30, 0.0), eetArgumentFailure);
}

TEST(KeyList, FlatHandlesEaseEveryKeyAndEvaluationStopsAtTheEnds) {
    TKeyList list = FlatList({{0, 0.0}, {300, 1.0}});
    EXPECT_EQ(list[0].InHandle().kind, kHandleNone);
    EXPECT_EQ(list[0].OutHandle().timeMs, 100.0);
    EXPECT_EQ(list[1].InHandle().timeMs, 200.0);
    for (const TKey& k : list)
        EXPECT_TRUE(k.InSlope() == 0.0 && k.OutSlope() == 0.0) << k.TimeMs();
    double value, slope;
    list.Evaluate(150, value, slope);
    EXPECT_DOUBLE_EQ(value, 0.5);
    EXPECT_DOUBLE_EQ(slope, 0.005);

    list = FlatList({{0, 0.3}, {100, 0.7}, {250, 0.9}}); // at and outside the ends
    value = slope = 1.0;
    list.Evaluate(-1, value, slope);
    EXPECT_EQ(value + slope, 0.0);
    list.Evaluate(250, value, slope);
    EXPECT_DOUBLE_EQ(value, 0.9);
    list.Evaluate(250.5, value, slope);
    EXPECT_EQ(value, 0.0);
    FlatList({{10, 2.0}}).Evaluate(10, value, slope);
    EXPECT_EQ(value, 2.0);
}

TEST(KeyList, CursorGivesTheSearchResultExactly) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        TKeyList list = RandomCurve(rng, 2 + round);
        std::uniform_real_distribution<double> anywhere(list.FirstKeyTime() - 20.0,
                                                        list.LastKeyTime() + 20.0);
        int32_t cursor = 0;
        for (int i = 0; i < 200; ++i) {
            // Mostly ascending, with jumps back and exact key times.
            double t = i % 17 == 0 ? anywhere(rng) : list.FirstKeyTime() + i * 0.37 * round;
            if (i % 23 == 0) t = list[i % list.Count()].TimeMs();
            double v[2], s[2];
            list.Evaluate(t, v[0], s[0]);
            list.Evaluate(t, v[1], s[1], cursor);
            ASSERT_TRUE(v[0] == v[1] && s[0] == s[1]) << t;
        }
    }
}

// Simpson's rule is exact for cubics, so splitting at the keys leaves only rounding.
double NumericIntegral(const TKeyList& list, double from, double to) {
    std::vector<double> cuts = {from, to};
    for (const TKey& k : list)
        if (k.TimeMs() > from && k.TimeMs() < to) cuts.push_back(k.TimeMs());
    std::sort(cuts.begin(), cuts.end());
    auto f = [&](double t) {
        double v, s;
        list.Evaluate(t, v, s);
        return v;
    };
    double sum = 0.0;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        // Nudged inwards: the curve drops to 0 right outside the span.
        const double a = std::nextafter(cuts[i], cuts[i + 1]);
        const double b = std::nextafter(cuts[i + 1], cuts[i]);
        sum += (cuts[i + 1] - cuts[i]) / 6.0 * (f(a) + 4.0 * f((a + b) / 2.0) + f(b));
    }
    return sum;
}

TEST(KeyList, IntegralMatchesNumericIntegrationOfEvaluate) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        TKeyList list = RandomCurve(rng, 1 + round % 9);
        std::uniform_real_distribution<double> bound(list.FirstKeyTime() - 50.0,
                                                     list.LastKeyTime() + 50.0);
        double from = bound(rng), to = bound(rng);
        if (from > to) std::swap(from, to);
        // Spans under ~1000 ms, values of a few units: 1e-9 is far above rounding.
        EXPECT_NEAR(list.Integral(from, to), NumericIntegral(list, from, to), 1e-9) << round;
        EXPECT_EQ(list.Integral(to, from), -list.Integral(from, to));
    }
    TKeyList ramp = FlatList({{0, 0.0}, {300, 1.0}});
    EXPECT_DOUBLE_EQ(ramp.Integral(-1000, 1000), 150.0);
    EXPECT_DOUBLE_EQ(ramp.Integral(0, 150), 28.125); // 300 * (u^3 - u^4 / 2) at u = 1/2
}

TEST(KeyList, RemoveKeyKeepingSlopesKeepsBothNeighbourSlopes) {
    std::mt19937 rng(3);
    for (int round = 0; round < 50; ++round) {
        TKeyList list = RandomCurve(rng, 3 + round % 6);
        const int32_t i = 1 + round % (list.Count() - 2);
        const double out = list[i - 1].OutSlope(), in = list[i + 1].InSlope();
        const double before = list[i - 1].TimeMs(), after = list[i + 1].TimeMs();
        ASSERT_EQ(list.RemoveKeyKeepingSlopes(i), eetSuccess);
        EXPECT_NEAR(list[i - 1].OutSlope(), out, 1e-12);
        EXPECT_NEAR(list[i].InSlope(), in, 1e-12);
        // The handles sit a third of the new gap from their keys.
        EXPECT_DOUBLE_EQ(list[i - 1].OutHandle().timeMs, before + (after - before) / 3.0);
        EXPECT_DOUBLE_EQ(list[i].InHandle().timeMs, after - (after - before) / 3.0);
    }
    TKeyList list = FlatList({{0, 1.0}, {90, 0.0}});
    EXPECT_EQ(list.RemoveKeyKeepingSlopes(2), eetRangeFailure);
    EXPECT_EQ(list.RemoveKeyKeepingSlopes(1), eetSuccess);
    EXPECT_EQ(list.RemoveKeyKeepingSlopes(0), eetSuccess);
    EXPECT_EQ(list.RemoveKey(0), eetRangeFailure);
}

// ---- Combination ----

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
    EXPECT_EQ(a[1].InHandle().value, 1.0);
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
    TKeyList steps; // keys 10 ms apart
    for (double value : {1.0, 1.0 + 2e-16, 1.0, 2.0, 2.0, 2.0, 2.0, 3.0})
        steps.Append(steps.Count() * 10, value);
    steps.SetFlatHandles();
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

} // namespace
} // namespace Vantrix
