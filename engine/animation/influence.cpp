#include "influence.h"

#include <cmath>

#include "rounding.h"

namespace Vantrix {

double TransitionWeight(double d, TInfluenceWindow window, double exponent) {
    const double a = window.low;
    const double b = window.high;
    if (d >= b) return 1.0;
    if (d >= (a + b) * 0.5) return 1.0 - 0.5 * std::pow(2.0 * (b - d) / (b - a), exponent);
    if (d > a) return 0.5 * std::pow(2.0 * (d - a) / (b - a), exponent);
    return 0.0;
}

TInfluenceModel::TInfluenceModel() : dominance(0, RuleIndex::kLast, 0, RuleIndex::kLast) {}

void TInfluenceModel::Build(const TCoarticulationRulesMap& rules) {
    double deform[RuleIndex::kCount];
    for (int32_t i = 0; i < RuleIndex::kCount; ++i)
        deform[i] = rules.Deformability(i);

    AMatrix<double> matrix(0, RuleIndex::kLast, 0, RuleIndex::kLast);
    for (int32_t i = 0; i < RuleIndex::kCount; ++i)
        for (int32_t j = 0; j < RuleIndex::kCount; ++j)
            matrix.At(i, j) = 1.0 - deform[i] * (1.0 - deform[j]);

    // Strict comparisons: the first index wins a tie.
    double highest = -1.0;
    double lowest = 2.0;
    int32_t hi = 0;
    int32_t lo = 0;
    for (int32_t i = 0; i < RuleIndex::kCount; ++i) {
        if (deform[i] > highest) {
            highest = deform[i];
            hi = i;
        }
        if (deform[i] < lowest) {
            lowest = deform[i];
            lo = i;
        }
    }
    const double newMax = matrix.At(lo, hi);
    const double newMin = matrix.At(hi, lo);
    if (newMin > newMax) throw eetRangeFailure;

    dominance = std::move(matrix);
    dmax = newMax;
    dmin = newMin;
    mostDeformable = hi;
    leastDeformable = lo;
    lowAtMax = rules.WindowLowAtMaxDominance();
    lowAtMin = rules.WindowLowAtMinDominance();
    highAtMax = rules.WindowHighAtMaxDominance();
    highAtMin = rules.WindowHighAtMinDominance();
    exponent = rules.WindowExponent();
}

TInfluenceWindow TInfluenceModel::Window(double m) const {
    TInfluenceWindow w;
    if (dmax == dmin) {
        w = {lowAtMax, highAtMin};
    } else {
        const double t = (m - dmin) / (dmax - dmin);
        w.low = nearest(lowAtMin - (double(lowAtMin) - lowAtMax) * t);
        w.high = nearest(highAtMin - (double(highAtMin) - highAtMax) * t);
        // a + 1 cannot be formed at the top of the range; the window then does not exist.
        if (w.high <= w.low && w.low < INT32_MAX) w.high = w.low + 1;
    }
    if (w.low >= w.high) throw eetDataFailure;
    return w;
}

} // namespace Vantrix
