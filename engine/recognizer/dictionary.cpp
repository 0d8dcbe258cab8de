#include "dictionary.h"

#include <algorithm>

#include "errors.h"
#include "letter_to_sound.h"
#include "line_codec.h"
#include "phoneme_models.h"

namespace Vantrix {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The pronunciation part of a dictionary line: everything after the headword, trimmed.
std::string_view PronunciationOf(std::string_view line, size_t headwordLength) {
    size_t begin = headwordLength, end = line.size();
    while (begin < end && IsBlank(line[begin]))
        ++begin;
    while (end > begin && IsBlank(line[end - 1]))
        --end;
    return line.substr(begin, end - begin);
}

bool LacksPronunciation(const TTranscriptWord& word) {
    return word.pronunciations.empty();
}

// True when every name of the pronunciation is one of the recognizer's phonemes.
bool IsPronounceable(std::string_view pronunciation) {
    bool any = false;
    size_t i = 0;
    while (i < pronunciation.size()) {
        while (i < pronunciation.size() && IsBlank(pronunciation[i]))
            ++i;
        const size_t begin = i;
        while (i < pronunciation.size() && !IsBlank(pronunciation[i]))
            ++i;
        if (i == begin) break;
        if (PhonemeClassOf(pronunciation.data() + begin, i - begin) < 0) return false;
        any = true;
    }
    return any;
}

} // namespace

int32_t lookUpDictionary(const std::string& dictionaryPath, TranscriptWords& words) {
    TEncodedLineReader reader(dictionaryPath);
    if (!reader.IsOpen()) throw eetCatastrophicFailure;
    std::string line;
    if (!reader.ReadContentLine(line)) throw eetCatastrophicFailure;

    // Both sequences are in ascending byte order: one pass through the file.
    int32_t result = eetSuccess;
    bool more = true;
    std::string_view headword = HeadwordOf(line);
    std::string_view key = WithoutAlternativeMarker(headword);
    for (TTranscriptWord& word : words) {
        while (more && key < word.text) {
            more = reader.ReadContentLine(line);
            headword = HeadwordOf(line);
            key = WithoutAlternativeMarker(headword);
        }
        while (more && key == word.text) {
            word.pronunciations.emplace_back(PronunciationOf(line, headword.size()));
            word.found = true;
            more = reader.ReadContentLine(line);
            headword = HeadwordOf(line);
            key = WithoutAlternativeMarker(headword);
        }
        if (!word.found) result = eetFindFailure;
    }
    return result;
}

int32_t pronounceUnknownWords(const std::string& lexiconPath, TranscriptWords& words) {
    // Only the contexts of the words asked about are learnt, in one pass through the lexicon.
    std::vector<std::string_view> unknown;
    for (const TTranscriptWord& word : words)
        if (word.pronunciations.empty()) unknown.push_back(word.text);
    std::vector<std::string> predicted = PronounceFromLexicon(lexiconPath, unknown);
    size_t next = 0;
    for (TTranscriptWord& word : words)
        if (word.pronunciations.empty())
            word.pronunciations.push_back(std::move(predicted[next++]));
    return eetSuccess;
}

int32_t loadPronunciations(const std::string& dictionaryPath, const std::string& lexiconPath,
                           TranscriptWords& words) {
    if (words.PronunciationsLoaded()) return eetSuccess;
    lookUpDictionary(dictionaryPath, words);
    for (const char* silence : {kSilenceWord, kPauseWord}) {
        const TTranscriptWord* entry = words.Find(silence);
        if (!entry || std::find(entry->pronunciations.begin(), entry->pronunciations.end(),
                                kSilencePronunciation) == entry->pronunciations.end())
            words.AddPronunciation(silence, kSilencePronunciation);
    }
    // A dictionary line the grammar could not parse would drop its word from the alignment:
    // such a word is spelled from its letters like one the dictionary lacks.
    for (TTranscriptWord& word : words) {
        auto& list = word.pronunciations;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [](const std::string& p) { return !IsPronounceable(p); }),
                   list.end());
    }
    int32_t result = eetSuccess;
    if (std::any_of(words.begin(), words.end(), LacksPronunciation))
        result = pronounceUnknownWords(lexiconPath, words);
    words.SetPronunciationsLoaded(true);
    return result;
}

} // namespace Vantrix
