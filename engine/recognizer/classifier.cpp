#include "classifier.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "errors.h"
#include "matvec.h"

namespace Vantrix {

namespace {

const char* const kSizeMismatchRows =
    "Error #000004: BAAAD stuff, should neven happen (size mismatch)";
const char* const kSizeMismatchFiles =
    "Error #000005: strange things are kept in weight files! (size mismatch)";

// The logistic saturates long before this; the limit keeps exp finite.
constexpr float kLogisticLimit = 32.0f;
// Outputs further below the maximum than this (in natural log) take the floor value.
constexpr float kSoftmaxRange = 85.19564844f;
constexpr float kSoftmaxFloor = 1e-37f;

void writeRow(const TNetworkLayout& layout, const float* units, uint8_t flags,
              FrameProbabilities& row) {
    const float* outputs = units + layout.firstOutput;
    row.flags = flags;
    row.scores.resize(size_t(layout.ClassCount()));
    for (int32_t k = 0; k < layout.ClassCount(); ++k)
        row.scores[size_t(k)] = quantiseScore(outputs[k]);
}

} // namespace

uint8_t quantiseScore(double p) {
    const double score = -24.0 * std::log(p);
    if (std::isnan(score) || score >= 255.0) return 255;
    if (score <= 0.0) return 0;
    return uint8_t(score);
}

double mergeWeight(uint8_t forwardScore, uint8_t backwardScore) {
    return std::exp(-0.5 * ((forwardScore + 0.5) / 24.0 + (backwardScore + 0.5) / 24.0));
}

void networkStep(const TNetworkWeights& net, float* units) {
    const TNetworkLayout& l = net.Layout();
    float* computed = units + l.firstComputed;
    // Hidden and output units alike see the inputs and the previous state only.
    matrixKernel()(l.ComputedCount(), l.firstComputed, net.Weights(), units, computed);

    for (int32_t u = l.firstComputed; u < l.firstOutput; ++u) {
        const float x = std::min(kLogisticLimit, std::max(-kLogisticLimit, units[u]));
        units[u] = 1.0f / (1.0f + std::exp(-x));
    }

    float* outputs = units + l.firstOutput;
    const int32_t classes = l.ClassCount();
    float top = outputs[0];
    for (int32_t k = 1; k < classes; ++k)
        if (outputs[k] > top) top = outputs[k];
    float sum = 0.0f;
    for (int32_t k = 0; k < classes; ++k) {
        const float x = outputs[k];
        outputs[k] = (top - x < kSoftmaxRange) ? std::exp(x - top) : kSoftmaxFloor;
        sum += outputs[k];
    }
    for (int32_t k = 0; k < classes; ++k)
        outputs[k] /= sum;

    std::memcpy(units + l.inputEnd, computed, size_t(l.stateCount) * sizeof(float));
}

int32_t runNetwork(const TNetworkWeights& net, ENetworkDirection direction,
                   const FramePropertiesVector& frames, FrameProbabilitiesVector& rows) {
    if (frames.IsEmpty()) return eetRangeFailure;
    selectMatrixKernel();
    const TNetworkLayout& layout = net.Layout();

    // The run ends with the frame marked last (normally the last record).
    const int32_t low = frames.Low();
    int32_t count = int32_t(frames.Count());
    for (int32_t k = 0; k < count; ++k) {
        if (frames.At(low + k).flags & kFrameFlagLast) {
            count = k + 1;
            break;
        }
    }
    const int32_t rowCount = std::max(count, kNetworkDelay);
    rows = FrameProbabilitiesVector();
    rows.Include(0);
    rows.Include(rowCount - 1);

    TAlignedFloats unitBlock(size_t(layout.unitCount));
    float* units = unitBlock.data();
    std::memcpy(units, net.InitialUnits(), size_t(layout.unitCount) * sizeof(float));
    const size_t inputBytes = size_t(layout.InputCount()) * sizeof(float);
    auto loadInputs = [&](int32_t step) {
        const int32_t index = direction == ndForward ? low + step : low + count - 1 - step;
        std::memcpy(units + layout.firstInput, frames.At(index).features, inputBytes);
    };

    loadInputs(0);
    for (int32_t i = 0; i < kNetworkWarmUpSteps; ++i)
        networkStep(net, units);

    // Flags travel with the delay: slot k % 4 holds the flag read four steps earlier.
    uint8_t history[kNetworkDelay] = {0, 0, 0, 0};
    int32_t row = 0;
    for (int32_t k = 0; k < count; ++k) {
        loadInputs(k);
        networkStep(net, units);
        uint8_t& slot = history[k % kNetworkDelay];
        const uint8_t delayed = slot;
        // Both directions take the flag of the forward position, so both see the end mark last.
        slot = uint8_t(frames.At(low + k).flags & 127u);
        if (k >= kNetworkDelay) writeRow(layout, units, delayed, rows.At(row++));
    }
    // Flush: the inputs stay on the last frame while the delayed rows come out.
    for (int32_t j = 0; j < kNetworkDelay; ++j) {
        networkStep(net, units);
        uint8_t& slot = history[(count + j) % kNetworkDelay];
        const bool last = j == kNetworkDelay - 1;
        writeRow(layout, units, last ? uint8_t(kFrameFlagLast) : slot, rows.At(row++));
        slot = 0;
    }
    return eetSuccess;
}

int32_t runNetwork(const std::string& networkFile, ENetworkDirection direction,
                   const FramePropertiesVector& frames, FrameProbabilitiesVector& rows,
                   int32_t& classCount) {
    if (frames.IsEmpty()) return eetRangeFailure;
    const TNetworkWeights net = loadNetworkWeights(networkFile);
    classCount = net.Layout().ClassCount();
    return runNetwork(net, direction, frames, rows);
}

void mergeDirections(int32_t classCount, FrameProbabilitiesVector& forwardRows,
                     const FrameProbabilitiesVector& backwardRows) {
    if (forwardRows.Low() != backwardRows.Low() || forwardRows.High() != backwardRows.High() ||
        classCount < 0)
        throw TError(kSizeMismatchRows, eetCatastrophicFailure);
    if (forwardRows.IsEmpty()) return;
    const int64_t low = forwardRows.Low(), high = forwardRows.High();
    const size_t classes = size_t(classCount);
    std::vector<double> q(classes);
    for (int64_t f = low; f <= high; ++f) {
        FrameProbabilities& a = forwardRows.At(int32_t(f));
        const FrameProbabilities& b = backwardRows.At(int32_t(low + high - f));
        if (a.scores.size() < classes || b.scores.size() < classes)
            throw TError(kSizeMismatchRows, eetCatastrophicFailure);
        double sum = 0.0;
        for (size_t k = 0; k < classes; ++k) {
            q[k] = mergeWeight(a.scores[k], b.scores[k]);
            sum += q[k];
        }
        a.scores.resize(classes);
        for (size_t k = 0; k < classes; ++k)
            a.scores[k] = quantiseScore(q[k] / sum + 1e-30);
    }
}

int32_t classifyFrames(const std::string& forwardFile, const std::string& backwardFile,
                       const FramePropertiesVector& frames, FrameProbabilitiesVector& rows) {
    int32_t forwardClasses = 0, backwardClasses = 0;
    int32_t code = runNetwork(forwardFile, ndForward, frames, rows, forwardClasses);
    if (code != eetSuccess) return code;
    FrameProbabilitiesVector backward;
    code = runNetwork(backwardFile, ndBackward, frames, backward, backwardClasses);
    if (code != eetSuccess) return code;
    if (forwardClasses != backwardClasses) throw TError(kSizeMismatchFiles, eetCatastrophicFailure);
    mergeDirections(forwardClasses, rows, backward);
    return eetSuccess;
}

int32_t classifyFrames(const TDataPaths& paths, uint32_t sampleRate,
                       const FramePropertiesVector& frames, FrameProbabilitiesVector& rows) {
    return classifyFrames(paths.ForwardWeightsPath(sampleRate),
                          paths.BackwardWeightsPath(sampleRate), frames, rows);
}

} // namespace Vantrix
