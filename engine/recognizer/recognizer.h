// The recognition entry: a sound (and optionally its transcript) into timed phonemes and words.
#pragma once

#include <cstdint>
#include <string>

#include "data_paths.h"
#include "digital_audio.h"
#include "grammar.h"
#include "phonemes.h"
#include "transcript_words.h"
#include "words.h"

namespace Vantrix {

// Sounds shorter than this are not analysed: three frame periods.
constexpr double kShortestAnalysedMs = 48.0;

// A transcriptMisfit from this up says the transcript does not fit the sound. Measured with the
// shipped networks on 63 recorded utterances of voices they were never trained on (native,
// accented and children's speech): matching transcripts gave 2.3 to 64.1, another utterance's
// transcript 79.2 to 192.6; the evaluation sounds with another sound's transcript 88 to 103.
constexpr double kTranscriptMisfitWarning = 72.0;

// The recognizer's state: where its data files are. The paths must outlive it.
class TPhonemeRecognizer {
public:
    explicit TPhonemeRecognizer(const TDataPaths& dataPaths) : dataPaths(dataPaths) {}
    const TDataPaths& DataPaths() const { return dataPaths; }

private:
    const TDataPaths& dataPaths;
};

// Appends the sound's phonemes (and, with a non-empty transcript, its words) to the lists.
// The sound must be at 16000 or 8000 Hz. Returns 0 or an error kind; 1 for another rate or
// missing data files. A data file found unusable is named in failureDetail, when given. With a
// transcript aligned, transcriptMisfit receives how much worse the aligned spoken phonemes fit
// their frames than each frame's best class, on average, in score units (NaN otherwise).
int32_t recognizePhonemes(TPhonemeRecognizer& recognizer, const TDigitalAudio& sound,
                          const std::string& transcript, TPhonemeList& phonemes, TWordList& words,
                          std::string* failureDetail = nullptr, double* transcriptMisfit = nullptr);

// The transcript's words in order with their loaded pronunciations.
TPronunciationList transcriptPronunciations(const TranscriptWords& words);

// Removes the entries starting at or after lengthMs and ends the last one there at the latest.
void trimToLength(int32_t lengthMs, TPhonemeList& phonemes, TWordList& words);

} // namespace Vantrix
