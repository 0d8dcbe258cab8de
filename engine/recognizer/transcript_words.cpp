#include "transcript_words.h"

#include <algorithm>

#include "transcript_spelling.h"

namespace Vantrix {
namespace {

bool IsUpper(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLower(unsigned char c) {
    return c >= 'a' && c <= 'z';
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsPrintable(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

// Punctuation that separates words rather than belonging to one.
bool IsBreak(unsigned char c) {
    switch (c) {
    case '-':
    case '.':
    case ',':
    case ';':
    case '?':
    case '!':
    case '"':
    case ':':
    case '(':
    case ')':
        return true;
    default:
        return false;
    }
}

bool IsPunctuation(unsigned char c) {
    return IsPrintable(c) && c != ' ' && !IsUpper(c) && !IsLower(c) && !IsDigit(c);
}

bool ByText(const TTranscriptWord& word, std::string_view text) {
    return word.text < text;
}

} // namespace

void TranscriptWords::SetText(std::string_view newText) {
    text.assign(newText);
    cleanedText.clear();
    cleanedText.reserve(text.size());
    warningLevel = etwNone;
    pronunciationsLoaded = false;
    words.clear();
    sequence.clear();

    for (unsigned char c : SpellOutTranscript(text)) {
        if (c == '\t' || c == '\n') c = ' ';
        int32_t level = etwNone;
        if (c >= 128 || !IsPrintable(c))
            level = etwDroppedCharacter;
        else if (IsLower(c))
            cleanedText += char(c - 'a' + 'A');
        else if (IsUpper(c) || c == '\'' || c == ' ')
            cleanedText += char(c);
        else if (IsBreak(c)) {
            cleanedText += ' ';
            level = etwPunctuationBreak;
        } else if (IsPunctuation(c) || IsDigit(c))
            level = etwDroppedPunctuation;
        else
            level = etwDroppedCharacter;
        warningLevel = std::max(warningLevel, level);
    }

    // Tokens without letters are blanked; the rest form the sequence and the sorted set.
    size_t pos = 0;
    while (pos < cleanedText.size()) {
        if (cleanedText[pos] == ' ') {
            ++pos;
            continue;
        }
        size_t end = cleanedText.find(' ', pos);
        if (end == std::string::npos) end = cleanedText.size();
        bool hasLetter =
            std::any_of(cleanedText.begin() + long(pos), cleanedText.begin() + long(end),
                        [](char c) { return IsUpper(static_cast<unsigned char>(c)); });
        if (hasLetter)
            sequence.emplace_back(cleanedText, pos, end - pos);
        else
            std::fill(cleanedText.begin() + long(pos), cleanedText.begin() + long(end), ' ');
        pos = end;
    }
    std::vector<std::string> distinct(sequence);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    words.resize(distinct.size());
    for (size_t i = 0; i < distinct.size(); ++i)
        words[i].text = std::move(distinct[i]);
}

TTranscriptWord* TranscriptWords::Find(std::string_view word) {
    auto it = std::lower_bound(words.begin(), words.end(), word, ByText);
    return it != words.end() && it->text == word ? &*it : nullptr;
}

const TTranscriptWord* TranscriptWords::Find(std::string_view word) const {
    return const_cast<TranscriptWords*>(this)->Find(word);
}

TTranscriptWord& TranscriptWords::AddPronunciation(std::string_view word,
                                                   std::string_view pronunciation) {
    auto it = std::lower_bound(words.begin(), words.end(), word, ByText);
    if (it == words.end() || it->text != word) {
        it = words.insert(it, TTranscriptWord());
        it->text.assign(word);
    }
    it->pronunciations.emplace_back(pronunciation);
    return *it;
}

} // namespace Vantrix
