// The command-line tool's renderings of an analysis result.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "analysis_result.h"
#include "options.h"

namespace Vantrix {

// A JSON document as the tool writes it: compact, one line, bytes that are not UTF-8 replaced
// by U+FFFD.
std::string JsonText(const nlohmann::ordered_json& json);
// Shortest text that reads back as the same double; "null" for NaN and infinities.
std::string JsonNumber(double value);

// The whole result as one JSON object, with every track's value at each frame of its rate
// ("frames") when frames is set.
void FormatJson(const TAnalysisResult& result, bool frames, std::string& out);

// One line per phoneme segment: start, end and name, tab-separated.
void FormatTsv(const TAnalysisResult& result, std::string& out);

// The result in the format the options ask for.
std::string Render(const TAnalysisResult& result, const TOptions& options);

// The plug-in's phoneme data file of a result (see phoneme_data.h).
std::string FormatPhonemeData(const TAnalysisResult& result);

} // namespace Vantrix
