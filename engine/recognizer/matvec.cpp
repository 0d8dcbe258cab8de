#include "matvec.h"

#include <cstring>
#include <mutex>

#include "trace.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VX_HAVE_X86 1
#else
#define VX_HAVE_X86 0
#endif

namespace Vantrix {

namespace {

TMatVecRoutine gRoutine = matVecPortable;
EMatrixKernel gKernel = mkPortable;
std::once_flag gSelectOnce;

// Four-lane vectors in the compiler's generic vector extension: SSE registers on x86, NEON
// on ARM, plain code elsewhere.
typedef float TLanes __attribute__((vector_size(16)));

inline TLanes loadLanes(const float* p) {
    TLanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline float laneSum(TLanes a, TLanes b) {
    const TLanes s = a + b;
    return (s[0] + s[2]) + (s[1] + s[3]);
}

// Eight partial sums per row (two vectors) keep two independent chains in flight.
inline void dotTwoRows(int32_t cols, const float* w0, const float* w1, const float* x, float& out0,
                       float& out1) {
    TLanes a0 = {0, 0, 0, 0}, a1 = a0, b0 = a0, b1 = a0;
    int32_t q = 0;
    for (; q + 8 <= cols; q += 8) {
        const TLanes x0 = loadLanes(x + q), x1 = loadLanes(x + q + 4);
        a0 += loadLanes(w0 + q) * x0;
        a1 += loadLanes(w0 + q + 4) * x1;
        b0 += loadLanes(w1 + q) * x0;
        b1 += loadLanes(w1 + q + 4) * x1;
    }
    float s0 = laneSum(a0, a1), s1 = laneSum(b0, b1);
    for (; q < cols; ++q) {
        s0 += w0[q] * x[q];
        s1 += w1[q] * x[q];
    }
    out0 = s0;
    out1 = s1;
}

inline float dotOneRow(int32_t cols, const float* w, const float* x) {
    TLanes a0 = {0, 0, 0, 0}, a1 = a0;
    int32_t q = 0;
    for (; q + 8 <= cols; q += 8) {
        a0 += loadLanes(w + q) * loadLanes(x + q);
        a1 += loadLanes(w + q + 4) * loadLanes(x + q + 4);
    }
    float s = laneSum(a0, a1);
    for (; q < cols; ++q)
        s += w[q] * x[q];
    return s;
}

#if VX_HAVE_X86
// Eight -1 words then eight 0 words: loading from (8 - n) masks the first n lanes.
alignas(64) const int32_t kLaneMask[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0};

__attribute__((target("avx2,fma"))) inline float horizontalSum(__m256 v) {
    __m128 s = _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    s = _mm_add_ps(s, _mm_movehl_ps(s, s));
    s = _mm_add_ss(s, _mm_shuffle_ps(s, s, 1));
    return _mm_cvtss_f32(s);
}
#endif

} // namespace

void matVecPortable(int32_t rows, int32_t cols, const float* weights, const float* input,
                    float* output) {
    const size_t stride = size_t(cols > 0 ? cols : 0);
    int32_t r = 0;
    for (; r + 2 <= rows; r += 2) {
        const float* w0 = weights + size_t(r) * stride;
        dotTwoRows(cols, w0, w0 + stride, input, output[r], output[r + 1]);
    }
    if (r < rows) output[r] = dotOneRow(cols, weights + size_t(r) * stride, input);
}

#if VX_HAVE_X86

bool cpuHasAvx2Fma() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

__attribute__((target("avx2,fma"))) void
matVecAvx2Fma(int32_t rows, int32_t cols, const float* weights, const float* input, float* output) {
    if (cols <= 0) {
        for (int32_t r = 0; r < rows; ++r)
            output[r] = 0.0f;
        return;
    }
    const size_t stride = size_t(cols);
    const int32_t full = cols & ~7;
    const int32_t rest = cols - full;
    const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLaneMask + 8 - rest));
    const __m256 xTail = rest ? _mm256_maskload_ps(input + full, mask) : _mm256_setzero_ps();

    int32_t r = 0;
    for (; r + 4 <= rows; r += 4) {
        const float* w0 = weights + size_t(r) * stride;
        const float* w1 = w0 + stride;
        const float* w2 = w1 + stride;
        const float* w3 = w2 + stride;
        __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps();
        __m256 a2 = _mm256_setzero_ps(), a3 = _mm256_setzero_ps();
        for (int32_t q = 0; q < full; q += 8) {
            const __m256 x = _mm256_loadu_ps(input + q);
            a0 = _mm256_fmadd_ps(_mm256_loadu_ps(w0 + q), x, a0);
            a1 = _mm256_fmadd_ps(_mm256_loadu_ps(w1 + q), x, a1);
            a2 = _mm256_fmadd_ps(_mm256_loadu_ps(w2 + q), x, a2);
            a3 = _mm256_fmadd_ps(_mm256_loadu_ps(w3 + q), x, a3);
        }
        if (rest) {
            a0 = _mm256_fmadd_ps(_mm256_maskload_ps(w0 + full, mask), xTail, a0);
            a1 = _mm256_fmadd_ps(_mm256_maskload_ps(w1 + full, mask), xTail, a1);
            a2 = _mm256_fmadd_ps(_mm256_maskload_ps(w2 + full, mask), xTail, a2);
            a3 = _mm256_fmadd_ps(_mm256_maskload_ps(w3 + full, mask), xTail, a3);
        }
        output[r] = horizontalSum(a0);
        output[r + 1] = horizontalSum(a1);
        output[r + 2] = horizontalSum(a2);
        output[r + 3] = horizontalSum(a3);
    }
    for (; r < rows; ++r) {
        const float* w = weights + size_t(r) * stride;
        __m256 a = _mm256_setzero_ps();
        for (int32_t q = 0; q < full; q += 8)
            a = _mm256_fmadd_ps(_mm256_loadu_ps(w + q), _mm256_loadu_ps(input + q), a);
        if (rest) a = _mm256_fmadd_ps(_mm256_maskload_ps(w + full, mask), xTail, a);
        output[r] = horizontalSum(a);
    }
}

#else

bool cpuHasAvx2Fma() {
    return false;
}

void matVecAvx2Fma(int32_t rows, int32_t cols, const float* weights, const float* input,
                   float* output) {
    matVecPortable(rows, cols, weights, input, output);
}

#endif

EMatrixKernel chooseMatrixKernel(bool hasAvx2, bool hasFma) {
    return (hasAvx2 && hasFma) ? mkAvx2Fma : mkPortable;
}

const char* matrixKernelTrace(EMatrixKernel kernel) {
    switch (kernel) {
    case mkAvx2Fma:
        return "Vantrix: using code optimized for the Pentium 4.\n";
    case mkSse:
        return "Vantrix: using code optimized for the Pentium III.\n";
    case mkPortable:
        break;
    }
    return "Vantrix: using default (unoptimized) code.\n";
}

void selectMatrixKernel() {
    std::call_once(gSelectOnce, [] {
        const bool fast = cpuHasAvx2Fma();
        gKernel = chooseMatrixKernel(fast, fast);
        gRoutine = gKernel == mkAvx2Fma ? matVecAvx2Fma : matVecPortable;
        Trace("%s", matrixKernelTrace(gKernel));
    });
}

TMatVecRoutine matrixKernel() {
    return gRoutine;
}
EMatrixKernel selectedMatrixKernel() {
    return gKernel;
}

} // namespace Vantrix
