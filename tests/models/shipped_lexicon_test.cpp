// The shipped pronunciation dictionary and aligned lexicon, as the engine reads them.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "dictionary.h"
#include "letter_to_sound.h"
#include "line_codec.h"
#include "phonemes.h"
#include "transcript_words.h"

using namespace Vantrix;

namespace {

const std::string kDictionary = std::string(VX_SHIPPED_DATA) + "/DtC6dal.dat";
const std::string kLexicon = std::string(VX_SHIPPED_DATA) + "/DtC6dl.dat";

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    for (size_t p = text.find_first_not_of(" \t"); p != std::string_view::npos;) {
        const size_t q = std::min(text.find_first_of(" \t", p), text.size());
        tokens.push_back(text.substr(p, q - p));
        p = text.find_first_not_of(" \t", q);
    }
    return tokens;
}

// Phoneme names the decoder knows, spoken ones only: "sil" belongs to the silence entries.
bool IsSpokenPhoneme(std::string_view name) {
    return name != "sil" && PhonemeIdOf(std::string(name).c_str()) >= 0;
}

::testing::AssertionResult SpokenPronunciation(std::string_view word, std::string_view text) {
    std::vector<std::string_view> phones = Tokens(text);
    if (phones.empty()) return ::testing::AssertionFailure() << word << " has no phonemes";
    for (std::string_view p : phones)
        if (!IsSpokenPhoneme(p))
            return ::testing::AssertionFailure() << word << " has phoneme \"" << p << "\"";
    return ::testing::AssertionSuccess();
}

// What the engine splits a spelling into: maximal runs of one repeated character.
size_t LetterRunCount(std::string spelling) {
    return size_t(std::unique(spelling.begin(), spelling.end()) - spelling.begin());
}

} // namespace

// The lookup is a merge with the sorted word set: an entry out of byte order, or a headword
// that transcript cleaning cannot produce, is never found.
TEST(ShippedDictionary, EveryEntryIsReachableSortedAndSpokenInKnownPhonemes) {
    TEncodedLineReader reader(kDictionary);
    ASSERT_TRUE(reader.IsOpen()) << kDictionary;
    std::string line, previous;
    size_t entries = 0, words = 0, alternative = 1;
    while (reader.ReadContentLine(line)) {
        std::string_view headword = HeadwordOf(line);
        std::string word(WithoutAlternativeMarker(headword));
        ASSERT_TRUE(SpokenPronunciation(headword, line.substr(headword.size())));
        if (word == previous) {
            // Alternatives follow their word, numbered from (2) on.
            ASSERT_EQ(headword, word + "(" + std::to_string(++alternative) + ")");
        } else {
            ASSERT_EQ(headword, word) << "a word's first entry carries no marker";
            ASSERT_LT(previous, word) << "out of byte order";
            alternative = 1;
            ++words;
            if (words % 16 == 0) {
                // Transcript cleaning keeps the headword as it stands (sampled: it is slow).
                TranscriptWords cleaned(word);
                ASSERT_EQ(cleaned.Sequence(), std::vector<std::string>{word});
            }
        }
        previous = word;
        ++entries;
    }
    EXPECT_GT(words, 100000u);
    EXPECT_GT(entries, words);
}

// Every group names phonemes the decoder knows and lines up with the engine's letter runs.
TEST(ShippedLexicon, EveryEntryAlignsItsLetterRunsWithKnownPhonemes) {
    TEncodedLineReader reader(kLexicon);
    ASSERT_TRUE(reader.IsOpen()) << kLexicon;
    std::string line;
    size_t entries = 0, withApostrophe = 0;
    while (reader.ReadContentLine(line)) {
        std::string_view headword = HeadwordOf(line);
        ASSERT_TRUE(std::all_of(headword.begin(), headword.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || c == '\'';
        })) << headword;
        size_t groups = 1;
        for (std::string_view token : Tokens(std::string_view(line).substr(headword.size()))) {
            if (token == "|")
                ++groups;
            else
                ASSERT_TRUE(IsSpokenPhoneme(token)) << headword << ": " << token;
        }
        ASSERT_EQ(groups, LetterRunCount(std::string(headword))) << line;
        withApostrophe += headword.find('\'') != std::string_view::npos;
        ++entries;
    }
    EXPECT_GT(entries, 100000u);
    EXPECT_GT(withApostrophe, 0u) << "possessives teach the model what an apostrophe does";
}

// One lexicon learning for the whole suite: it is the slow part.
TEST(ShippedData, TranscriptWordsAllGetPronunciations) {
    TranscriptWords words("Hello, it's the world.\nDon't you know Zorblaxity's quibbletonk?");
    ASSERT_EQ(loadPronunciations(kDictionary, kLexicon, words), eetSuccess);

    // Every dictionary pronunciation is spoken (ShippedDictionary); the commonest comes first.
    const std::pair<const char*, const char*> known[] = {
        {"HELLO", "hh ax l ow"}, {"IT'S", "ih t s"}, {"THE", "dh ax"}, {"WORLD", "w er l d"},
        {"DON'T", "d ow n t"},   {"YOU", "y uw"},    {"KNOW", "n ow"}};
    for (const auto& [word, first] : known) {
        const TTranscriptWord* entry = words.Find(word);
        ASSERT_NE(entry, nullptr) << word;
        EXPECT_TRUE(entry->found) << word;
        ASSERT_FALSE(entry->pronunciations.empty()) << word;
        EXPECT_EQ(entry->pronunciations[0], first) << word;
    }
    // The schwa stays first; the full vowel is an alternative the alignment may pick.
    EXPECT_EQ(words.Find("THE")->pronunciations,
              (std::vector<std::string>{"dh ax", "dh ah", "dh iy"}));
    const std::vector<std::string>& hello = words.Find("HELLO")->pronunciations;
    EXPECT_NE(std::find(hello.begin(), hello.end(), "hh ah l ow"), hello.end());

    // Made-up words come from letter-to-sound: one pronunciation each, sounding like they read.
    for (const char* word : {"ZORBLAXITY'S", "QUIBBLETONK"}) {
        const TTranscriptWord* entry = words.Find(word);
        ASSERT_NE(entry, nullptr) << word;
        EXPECT_FALSE(entry->found) << word;
        ASSERT_EQ(entry->pronunciations.size(), 1u) << word;
        EXPECT_TRUE(SpokenPronunciation(word, entry->pronunciations[0]));
    }
    EXPECT_EQ(words.Find("QUIBBLETONK")->pronunciations[0].rfind("k w ih b", 0), 0u)
        << words.Find("QUIBBLETONK")->pronunciations[0];
    std::string_view possessive = words.Find("ZORBLAXITY'S")->pronunciations[0];
    EXPECT_EQ(possessive.substr(possessive.size() - 1), "z") << possessive;

    for (const char* silence : {kSilenceWord, kPauseWord})
        EXPECT_EQ(words.Find(silence)->pronunciations, std::vector<std::string>{"sil"});
}
