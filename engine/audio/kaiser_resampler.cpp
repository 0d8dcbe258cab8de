#include "kaiser_resampler.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>

namespace Vantrix {

TResampleRatio reduceRateRatio(uint32_t rateIn, uint32_t rateOut) {
    TResampleRatio ratio;
    if (rateIn == 0 || rateOut == 0) return ratio;
    uint32_t g = std::gcd(rateIn, rateOut);
    ratio.up = rateOut / g;
    ratio.down = rateIn / g;
    return ratio;
}

uint32_t kaiserHalfLength(double attenuationDb, double transitionWidth, uint32_t down) {
    if (!(attenuationDb > 7.95) || !(transitionWidth > 0) || !(transitionWidth <= 2) || down < 2)
        return 0;
    double k = std::ceil((attenuationDb - 7.95) / (transitionWidth * (0.5 / down) * 28.72));
    if (!(k < 4.0e9)) return 0;
    return std::max<uint32_t>(1, uint32_t(k));
}

double besselI0(double x) {
    double ax = std::fabs(x);
    if (ax < 3.75) {
        double t = (x / 3.75) * (x / 3.75);
        return 1.0 +
               t * (3.5156229 +
                    t * (3.0899424 +
                         t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813)))));
    }
    double u = 3.75 / ax;
    return std::exp(ax) / std::sqrt(ax) *
           (0.39894228 +
            u * (0.01328592 +
                 u * (0.00225319 +
                      u * (-0.00157565 +
                           u * (0.00916281 +
                                u * (-0.02057706 +
                                     u * (0.02635537 + u * (-0.01647633 + u * 0.00392377))))))));
}

namespace {

// Taps h[0..K] of the symmetric low-pass filter (h[-k] = h[k]).
std::vector<double> designFilter(uint32_t up, uint32_t down, uint32_t half, double attenuationDb) {
    const double pi = 4.0 * std::atan(1.0);
    double beta = 0.1102 * (attenuationDb - 8.71);
    double i0Beta = besselI0(beta);
    std::vector<double> h(size_t(half) + 1);
    h[0] = double(up) / double(down);
    for (uint32_t k = 1; k <= half; ++k) {
        double ratio = double(k) / double(half);
        h[k] = std::sin(k * pi / down) * up / (k * pi) *
               besselI0(beta * std::sqrt(1 - ratio * ratio)) / i0Beta;
    }
    return h;
}

// Per output phase r, the taps that meet x[q + s] for the s whose tap index lies in
// [-K, K], laid out in input order so that each output is one contiguous dot product.
struct TPolyphase {
    std::vector<double> taps;
    std::vector<size_t> start, count;
    std::vector<int64_t> firstOffset;
};

TPolyphase splitPhases(const std::vector<double>& h, uint32_t up, uint32_t half) {
    TPolyphase p;
    p.taps.reserve(2 * size_t(half) + 1 + up);
    p.start.resize(up);
    p.count.resize(up);
    p.firstOffset.resize(up);
    const int64_t K = half, L = up;
    for (int64_t r = 0; r < L; ++r) {
        // Tap index s * L - r must stay within [-K, K]; s starts at ceil((r - K) / L).
        const int64_t low = r - K;
        int64_t s = low >= 0 ? (low + L - 1) / L : -(-low / L);
        p.start[r] = p.taps.size();
        p.firstOffset[r] = s;
        for (; s * L - r <= K; ++s) {
            int64_t d = s * L - r;
            p.taps.push_back(h[size_t(d < 0 ? -d : d)]);
        }
        p.count[r] = p.taps.size() - p.start[r];
    }
    return p;
}

// Four independent partial sums keep the floating-point adder busy.
inline double dot(const double* x, const double* c, size_t n) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += x[i] * c[i];
        s1 += x[i + 1] * c[i + 1];
        s2 += x[i + 2] * c[i + 2];
        s3 += x[i + 3] * c[i + 3];
    }
    for (; i < n; ++i)
        s0 += x[i] * c[i];
    return (s0 + s1) + (s2 + s3);
}

} // namespace

EErrorType kaiserResample(const double* x, uint32_t n, uint32_t rateIn, uint32_t rateOut,
                          double transitionWidth, double attenuationDb,
                          std::vector<double>& output) {
    if (!x || n == 0 || rateIn == 0 || rateOut == 0 || rateIn == rateOut || !output.empty() ||
        !(transitionWidth > 0) || !(transitionWidth <= 2) || !(attenuationDb > 8.71))
        return eetArgumentFailure;
    TResampleRatio ratio = reduceRateRatio(rateIn, rateOut);
    const uint32_t L = ratio.up, M = ratio.down;
    const uint32_t K = kaiserHalfLength(attenuationDb, transitionWidth, M);
    if (K == 0 || L < 1 || L >= M) return eetArgumentFailure;
    try {
        TPolyphase phases = splitPhases(designFilter(L, M, K, attenuationDb), L, K);

        // Edge samples repeated on both sides replace per-tap index clamping.
        const size_t pad = size_t(K) / L + 2;
        std::vector<double> padded(size_t(n) + 2 * pad);
        std::fill(padded.begin(), padded.begin() + pad, x[0]);
        std::copy(x, x + n, padded.begin() + pad);
        std::fill(padded.end() - pad, padded.end(), x[n - 1]);
        const double* xp = padded.data() + pad;

        const uint64_t m = uint64_t(L) * n / M + 1;
        std::vector<double> result(m);
        const double* taps = phases.taps.data();
        for (uint64_t j = 0; j < m; ++j) {
            const uint64_t t = j * M;
            const uint64_t q = t / L;
            const uint32_t r = uint32_t(t % L);
            result[j] = dot(xp + int64_t(q) + phases.firstOffset[r], taps + phases.start[r],
                            phases.count[r]);
        }
        output.swap(result);
        return eetSuccess;
    } catch (const std::bad_alloc&) {
        std::vector<double>().swap(output);
        return eetCreateFailure;
    }
}

} // namespace Vantrix
