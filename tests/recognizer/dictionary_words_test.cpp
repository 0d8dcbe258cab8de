#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "transcript_words.h"

using namespace Vantrix;

namespace {

std::vector<std::string> Distinct(const TranscriptWords& words) {
    std::vector<std::string> texts;
    for (const TTranscriptWord& word : words)
        texts.push_back(word.text);
    return texts;
}

using Texts = std::vector<std::string>;

} // namespace

TEST(TranscriptCleaning, PunctuationBreaksWordsAndDroppedCharactersJoinThem) {
    for (char c : std::string("-.,;?!\":()")) {
        TranscriptWords broken(std::string("ab") + c + "cd");
        EXPECT_EQ(broken.Sequence(), (Texts{"AB", "CD"})) << c;
        EXPECT_EQ(broken.WarningLevel(), etwPunctuationBreak) << c;
    }
    const struct {
        const char* text;
        const char* cleaned; // not checked when null
        Texts words;
        int32_t warning;
    } cases[] = {
        {"hello, world!", "HELLO  WORLD ", {"HELLO", "WORLD"}, etwPunctuationBreak},
        {"a#b c&d", nullptr, {"AB", "CD"}, etwDroppedPunctuation},
        {"a\x01z\rb", "AZB", {"AZB"}, etwDroppedCharacter},
        {"a\xe2\x82\xa8"
         "b \xf0\x9f\x98\x80ok",
         nullptr,
         {"AB", "OK"},
         etwDroppedCharacter},
        // Tabs and line feeds separate without a warning; apostrophes stay, and tokens
        // without a letter are blanked.
        {"One\ttwo\nTHREE", "ONE TWO THREE", {"ONE", "TWO", "THREE"}, etwNone},
        {"don't '' o'neil '", "DON'T    O'NEIL  ", {"DON'T", "O'NEIL"}, etwNone},
    };
    for (const auto& c : cases) {
        TranscriptWords words(c.text);
        if (c.cleaned) {
            EXPECT_EQ(words.CleanedText(), c.cleaned) << c.text;
        }
        EXPECT_EQ(words.Sequence(), c.words) << c.text;
        EXPECT_EQ(words.WarningLevel(), c.warning) << c.text;
    }
}

TEST(TranscriptCleaning, AccentsFoldAndNumbersAreSpelledOut) {
    const struct {
        const char* text;
        Texts words;
    } cases[] = {
        {"caf\xc3\xa9 na\xc3\xafve", {"CAFE", "NAIVE"}},
        {"caf\xe9", {"CAFE"}}, // Latin-1
        {"\xc5\x92uvre stra\xc3\x9f"
         "e \xc5\x81\xc3\xb3"
         "d\xc5\xba",
         {"OEUVRE", "STRASSE", "LODZ"}},
        {"it\xe2\x80\x99s", {"IT'S"}},
        {"42", {"FORTY", "TWO"}},
        {"0 7 13 100 101",
         {"ZERO", "SEVEN", "THIRTEEN", "ONE", "HUNDRED", "ONE", "HUNDRED", "ONE"}},
        {"1984 1900 1905 2024",
         {"NINETEEN", "EIGHTY", "FOUR", "NINETEEN", "HUNDRED", "NINETEEN", "OH", "FIVE", "TWENTY",
          "TWENTY", "FOUR"}},
        {"2005 1,000,000", {"TWO", "THOUSAND", "FIVE", "ONE", "MILLION"}},
        {"$5 $1 $1.50 \xc2\xa3"
         "2",
         {"FIVE", "DOLLARS", "ONE", "DOLLAR", "ONE", "DOLLAR", "FIFTY", "CENTS", "TWO", "POUNDS"}},
        {"3.14, 50%.", {"THREE", "POINT", "ONE", "FOUR", "FIFTY", "PERCENT"}},
        {"1st 2nd 3rd 12th 20th 21st",
         {"FIRST", "SECOND", "THIRD", "TWELFTH", "TWENTIETH", "TWENTY", "FIRST"}},
        {"1234567890123",
         {"ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT", "NINE", "ZERO", "ONE",
          "TWO", "THREE"}},
    };
    for (const auto& c : cases) {
        TranscriptWords words(c.text);
        EXPECT_EQ(words.Sequence(), c.words) << c.text;
        EXPECT_LT(words.WarningLevel(), etwDroppedPunctuation) << c.text;
    }
}

TEST(TranscriptWordSet, DistinctWordsInByteOrderWithTranscriptOrderKept) {
    TranscriptWords words("the dog saw the cat a'b a");
    EXPECT_EQ(Distinct(words), (Texts{"A", "A'B", "CAT", "DOG", "SAW", "THE"}));
    EXPECT_EQ(words.Sequence(), (Texts{"THE", "DOG", "SAW", "THE", "CAT", "A'B", "A"}));
    ASSERT_NE(words.Find("CAT"), nullptr);
    EXPECT_FALSE(words.Find("CAT")->found);
    EXPECT_EQ(words.Find("COW"), nullptr);
    EXPECT_FALSE(words.PronunciationsLoaded());

    words.AddPronunciation("[PAUSE]", "sil");
    words.AddPronunciation("<SIL>", "sil");
    EXPECT_EQ(Distinct(words), (Texts{"<SIL>", "A", "A'B", "CAT", "DOG", "SAW", "THE", "[PAUSE]"}));

    words.SetText("");
    EXPECT_EQ(words.Count(), 0);
    EXPECT_TRUE(words.Sequence().empty());
    EXPECT_EQ(words.WarningLevel(), etwNone);
}
