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

TEST(TranscriptCleaning, PunctuationBreaksWordsAtLevelOne) {
    TranscriptWords words("hello, world!");
    EXPECT_EQ(words.Text(), "hello, world!");
    EXPECT_EQ(words.CleanedText(), "HELLO  WORLD ");
    EXPECT_EQ(words.Sequence(), (Texts{"HELLO", "WORLD"}));
    EXPECT_EQ(words.WarningLevel(), etwPunctuationBreak);
    for (char c : std::string("-.,;?!\":()")) {
        TranscriptWords broken(std::string("ab") + c + "cd");
        EXPECT_EQ(broken.Sequence(), (Texts{"AB", "CD"})) << c;
        EXPECT_EQ(broken.WarningLevel(), etwPunctuationBreak) << c;
    }
}

TEST(TranscriptCleaning, DigitsAndOtherPunctuationAreDroppedAtLevelTwo) {
    TranscriptWords words("hello, world 2!");
    EXPECT_EQ(words.Sequence(), (Texts{"HELLO", "WORLD"}));
    EXPECT_EQ(words.WarningLevel(), etwDroppedPunctuation);
    // Dropping joins the letters around it.
    TranscriptWords joined("a#b c&d 50%");
    EXPECT_EQ(joined.Sequence(), (Texts{"AB", "CD"}));
    EXPECT_EQ(joined.WarningLevel(), etwDroppedPunctuation);
}

TEST(TranscriptCleaning, HighAndControlBytesAreDroppedAtLevelThree) {
    TranscriptWords high("caf\xc3\xa9 ok.");
    EXPECT_EQ(high.Sequence(), (Texts{"CAF", "OK"}));
    EXPECT_EQ(high.WarningLevel(), etwDroppedCharacter);
    TranscriptWords control("a\x01z\rb");
    EXPECT_EQ(control.CleanedText(), "AZB");
    EXPECT_EQ(control.WarningLevel(), etwDroppedCharacter);
}

TEST(TranscriptCleaning, TabsAndLineFeedsSeparateWithoutWarning) {
    TranscriptWords words("One\ttwo\nTHREE");
    EXPECT_EQ(words.CleanedText(), "ONE TWO THREE");
    EXPECT_EQ(words.WarningLevel(), etwNone);
    EXPECT_EQ(words.Sequence(), (Texts{"ONE", "TWO", "THREE"}));
}

TEST(TranscriptCleaning, ApostrophesStayAndLetterlessTokensAreBlanked) {
    TranscriptWords words("don't '' o'neil '");
    EXPECT_EQ(words.CleanedText(), "DON'T    O'NEIL  ");
    EXPECT_EQ(words.Sequence(), (Texts{"DON'T", "O'NEIL"}));
    EXPECT_EQ(words.WarningLevel(), etwNone);
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
