// The raw phoneme data file written beside an analysed sound, built from the public interface
// only, so that the plug-in and the command-line tool write the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voxtrail.h"

namespace Vantrix {

// Rows of the figure configuration files, in order: the 41 phoneme identities, then ShortSil
// and Flap.
constexpr int32_t kPhonemeDataNameCount = 43;
extern const char* const kPhonemeDataNames[kPhonemeDataNameCount];

// Prefix of every problem message.
constexpr const char* kPhonemeDataErrorPrefix = "Parlo Voxtrail Raw Phoneme Data Error: ";

// Text of the phoneme data file of an analysis ("\r\n" line ends, tab-separated fields, times in
// seconds with six significant digits). A failing query leaves out its field and the tab after
// it, a failing count its section's lines, and adds one line to problems (when not null).
std::string FormatPhonemeData(VOXTRAIL_ANALYSIS* analysis, std::vector<std::string>* problems);

// A double as a text stream writes it by default: at most 6 significant digits, shortest form.
std::string FormatStreamDouble(double value);

} // namespace Vantrix
