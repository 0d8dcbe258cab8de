// The classifier's matrix-vector product and the choice of its routine for the processor.
#pragma once

#include <cstdint>

namespace Vantrix {

// out[r] = sum over q of weights[r * cols + q] * input[q], for r < rows; single precision.
// The weights are row-major; input and output must not overlap the weights or each other.
using TMatVecRoutine = void (*)(int32_t rows, int32_t cols, const float* weights,
                                const float* input, float* output);

// Routines the processor can be given.
enum EMatrixKernel : int32_t {
    mkPortable = 0, // plain C++, vectorised by the compiler for the baseline instruction set
    mkSse = 1,      // reserved for an SSE-only routine; never chosen on this platform
    mkAvx2Fma = 2,  // AVX2 with fused multiply-add
};

// Portable routine: two rows at a time, eight partial sums per row.
void matVecPortable(int32_t rows, int32_t cols, const float* weights, const float* input,
                    float* output);

// True when the processor runs matVecAvx2Fma.
bool cpuHasAvx2Fma();

// AVX2/FMA routine: four rows at a time. Only call it when cpuHasAvx2Fma().
void matVecAvx2Fma(int32_t rows, int32_t cols, const float* weights, const float* input,
                   float* output);

// The routine for a processor with the given features.
EMatrixKernel chooseMatrixKernel(bool hasAvx2, bool hasFma);

// The debug-trace line announcing a routine.
const char* matrixKernelTrace(EMatrixKernel kernel);

// Picks the routine for this processor and traces its line; only the first call does anything.
void selectMatrixKernel();

// The selected routine (the portable one until selectMatrixKernel has run).
TMatVecRoutine matrixKernel();
EMatrixKernel selectedMatrixKernel();

} // namespace Vantrix
