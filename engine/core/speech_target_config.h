// Reading a speech-target configuration file into a phoneme-to-track map.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "track_mapper.h"

namespace Vantrix {

constexpr const char* kSpeechTargetSection = "PhonemeToSpeechTargetMapping";
constexpr const char* kNumSpeechTargetsKey = "NumSpeechTargets";

// Reads a configuration file into a new labelled map, adds it to mapper and selects it.
// mapOut must be empty on entry; mapper is null while the library is not started.
// Returns a VOXTRAIL_ code; detail receives the parser's message for a parse error
// (empty when the failure has none). On failure mapOut stays empty.
uint32_t ParseSpeechTargetConfiguration(std::unique_ptr<TLabeledPhonemesToTracksMap>& mapOut,
                                        int32_t& labelOut, const char* path, TTrackMapper* mapper,
                                        std::string& detail);

} // namespace Vantrix
