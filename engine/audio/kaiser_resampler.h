// Kaiser-windowed polyphase rate conversion of a sample array.
#pragma once

#include <cstdint>
#include <vector>

#include "errors.h"

namespace Vantrix {

// Up factor L and down factor M: the rate ratio reduced by the greatest common divisor.
struct TResampleRatio {
    uint32_t up = 0;
    uint32_t down = 0;
};
TResampleRatio reduceRateRatio(uint32_t rateIn, uint32_t rateOut);

// Half-length K of the low-pass filter; 0 when the parameters allow no filter.
uint32_t kaiserHalfLength(double attenuationDb, double transitionWidth, uint32_t down);

// Converts x (n samples at rateIn) to rateOut into output, which must be empty on entry.
// Output length is floor(L * n / M) + 1; input indices are clamped so the edges repeat.
// Returns eetSuccess, eetArgumentFailure for unusable arguments (including rateOut above
// rateIn) or eetCreateFailure when memory runs out; output stays empty on failure.
EErrorType kaiserResample(const double* x, uint32_t n, uint32_t rateIn, uint32_t rateOut,
                          double transitionWidth, double attenuationDb,
                          std::vector<double>& output);

// Modified Bessel function of the first kind, order 0 (polynomial approximation).
double besselI0(double x);

} // namespace Vantrix
