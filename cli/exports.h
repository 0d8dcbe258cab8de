// Renderings for animation tools: the shape per frame (Moho switch data, shapes-tsv,
// shapes-json) and Praat TextGrid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis_result.h"

namespace Vantrix {

// A shape shown from frame on (frames at f / fps, counted from 0).
struct TShapeChange {
    int32_t frame = 0;
    std::string shape;
};

// The speech target of highest value at each frame, as one entry per change; result's rest
// shape where every target is below a trace. Needs named speech targets.
std::vector<TShapeChange> ShapeChanges(const TAnalysisResult& result);

// "MohoSwitch1", then "<frame> <shape>" per change, frames counted from 1.
void FormatMoho(const TAnalysisResult& result, std::string& out);
// "<start seconds>\t<shape>" per change.
void FormatShapesTsv(const TAnalysisResult& result, std::string& out);
// {"metadata": {...}, "mouthCues": [{"start", "end", "value"}, ...]}.
void FormatShapesJson(const TAnalysisResult& result, std::string& out);
// Praat's long TextGrid with the tiers "words" and "phones" covering 0 to the duration.
void FormatTextGrid(const TAnalysisResult& result, std::string& out);

} // namespace Vantrix
