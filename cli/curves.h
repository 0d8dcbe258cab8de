// A track's value between its keys, as the engine's key curves define it: between two keys a
// cubic Bezier in value whose handles sit at the thirds of the gap along the keys' slopes;
// 0 outside the first and last key.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis_result.h"

namespace Vantrix {

// Value of keys (ascending times) at seconds.
double EvaluateKeys(const std::vector<TResultKey>& keys, double seconds);

// Values of keys at the frames f / fps for f = 0 .. FrameCount(duration, fps) - 1.
std::vector<double> SampleFrames(const std::vector<TResultKey>& keys, int32_t fps, int32_t count);

// Frames 0 .. ceil(duration * fps), both ends included.
int32_t FrameCount(double duration, int32_t fps);

} // namespace Vantrix
