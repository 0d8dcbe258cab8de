#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "../core/thrown.h"
#include "coarticulation_rules.h"
#include "gestures_support.h"
#include "influence.h"
#include "rules_mapper.h"

namespace Vantrix {
namespace {

constexpr int32_t kIy = 0;
constexpr int32_t kAe = 4;
constexpr int32_t kS = 16;
constexpr int32_t kM = 24;
constexpr int32_t kHh = 31;

TInfluenceModel DefaultModel() {
    TInfluenceModel model;
    model.Build(DefaultCoarticulationRules());
    return model;
}

TEST(RulesMap, ScalarSettersRefuseWithoutChanging) {
    using TSetter = int32_t (TCoarticulationRulesMap::*)(int32_t);
    using TGetter = int32_t (TCoarticulationRulesMap::*)() const;
    using R = TCoarticulationRulesMap;
    const struct {
        TSetter set;
        TGetter get;
        int32_t bad, lowest;
    } cases[] = {
        {&R::SetMinKeySpacing, &R::MinKeySpacing, 0, 1},
        {&R::SetShortSilenceMaxDuration, &R::ShortSilenceMaxDuration, 0, 1},
        {&R::SetRampTime, &R::RampTime, 0, 1},
        {&R::SetFastRampTime, &R::FastRampTime, 0, 1},
        {&R::SetWindowLowAtMinDominance, &R::WindowLowAtMinDominance, 0, 1},
        {&R::SetWindowHighAtMinDominance, &R::WindowHighAtMinDominance, 0, 1},
        {&R::SetWindowLowAtMaxDominance, &R::WindowLowAtMaxDominance, -1, 0},
        {&R::SetWindowHighAtMaxDominance, &R::WindowHighAtMaxDominance, -1, 0},
    };
    for (const auto& c : cases) {
        TCoarticulationRulesMap rules = DefaultCoarticulationRules();
        const int32_t before = (rules.*c.get)();
        EXPECT_EQ((rules.*c.set)(c.bad), eetArgumentFailure) << c.bad;
        EXPECT_EQ((rules.*c.get)(), before);
        EXPECT_EQ((rules.*c.set)(c.lowest), eetSuccess) << c.lowest;
        EXPECT_EQ((rules.*c.get)(), c.lowest);
    }
    TCoarticulationRulesMap rules = DefaultCoarticulationRules();
    EXPECT_EQ(rules.SetWindowExponent(0.0), eetArgumentFailure);
    EXPECT_EQ(rules.SetWindowExponent(std::nan("")), eetArgumentFailure);
    EXPECT_EQ(rules.WindowExponent(), 1.3);
    EXPECT_EQ(rules.SetWindowExponent(1e-9), eetSuccess);
}

TEST(RulesMap, PerPhonemeSettersCheckIndexThenValue) {
    TCoarticulationRulesMap rules = DefaultCoarticulationRules();
    EXPECT_EQ(rules.SetDeformability(43, 0.5), eetRangeFailure);
    EXPECT_EQ(rules.SetDeformability(43, 1.5), eetRangeFailure);
    EXPECT_EQ(rules.SetDeformability(kS, 1.5), eetArgumentFailure);
    EXPECT_EQ(rules.SetDeformability(kS, std::nan("")), eetArgumentFailure);
    EXPECT_EQ(rules.Deformability(kS), 0.55);
    EXPECT_EQ(rules.SetDeformability(kS, 1.0), eetSuccess);
    EXPECT_EQ(rules.Deformability(kS), 1.0);

    EXPECT_EQ(rules.SetOnsetOffset(43, 0), eetRangeFailure);
    EXPECT_EQ(rules.SetSubstitutionPhoneme(43, 1), eetRangeFailure);
    EXPECT_EQ(rules.SetSubstitutionPhoneme(kS, 43), eetArgumentFailure);
    EXPECT_EQ(rules.SetSubstitutionDuration(43, 100), eetRangeFailure);
    EXPECT_EQ(rules.SetSubstitutionDuration(kS, 15), eetArgumentFailure);
    EXPECT_EQ(rules.Substitution(kS).phoneme, 15);
    EXPECT_EQ(rules.Substitution(kS).duration, 43);
    EXPECT_EQ(rules.SetSubstitutionDuration(kS, 16), eetSuccess);

    EXPECT_EQ(ThrownKind([&] { rules.Deformability(43); }), eetRangeFailure);
}

TEST(RulesMap, ValidationNeedsOrderedWindowEdges) {
    // (low at max, low at min, high at max, high at min) on top of the defaults 0, 20, 20, 162.
    const struct {
        int32_t edges[4];
        bool valid;
    } cases[] = {
        {{20, 20, 20, 162}, false}, // low 20 is not below high 20
        {{0, 162, 20, 162}, false}, {{10, 5, 20, 162}, false},
        {{0, 20, 170, 165}, false}, {{0, 19, 21, 162}, true},
    };
    for (const auto& c : cases) {
        TCoarticulationRulesMap rules = DefaultCoarticulationRules();
        rules.SetWindowLowAtMaxDominance(c.edges[0]);
        rules.SetWindowLowAtMinDominance(c.edges[1]);
        rules.SetWindowHighAtMaxDominance(c.edges[2]);
        rules.SetWindowHighAtMinDominance(c.edges[3]);
        EXPECT_EQ(rules.Validate(), c.valid) << c.edges[0] << " " << c.edges[1];
    }
}

TEST(RulesMapper, SelectsTheFirstDefaultAndNotifies) {
    testing_support::ExpectSelectsTheFirstDefault<TRulesMapper>(
        &TCoarticulationRulesMap::SetRampTime, &TCoarticulationRulesMap::RampTime);
}

TEST(InfluenceModel, DefaultBoundsAndTieRule) {
    const TInfluenceModel model = DefaultModel();
    EXPECT_EQ(model.Dmax(), 1.0);
    EXPECT_EQ(model.Dmin(), 1.0 - 0.9);
    EXPECT_EQ(model.MostDeformable(), kHh); // 0.9 also at g, k, sil, SHORTSIL
    EXPECT_EQ(model.LeastDeformable(), kM); // 0.0 also at b and p
    EXPECT_DOUBLE_EQ(model.Dominance(kAe, kIy), 0.79);
    EXPECT_DOUBLE_EQ(model.Dominance(kS, kAe), 0.615);
    EXPECT_THROW(model.Dominance(43, 0), EErrorType);
}

std::pair<int32_t, int32_t> Edges(const TInfluenceWindow& w) {
    return {w.low, w.high};
}

TEST(InfluenceModel, WindowsOfKnownPairs) {
    const TInfluenceModel model = DefaultModel();
    const double d = model.Dominance(kAe, kIy);
    EXPECT_NEAR((d - model.Dmin()) / (model.Dmax() - model.Dmin()), 0.7667, 1e-4);
    EXPECT_EQ(Edges(model.Window(d)), std::make_pair(5, 53));
    EXPECT_NEAR(model.S(40, model.Window(d)), 0.7747, 1e-4);
    EXPECT_EQ(Edges(model.Window(model.Dominance(kS, kAe))), std::make_pair(9, 81));

    const TInfluenceWindow w = model.Window(model.Dominance(kHh, kM));
    EXPECT_EQ(Edges(w), std::make_pair(20, 162));
    const std::pair<int32_t, double> shares[] = {
        {5, 0.0}, {20, 0.0}, {91, 0.5}, {162, 1.0}, {1000, 1.0}};
    for (const auto& [t, share] : shares)
        EXPECT_EQ(model.S(t, w), share) << t;

    for (int32_t neighbour = 0; neighbour <= 42; ++neighbour) {
        const TInfluenceWindow m = model.Window(model.Dominance(kM, neighbour));
        EXPECT_EQ(Edges(m), std::make_pair(0, 20)) << neighbour;
        EXPECT_EQ(model.S(10, m), 0.5);
    }
}

// Beyond the bounds the edges extrapolate and cross, and the window keeps 1 ms; with equal bounds
// the outer edges are used.
TEST(InfluenceModel, CollapsedWindowsAndEqualBounds) {
    EXPECT_EQ(Edges(DefaultModel().Window(0.1 + 2.0 * 0.9)), std::make_pair(-20, -19));
    TCoarticulationRulesMap rules = DefaultCoarticulationRules();
    for (int32_t i = 0; i <= 42; ++i)
        rules.SetDeformability(i, 0.5);
    TInfluenceModel model;
    model.Build(rules);
    ASSERT_EQ(model.Dmax(), model.Dmin());
    EXPECT_EQ(Edges(model.Window(0.3)), std::make_pair(0, 162));

    // Only an unvalidated map can make the window empty.
    rules.SetWindowLowAtMaxDominance(200);
    model.Build(rules);
    EXPECT_EQ(ThrownKind([&] { model.Window(0.3); }), eetDataFailure);
}

} // namespace
} // namespace Vantrix
