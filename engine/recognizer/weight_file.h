// Recurrent phoneme networks as stored in the engine's weight files.
//
// A weight file is a sequence of 32-bit big-endian words: the state count S, five unused
// integers, the input range i0 and i1, one integer overwritten by the next, the first computed
// unit c0, the first output unit o0 and the unit count U; then U reals (every unit's initial
// value) and (U - c0) x c0 reals (one row of weights per computed unit, one column per source
// unit 0..c0-1). Reals are IEEE single precision.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Vantrix {

// Header words 0..11 of a weight file (48 bytes).
constexpr size_t kWeightHeaderBytes = 48;
// Inputs a network may read from one feature record.
constexpr int32_t kMaxNetworkInputs = 13;

// Unit layout: constants [0, i0), inputs [i0, i1), state [i1, c0), hidden [c0, o0),
// outputs [o0, U). The state is a copy of the first S computed units of the previous step.
struct TNetworkLayout {
    int32_t stateCount = 0;    // S
    int32_t firstInput = 0;    // i0
    int32_t inputEnd = 0;      // i1
    int32_t firstComputed = 0; // c0
    int32_t firstOutput = 0;   // o0
    int32_t unitCount = 0;     // U

    int32_t InputCount() const { return inputEnd - firstInput; }
    int32_t ComputedCount() const { return unitCount - firstComputed; }
    int32_t ClassCount() const { return unitCount - firstOutput; }
    // Reals after the header: initial values and weights.
    uint64_t RealCount() const {
        return uint64_t(unitCount) + uint64_t(ComputedCount()) * uint64_t(firstComputed);
    }
};

// Throws eetCatastrophicFailure unless S = c0 - i1 and 0 <= i0 < i1 <= c0 <= o0 < U, with at
// most kMaxNetworkInputs inputs and the state inside the computed units.
void checkNetworkLayout(const TNetworkLayout& layout);

// Float block aligned for vector loads; contents uninitialised until written.
class TAlignedFloats {
public:
    TAlignedFloats() = default;
    // Throws eetCatastrophicFailure when memory runs out.
    explicit TAlignedFloats(size_t count);
    float* data() { return block.get(); }
    const float* data() const { return block.get(); }
    size_t size() const { return count; }

private:
    struct TFree {
        void operator()(float* p) const;
    };
    std::unique_ptr<float[], TFree> block;
    size_t count = 0;
};

// One network's layout, initial unit values and row-major weights.
class TNetworkWeights {
public:
    TNetworkWeights() = default;
    // Checks the layout (checkNetworkLayout) and allocates zeroed values and weights.
    explicit TNetworkWeights(const TNetworkLayout& layout);

    const TNetworkLayout& Layout() const { return layout; }
    // U initial unit values.
    float* InitialUnits() { return initial.data(); }
    const float* InitialUnits() const { return initial.data(); }
    // (U - c0) rows of c0 weights.
    float* Weights() { return weights.data(); }
    const float* Weights() const { return weights.data(); }

private:
    TNetworkLayout layout;
    TAlignedFloats initial;
    TAlignedFloats weights;
};

// Reads a weight file. Every size is checked against the file's length before anything is
// allocated. Throws eetOpenFailure when the file cannot be opened and eetCatastrophicFailure
// for a short or inconsistent file.
TNetworkWeights loadNetworkWeights(const std::string& path);

} // namespace Vantrix
