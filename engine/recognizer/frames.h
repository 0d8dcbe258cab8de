// Per-frame records passed from the front end to the classifier and from the classifier to the
// decoder. One frame is 16 ms of sound.
#pragma once

#include <cstdint>
#include <vector>

#include "containers.h"

namespace Vantrix {

constexpr int32_t kFrameMs = 16;
constexpr int32_t kFeatureCount = 13;

// Flag values of a frame record.
constexpr uint32_t kFrameFlagNone = 0;
constexpr uint32_t kFrameFlagLast = 128;    // last frame of the sound (or of an utterance)
constexpr uint32_t kFrameFlagScratch = 255; // scratch record of the first analysis step

// Features of one frame: log energy, then cepstral coefficients c1..c12.
struct FrameProperties {
    uint32_t flags = kFrameFlagNone;
    float features[kFeatureCount] = {};
};

// Classifier scores of one frame: -24 ln(posterior) per class, clamped to 0..255.
struct FrameProbabilities {
    uint8_t flags = 0;
    std::vector<uint8_t> scores;
};

using FramePropertiesVector = ADynaVector<FrameProperties>;
using FrameProbabilitiesVector = ADynaVector<FrameProbabilities>;

} // namespace Vantrix
