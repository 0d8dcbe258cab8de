// Sounds longer than one analysis accepts: cut at pauses, the transcript shared out, and the
// pieces' results joined into one with continuous times.
#pragma once

#include <string>
#include <vector>

#include "analysis_result.h"
#include "sound_input.h"

namespace Vantrix {

// Sample indices where pieces start and end (first 0, last the sample count): each piece at
// most maxSeconds long, cut at the quietest stretch of its last (maxSeconds - searchSeconds)
// seconds. One piece when the sound lasts no more than kEngineMaxSeconds.
std::vector<size_t> FindCuts(const TSamples& samples, double maxSeconds = 270.0,
                             double searchSeconds = 210.0);

// Seconds of speech (10 ms frames well above the quietest) in each piece between the cuts.
std::vector<double> SpeechSeconds(const TSamples& samples, const std::vector<size_t>& cuts);

// Shares text out over pieces in proportion to weights, each cut moved to the nearest word
// boundary and to a sentence end when one is near.
std::vector<std::string> SplitTranscript(const std::string& text,
                                         const std::vector<double>& weights);

// Joins the pieces' results: times shifted by each piece's offset, phoneme segments made
// contiguous across the seams (touching silences merged), the last ending at total seconds.
TAnalysisResult JoinResults(const std::vector<TAnalysisResult>& pieces,
                            const std::vector<double>& offsets, double total);

} // namespace Vantrix
