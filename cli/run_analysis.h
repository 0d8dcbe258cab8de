// One sound through the engine: its transcript, the word recogniser when there is none, and the
// engine's analysis, copied into a result.
#pragma once

#include <string>

#include "analysis_result.h"
#include "options.h"

namespace Vantrix {

// The folder of the engine's data files the options and the environment name.
std::string DataFolder(const TOptions& options);

// Loads the word recogniser now when the sounds may need it, so that the worker processes of a
// batch share one copy rather than each loading its own.
void PreloadWordRecognizer(const TOptions& options);

// Analyses one sound of the options with the library already started. Returns 0, or the exit
// status with the problem (in the user's terms) in error; warnings go to standard error.
int AnalyseSound(const TOptions& options, const std::string& sound, TAnalysisResult& result,
                 std::string& error);

} // namespace Vantrix
