// Double to int32 rounding: halves away from zero, saturating at the int32 limits.
#pragma once

#include <cstdint>

namespace Vantrix {

inline int32_t nearest(double x) {
    if (x == 0.0) return 0;
    if (x > 0.0) {
        double y = x + 0.5;
        if (y > 2147483647.0) return INT32_MAX;
        return int32_t(y);
    }
    double y = x - 0.5;
    // NaN falls through every comparison; treat it as 0 rather than converting it.
    if (y <= -2147483648.0) return INT32_MIN;
    if (!(y < 0.0)) return 0;
    return int32_t(y);
}

} // namespace Vantrix
