// The words of a transcript with their pronunciations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Vantrix {

// One distinct word of a transcript.
class TTranscriptWord {
public:
    std::string text;                        // cleaned spelling, upper case
    bool found = false;                      // has at least one dictionary line
    std::vector<std::string> pronunciations; // phoneme names joined by single spaces
};

// Text warning levels met while cleaning a transcript.
enum ETextWarning : int32_t {
    etwNone = 0,
    etwPunctuationBreak = 1,   // - . , ; ? ! " : ( ) turned into a break
    etwDroppedPunctuation = 2, // other punctuation or a digit dropped
    etwDroppedCharacter = 3,   // any other character dropped
};

// The transcript word set: cleaned text, warning level and the distinct words in byte order.
class TranscriptWords {
public:
    TranscriptWords() = default;
    explicit TranscriptWords(std::string_view text) { SetText(text); }

    // Cleans the text and rebuilds the word set; pronunciations are dropped. Accented letters
    // fold to their base letters and numbers are spelled out first (SpellOutTranscript).
    void SetText(std::string_view text);

    const std::string& Text() const { return text; }
    // Upper case letters, apostrophes and spaces; tokens without letters are blanked.
    const std::string& CleanedText() const { return cleanedText; }
    // Highest ETextWarning met while cleaning.
    int32_t WarningLevel() const { return warningLevel; }
    // The words of the cleaned text in transcript order, repeats included.
    const std::vector<std::string>& Sequence() const { return sequence; }

    // True once loadPronunciations has run for this set.
    bool PronunciationsLoaded() const { return pronunciationsLoaded; }
    void SetPronunciationsLoaded(bool loaded) { pronunciationsLoaded = loaded; }

    // Distinct words in ascending byte order, with "<SIL>" and "[PAUSE]" once loaded.
    int32_t Count() const { return int32_t(words.size()); }
    TTranscriptWord& operator[](int32_t i) { return words[size_t(i)]; }
    const TTranscriptWord& operator[](int32_t i) const { return words[size_t(i)]; }
    std::vector<TTranscriptWord>::iterator begin() { return words.begin(); }
    std::vector<TTranscriptWord>::iterator end() { return words.end(); }
    std::vector<TTranscriptWord>::const_iterator begin() const { return words.begin(); }
    std::vector<TTranscriptWord>::const_iterator end() const { return words.end(); }

    // The entry of a word, or nullptr.
    TTranscriptWord* Find(std::string_view word);
    const TTranscriptWord* Find(std::string_view word) const;
    // Adds a pronunciation to a word, entering the word in order when it is new.
    TTranscriptWord& AddPronunciation(std::string_view word, std::string_view pronunciation);

private:
    std::string text;
    std::string cleanedText;
    int32_t warningLevel = etwNone;
    bool pronunciationsLoaded = false;
    std::vector<TTranscriptWord> words;
    std::vector<std::string> sequence;
};

} // namespace Vantrix
