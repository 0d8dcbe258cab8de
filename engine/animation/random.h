// The seeded generator behind every random choice of the gesture stages: ran0 with a state mask.
#pragma once

#include <cstdint>

namespace Vantrix {

class TRandomGenerator {
public:
    static constexpr int32_t kMultiplier = 16807;
    static constexpr int32_t kModulus = 2147483647;
    static constexpr int32_t kQuotient = 127773;
    static constexpr int32_t kRemainder = 2836;
    static constexpr int32_t kMask = 123459876;
    // Stands in for a state equal to the mask, which the mask would turn into the fixed point 0.
    static constexpr int32_t kMaskedZero = 38673102;

    explicit TRandomGenerator(int32_t seed = 0) : state(seed) {}

    // The state is the seed itself.
    void Seed(int32_t seed) { state = seed; }
    int32_t State() const { return state; }

    // Next uniform deviate in [0, 1).
    double Next();

    // True when the next deviate is at most p. The deviate can be exactly 0 (after one seed),
    // and an event of probability 0 must never happen; the draw is taken either way, so every
    // other seed's sequence stays as it was.
    bool Chance(double p) {
        const double u = Next();
        return p > 0.0 && u <= p;
    }
    // lo + (hi - lo) u, clamped to [lo, hi].
    double Uniform(double lo, double hi);
    // Uniform integer in [lo, hi]; every integer gets an equal share of the deviate.
    int32_t UniformInt(int32_t lo, int32_t hi);
    // UniformInt(centre - spread, centre + spread).
    int32_t Jitter(int32_t centre, int32_t spread);
    // Index k whose share of the running weight sums holds the deviate; n - 1 when none does
    // (all weights zero, or rounding at the top). n must be at least 1.
    int32_t Choose(const double* weights, int32_t n);

private:
    int32_t state;
};

} // namespace Vantrix
