// The command-line tool's renderings of an analysis, read through the public interface.
#pragma once

#include <cstdint>
#include <string>

#include "voxtrail.h"

namespace Vantrix {

// Phoneme identity names, "iy" (0) to "sil" (40); nullptr outside.
const char* PhonemeIdentityName(int32_t id);
// Gesture channel names in track order; nullptr outside 0..10.
const char* GestureName(int32_t index);

// JSON text (a string literal, quotes included): escapes quotes, backslashes and control
// characters, and replaces bytes that are not UTF-8 by U+FFFD.
std::string JsonString(const std::string& text);
// Shortest text that reads back as the same double; "null" for NaN and infinities.
std::string JsonNumber(double value);

// The whole analysis as one JSON object; soundPath is reported as given. The sound's duration
// is the end of the last phoneme segment, which the recognizer trims to the sound's length.
// Returns 0 or the code of the first failing query.
uint32_t FormatJson(VOXTRAIL_ANALYSIS* analysis, const std::string& soundPath,
                    int32_t framesPerSecond, std::string& out);

// One line per phoneme segment: start, end and name, tab-separated.
uint32_t FormatTsv(VOXTRAIL_ANALYSIS* analysis, std::string& out);

} // namespace Vantrix
