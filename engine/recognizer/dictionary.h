// Pronunciations of a transcript's words: the pronunciation dictionary, then letter-to-sound
// from the aligned lexicon for words the dictionary lacks.
#pragma once

#include <cstdint>
#include <string>

#include "transcript_words.h"

namespace Vantrix {

// Silence entries added to every loaded word set, both pronounced "sil".
constexpr const char* kSilenceWord = "<SIL>";
constexpr const char* kPauseWord = "[PAUSE]";
constexpr const char* kSilencePronunciation = "sil";

// Gives every word of the set its pronunciations; runs once per set (later calls give 0).
// Returns 0; file faults throw EErrorType (eetCatastrophicFailure). The aligned lexicon is only
// opened when the dictionary lacks a word. A predicted pronunciation may be empty when none of
// the word's letters is known.
int32_t loadPronunciations(const std::string& dictionaryPath, const std::string& lexiconPath,
                           TranscriptWords& words);

// Adds every dictionary pronunciation of the set's words and marks them found. Returns 0 when
// every word was found, 5 (eetFindFailure) otherwise; throws eetCatastrophicFailure when the file
// cannot be read or holds no line besides comments.
int32_t lookUpDictionary(const std::string& dictionaryPath, TranscriptWords& words);

// Predicts a pronunciation for every word still without one, learning from the aligned lexicon.
// Returns 0; throws eetCatastrophicFailure for an unreadable, empty or malformed lexicon.
int32_t pronounceUnknownWords(const std::string& lexiconPath, TranscriptWords& words);

} // namespace Vantrix
