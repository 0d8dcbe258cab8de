#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../core/trace_capture.h"
#include "matvec.h"

using namespace Vantrix;

namespace {

// Compares a routine with a double-precision sum; the bound is float rounding of the sum.
void ExpectMatchesReference(TMatVecRoutine routine, const char* name) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    std::uniform_int_distribution<int> size(1, 75);
    for (int trial = 0; trial < 300; ++trial) {
        const int rows = size(rng), cols = trial < 20 ? trial + 1 : size(rng);
        std::vector<float> w(size_t(rows) * size_t(cols)), x(static_cast<size_t>(cols));
        std::vector<float> out(size_t(rows) + 1, -7.0f);
        for (float& v : w)
            v = value(rng);
        for (float& v : x)
            v = value(rng);
        routine(rows, cols, w.data(), x.data(), out.data());
        for (int r = 0; r < rows; ++r) {
            double exact = 0, magnitude = 0;
            for (int q = 0; q < cols; ++q) {
                exact += double(w[size_t(r * cols + q)]) * x[size_t(q)];
                magnitude += std::fabs(double(w[size_t(r * cols + q)]) * x[size_t(q)]);
            }
            ASSERT_NEAR(out[size_t(r)], exact, 1e-6 * magnitude * cols + 1e-30)
                << name << " " << rows << "x" << cols << " row " << r;
        }
        ASSERT_EQ(out[size_t(rows)], -7.0f) << name << ": wrote past the output";
    }
}

} // namespace

TEST(ClassifierMatVec, RoutinesMatchReference) {
    ExpectMatchesReference(matVecPortable, "portable");
    if (!cpuHasAvx2Fma()) GTEST_SKIP() << "no AVX2/FMA on this processor for the vector routine";
    ExpectMatchesReference(matVecAvx2Fma, "avx2");
}

TEST(ClassifierMatVec, ChoiceFollowsProcessorFeatures) {
    for (bool avx2 : {true, false})
        for (bool fma : {true, false})
            EXPECT_EQ(chooseMatrixKernel(avx2, fma), avx2 && fma ? mkAvx2Fma : mkPortable);
    EXPECT_STREQ(matrixKernelTrace(mkAvx2Fma),
                 "Vantrix: using code optimized for the Pentium 4.\n");
    EXPECT_STREQ(matrixKernelTrace(mkSse), "Vantrix: using code optimized for the Pentium III.\n");
    EXPECT_STREQ(matrixKernelTrace(mkPortable), "Vantrix: using default (unoptimized) code.\n");
}

TEST(ClassifierMatVec, SelectionTracesOnceAndSticks) {
    TraceCapture trace;
    selectMatrixKernel();
    selectMatrixKernel();
    const EMatrixKernel expected = chooseMatrixKernel(cpuHasAvx2Fma(), cpuHasAvx2Fma());
    EXPECT_EQ(selectedMatrixKernel(), expected);
    EXPECT_EQ(trace.Text(), matrixKernelTrace(expected)); // this executable selects nowhere else
    EXPECT_EQ(matrixKernel(), expected == mkAvx2Fma ? matVecAvx2Fma : matVecPortable);
}
