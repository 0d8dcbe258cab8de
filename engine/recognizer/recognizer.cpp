#include "recognizer.h"

#include <algorithm>
#include <cmath>

#include "classifier.h"
#include "decoder.h"
#include "dictionary.h"
#include "errors.h"
#include "frames.h"
#include "frontend.h"
#include "phoneme_models.h"
#include "trace.h"

namespace Vantrix {

namespace {

// How much worse, on average, the aligned spoken phonemes fit their frames than the best class
// of each frame does: the mean of (score of the chosen class - lowest score) over the frames of
// every phoneme but silence, in score units (24 per factor e of posterior). NaN without such a
// frame.
double SpokenFrameExcess(const FrameProbabilitiesVector& rows, const TPhonemeList& phonemes,
                         int32_t firstSegment) {
    double sum = 0.0;
    int64_t count = 0;
    for (int32_t i = firstSegment; i < phonemes.Count(); ++i) {
        const TPhoneme& phoneme = phonemes[i];
        const int32_t cls = PhonemeClassOf(phoneme.Name());
        if (phoneme.Id() == kSilenceId || cls < 0) continue;
        for (int64_t f = phoneme.StartMs() / kFrameMs; f < phoneme.EndMs() / kFrameMs; ++f) {
            if (f >= rows.Count()) break;
            const FrameProbabilities& row = rows.At(int32_t(rows.Low() + f));
            if (row.flags == kFrameFlagScratch || size_t(cls) >= row.scores.size()) continue;
            const uint8_t best = *std::min_element(row.scores.begin(), row.scores.end());
            sum += row.scores[size_t(cls)] - best;
            ++count;
        }
    }
    return count ? sum / double(count) : std::nan("");
}

int32_t coreAnalysis(const TDataPaths& paths, const TDigitalAudio& sound,
                     const std::string& transcript, TPhonemeList& phonemes, TWordList& words,
                     double* misfit) {
    const uint32_t rate = sound.getSampleRate();
    if (rate != 16000 && rate != 8000) return eetCatastrophicFailure;
    if (!paths.DataPresent()) return eetCatastrophicFailure;

    FrameProbabilitiesVector rows;
    {
        FramePropertiesVector frames;
        if (int32_t code = computeFrameProperties(sound, frames)) return code;
        if (int32_t code = normaliseFrameProperties(frames, kFeatureCount)) return code;
        if (int32_t code = classifyFrames(paths, rate, frames, rows)) return code;
    }

    TDecoder decoder;
    TranscriptWords transcriptWords(transcript);
    if (transcriptWords.Sequence().empty()) {
        if (transcript.find_first_not_of(" \t\r\n") != std::string::npos)
            Trace("no word of the transcript can be pronounced: the phonemes are found without "
                  "it\n");
        return decodePhonemeLoop(decoder, rows, phonemes);
    }
    if (int32_t code =
            loadPronunciations(paths.DictionaryPath(), paths.AlignedLexiconPath(), transcriptWords))
        return code;
    const int32_t firstSegment = phonemes.Count();
    const int32_t result = alignTranscript(decoder, rows, transcriptPronunciations(transcriptWords),
                                           rate, phonemes, words);
    if (result == eetSuccess && misfit && words.Count() > 0)
        *misfit = SpokenFrameExcess(rows, phonemes, firstSegment);
    return result;
}

} // namespace

TPronunciationList transcriptPronunciations(const TranscriptWords& words) {
    TPronunciationList list;
    list.reserve(words.Sequence().size());
    for (const std::string& text : words.Sequence()) {
        const TTranscriptWord* entry = words.Find(text);
        list.push_back({text, entry ? entry->pronunciations : std::vector<std::string>()});
    }
    return list;
}

void trimToLength(int32_t lengthMs, TPhonemeList& phonemes, TWordList& words) {
    while (!phonemes.IsEmpty() && phonemes.Last().StartMs() >= lengthMs)
        phonemes.RemoveSegment(phonemes.Count() - 1);
    if (!phonemes.IsEmpty() && phonemes.Last().EndMs() > lengthMs)
        phonemes.SetTimes(phonemes.Count() - 1, phonemes.Last().StartMs(), lengthMs);
    while (!words.IsEmpty() && words.Last().StartMs() >= lengthMs)
        words.Remove(words.Count() - 1);
    if (!words.IsEmpty() && words.Last().EndMs() > lengthMs) words.Last().SetEnd(lengthMs);
}

int32_t recognizePhonemes(TPhonemeRecognizer& recognizer, const TDigitalAudio& sound,
                          const std::string& transcript, TPhonemeList& phonemes, TWordList& words,
                          std::string* failureDetail, double* transcriptMisfit) {
    if (transcriptMisfit) *transcriptMisfit = std::nan("");
    const double durationMs = sound.getDurationMs();
    if (durationMs < kShortestAnalysedMs) {
        const int32_t endMs = (int32_t(std::ceil(durationMs)) / kFrameMs + 1) * kFrameMs;
        return phonemes.AppendSegment(TPhoneme(kSilenceId, 0, endMs, 1));
    }

    int32_t result;
    try {
        result = coreAnalysis(recognizer.DataPaths(), sound, transcript, phonemes, words,
                              transcriptMisfit);
    } catch (const TDataFileError& error) {
        if (failureDetail) *failureDetail = error.message;
        result = TraceCaught(error.kind);
    } catch (const TError& error) {
        Trace("ERROR in Core analysis: \n");
        Trace("%s\n", error.message.c_str());
        const char* name = NameOf(error.kind);
        const char* text = TextOf(error.kind);
        Trace("%s: %s\n", name ? name : "?", text ? text : "?");
        result = error.kind;
    } catch (EErrorType kind) {
        // Front end, classifier and dictionary faults travel as bare kinds.
        result = TraceCaught(kind);
    }

    const int32_t lengthMs = sound.getDurationMsRoundedUp() / kFrameMs * kFrameMs;
    trimToLength(lengthMs, phonemes, words);
    return result;
}

} // namespace Vantrix
