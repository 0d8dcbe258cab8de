// Mouth-shape sets: a speech-target configuration with a name for each of its targets.
#pragma once

#include <string>

#include "analysis_result.h"
#include "options.h"

namespace Vantrix {

// Points options.config at the configuration of the set options.shapes names (nothing to do
// when it names none); false with the reason in error for an unknown or unreadable set.
bool ResolveShapes(TOptions& options, std::string& error);

// Names the speech-target tracks of result after the set the options chose.
void NameSpeechTargets(const TOptions& options, TAnalysisResult& result);

} // namespace Vantrix
