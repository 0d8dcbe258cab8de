// Phoneme classifier: two recurrent networks read the feature records forward and backward;
// their posteriors are merged into one row of quantised scores per frame.
#pragma once

#include <cstdint>
#include <string>

#include "data_paths.h"
#include "frames.h"
#include "weight_file.h"

namespace Vantrix {

enum ENetworkDirection : int32_t {
    ndForward = 0,  // from the first record to the last
    ndBackward = 1, // from the last record to the first; rows come out in that order
};

// Steps run on the first frame before any output.
constexpr int32_t kNetworkWarmUpSteps = 20;
// Steps between reading a frame and writing its row.
constexpr int32_t kNetworkDelay = 4;

// Score byte of a posterior: min(255, max(0, floor(-24 ln p))); NaN scores 255.
uint8_t quantiseScore(double p);

// exp(-0.5 ((a + 0.5) / 24 + (b + 0.5) / 24)): the geometric mean of two posteriors read at
// the centre of their score steps, before the class values are scaled to sum 1.
double mergeWeight(uint8_t forwardScore, uint8_t backwardScore);

// One network step on units (U floats, 32-byte aligned for speed, inputs already in place):
// computed units from all source units in one product, logistic hidden units, softmax
// outputs, then the state copy. Uses the routine chosen by selectMatrixKernel.
void networkStep(const TNetworkWeights& net, float* units);

// Runs a loaded network over the records (in the given direction) into rows 0..n-1, with
// n = max(4, frames up to the first one flagged 128). Returns eetRangeFailure (4) when there
// are no records, else 0.
int32_t runNetwork(const TNetworkWeights& net, ENetworkDirection direction,
                   const FramePropertiesVector& frames, FrameProbabilitiesVector& rows);

// As above, loading the network from a weight file first; classCount receives its class
// count. Throws eetOpenFailure or eetCatastrophicFailure for an unusable file.
int32_t runNetwork(const std::string& networkFile, ENetworkDirection direction,
                   const FramePropertiesVector& frames, FrameProbabilitiesVector& rows,
                   int32_t& classCount);

// Replaces the forward rows' scores with the merged scores of both directions (the backward
// rows are in reverse frame order). Throws TError "Error #000004: ..." when the rows do not
// span the same range or hold fewer than classCount scores.
void mergeDirections(int32_t classCount, FrameProbabilitiesVector& forwardRows,
                     const FrameProbabilitiesVector& backwardRows);

// Runs the forward and backward networks of the given files and merges them into rows.
// Throws TError "Error #000005: ..." when the files differ in class count; file faults as
// runNetwork. Returns eetRangeFailure when there are no records, else 0.
int32_t classifyFrames(const std::string& forwardFile, const std::string& backwardFile,
                       const FramePropertiesVector& frames, FrameProbabilitiesVector& rows);

// The same with the weight files configured for the sound's rate (16000 or 8000 Hz).
int32_t classifyFrames(const TDataPaths& paths, uint32_t sampleRate,
                       const FramePropertiesVector& frames, FrameProbabilitiesVector& rows);

} // namespace Vantrix
