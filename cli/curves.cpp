#include "curves.h"

#include <algorithm>
#include <cmath>

namespace Vantrix {

namespace {

// The engine keeps key times in whole milliseconds; the interface hands them out in seconds.
double Milliseconds(double seconds) {
    return std::round(seconds * 1000.0);
}

// Below this the engine stores an exact 0.
double ZeroIfNegligible(double x) {
    return std::fabs(x) < 4.440892098500626e-16 ? 0.0 : x;
}

} // namespace

double EvaluateKeys(const std::vector<TResultKey>& keys, double seconds) {
    if (keys.empty()) return 0.0;
    const double t = seconds * 1000.0;
    const double first = Milliseconds(keys.front().time);
    const double last = Milliseconds(keys.back().time);
    if (!(t >= first && t <= last)) return 0.0;
    if (keys.size() == 1) return keys.front().value;
    // The segment whose left key is the last one at or before t; the last segment at the end.
    const auto after =
        std::upper_bound(keys.begin(), keys.end(), t,
                         [](double x, const TResultKey& k) { return x < Milliseconds(k.time); });
    const size_t k = std::min(size_t(after - keys.begin()) - 1, keys.size() - 2);
    const TResultKey& a = keys[k];
    const TResultKey& b = keys[k + 1];
    const double t0 = Milliseconds(a.time);
    const double gap = Milliseconds(b.time) - t0;
    if (gap <= 0.0) return a.value;
    const double p0 = a.value;
    const double p1 = a.value + a.outSlope * gap / 3.0;
    const double p2 = b.value - b.inSlope * gap / 3.0;
    const double p3 = b.value;
    const double c1 = 3.0 * (p1 - p0);
    const double c2 = 3.0 * (p0 - 2.0 * p1 + p2);
    const double c3 = p3 - p0 + 3.0 * (p1 - p2);
    const double u = (t - t0) / gap;
    return ZeroIfNegligible(p0 + c1 * u + c2 * u * u + c3 * u * u * u);
}

int32_t FrameCount(double duration, int32_t fps) {
    if (!(duration > 0.0) || fps <= 0) return 1;
    // A duration a rounding error past a frame boundary does not earn another frame.
    const double frames = std::ceil(duration * fps - 1e-9);
    return int32_t(frames) + 1;
}

std::vector<double> SampleFrames(const std::vector<TResultKey>& keys, int32_t fps, int32_t count) {
    std::vector<double> values(size_t(std::max(count, 0)));
    for (int32_t f = 0; f < count; ++f)
        values[size_t(f)] = EvaluateKeys(keys, double(f) / fps);
    return values;
}

} // namespace Vantrix
