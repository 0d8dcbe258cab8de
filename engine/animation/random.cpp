#include "random.h"

#include <algorithm>

#include "rounding.h"

namespace Vantrix {

double TRandomGenerator::Next() {
    // Schrage's method keeps 16807 * state mod (2^31 - 1) inside 32 bits.
    int32_t s = state == kMask ? kMaskedZero : state ^ kMask;
    const int32_t k = s / kQuotient;
    s = kMultiplier * (s - k * kQuotient) - kRemainder * k;
    if (s < 0) s += kModulus;
    const double u = s * (1.0 / kModulus);
    state = s ^ kMask;
    return u;
}

double TRandomGenerator::Uniform(double lo, double hi) {
    const double x = lo + (hi - lo) * Next();
    return std::min(std::max(x, lo), hi);
}

int32_t TRandomGenerator::UniformInt(int32_t lo, int32_t hi) {
    const double u = Next();
    const int32_t x = nearest((double(lo) - 0.5) + u * (double(hi) - double(lo) + 1.0));
    return std::min(std::max(x, lo), hi);
}

int32_t TRandomGenerator::Jitter(int32_t centre, int32_t spread) {
    const int64_t lo = int64_t(centre) - spread;
    const int64_t hi = int64_t(centre) + spread;
    return UniformInt(int32_t(std::max<int64_t>(lo, INT32_MIN)),
                      int32_t(std::min<int64_t>(hi, INT32_MAX)));
}

int32_t TRandomGenerator::Choose(const double* weights, int32_t n) {
    const double u = Next();
    double total = 0.0;
    for (int32_t k = 0; k < n; ++k)
        total += weights[k];
    if (!(total > 0.0)) return n - 1;
    double below = 0.0;
    double running = 0.0;
    for (int32_t k = 0; k < n; ++k) {
        running += weights[k];
        const double above = running / total;
        if (below <= u && u < above) return k;
        below = above;
    }
    return n - 1;
}

} // namespace Vantrix
