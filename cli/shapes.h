// Mouth-shape sets: a speech-target configuration with a name for each of its targets.
#pragma once

#include <string>
#include <vector>

#include "analysis_result.h"
#include "options.h"

namespace Vantrix {

// What a configuration file's comment lines say about its targets: "; Shapes: A, B, ..." names
// them in track order, "; Rest: X" the shape shown while every target is at rest.
struct TShapeNames {
    std::vector<std::string> shapes; // empty when the file has no "; Shapes:" line
    std::string rest;
};

// Reads the comment lines of a configuration file; false with the reason in error when it
// cannot be read or its "; Shapes:" line does not name one shape per speech target.
bool ReadShapeNames(const std::string& path, TShapeNames& names, std::string& error);

// The folder of the shipped sets: beside the installed tool, else the configured install
// location, else the source tree's.
std::string MouthShapesFolder();

// Points options.config at the configuration of the set options.shapes names (nothing to do
// when it names none) and checks that the chosen format has what it needs; false with the
// reason in error for an unknown or unreadable set or a format without shape names.
bool ResolveShapes(TOptions& options, std::string& error);

// Names the speech-target tracks of result after the set the options chose.
void NameSpeechTargets(const TOptions& options, TAnalysisResult& result);

} // namespace Vantrix
