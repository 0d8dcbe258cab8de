// Integer log scores of the search: 1/8192 of a decimal logarithm.
#pragma once

#include <cmath>
#include <cstdint>

namespace Vantrix {

// Score of a state nothing can reach.
constexpr int32_t kUnreachableScore = -(int32_t(1) << 30);

// Width of the pruning beam: 256 decades.
constexpr int32_t kBeamWidth = 2097152;

// floor(log10(p) * 8192 + 0.5); kUnreachableScore for p <= 0 or anything lower.
inline int32_t LogScore(double p) {
    if (!(p > 0.0)) return kUnreachableScore;
    double score = std::floor(std::log10(p) * 8192.0 + 0.5);
    if (score <= double(kUnreachableScore)) return kUnreachableScore;
    return int32_t(score);
}

} // namespace Vantrix
