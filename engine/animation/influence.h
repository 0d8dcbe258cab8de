// Influence model of a rules map: phoneme dominance, its bounds, the influence window and the
// transition weight through it.
#pragma once

#include <cfloat>
#include <cstdint>

#include "coarticulation_rules.h"
#include "containers.h"

namespace Vantrix {

// Window edges in ms, low < high.
struct TInfluenceWindow {
    int32_t low;
    int32_t high;
};

// Transition weight of a duration through a window: 0 at or below low, 0.5 at the middle,
// 1 at or above high, with the given exponent.
double TransitionWeight(double durationMs, TInfluenceWindow window, double exponent);

class TInfluenceModel {
public:
    // Unbuilt: bounds at the largest finite and the smallest normal double, matrix zero.
    TInfluenceModel();

    // Builds the dominance matrix and its bounds from the rules, which the model keeps no
    // reference to. Throws eetRangeFailure when the bounds come out inverted (the model is
    // then left as it was).
    void Build(const TCoarticulationRulesMap& rules);

    double Dmax() const { return dmax; }
    double Dmin() const { return dmin; }
    // First phoneme indices of the largest and the smallest deformability.
    int32_t MostDeformable() const { return mostDeformable; }
    int32_t LeastDeformable() const { return leastDeformable; }
    // Dominance of phoneme index i over neighbour j; throws eetRangeFailure outside 0..42.
    double Dominance(int32_t i, int32_t j) const { return dominance.At(i, j); }

    // Window of a dominance value; throws eetDataFailure when no window low < high exists.
    TInfluenceWindow Window(double dominanceValue) const;
    // Transition weight with the rules' exponent.
    double S(double durationMs, TInfluenceWindow window) const {
        return TransitionWeight(durationMs, window, exponent);
    }

private:
    double dmax = DBL_MAX;
    double dmin = DBL_MIN;
    AMatrix<double> dominance;
    int32_t mostDeformable = 0;
    int32_t leastDeformable = 0;
    // Window parameters taken from the rules at Build().
    int32_t lowAtMax = 0;
    int32_t lowAtMin = 0;
    int32_t highAtMax = 0;
    int32_t highAtMin = 0;
    double exponent = 1.0;
};

} // namespace Vantrix
