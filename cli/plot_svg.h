// A picture of an analysis: waveform, word and phoneme lanes and the curves on one time axis.
#pragma once

#include <string>

#include "analysis_result.h"
#include "options.h"

namespace Vantrix {

// The SVG text of result's picture; false with the reason in error.
bool RenderPlot(const TAnalysisResult& result, const TOptions& options, std::string& svg,
                std::string& error);

} // namespace Vantrix
