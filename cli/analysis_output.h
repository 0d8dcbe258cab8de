// The command-line tool's renderings of an analysis result.
#pragma once

#include <string>

#include "analysis_result.h"
#include "options.h"

namespace Vantrix {

// JSON text (a string literal, quotes included): escapes quotes, backslashes and control
// characters, and replaces bytes that are not UTF-8 by U+FFFD.
std::string JsonString(const std::string& text);
// Shortest text that reads back as the same double; "null" for NaN and infinities.
std::string JsonNumber(double value);

// The whole result as one JSON object.
void FormatJson(const TAnalysisResult& result, std::string& out);
// The same with every track's value at each frame of its rate ("frames") when frames is set.
void FormatJson(const TAnalysisResult& result, bool frames, std::string& out);

// One line per phoneme segment: start, end and name, tab-separated.
void FormatTsv(const TAnalysisResult& result, std::string& out);

// The result in the format the options ask for.
std::string Render(const TAnalysisResult& result, const TOptions& options);

// The plug-in's phoneme data file of a result (see phoneme_data.h).
std::string FormatPhonemeData(const TAnalysisResult& result);

} // namespace Vantrix
