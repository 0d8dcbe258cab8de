// Transcript words, the pronunciation dictionary and letter-to-sound on hand-written files.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../core/thrown.h"
#include "dictionary.h"
#include "encoded_files_test_support.h"
#include "errors.h"
#include "letter_to_sound.h"
#include "line_codec.h"
#include "transcript_words.h"

using namespace Vantrix;

namespace {

const std::string kDataFolder = std::string(VX_TEST_DATA) + "/recognizer/dictionary/";
const std::string kDictionary = kDataFolder + "DtC6dal.dat";
const std::string kLexicon = kDataFolder + "DtC6dl.dat";

using Texts = std::vector<std::string>;
using DictionaryFiles = EncodedFilesTest;

std::vector<std::string> Distinct(const TranscriptWords& words) {
    std::vector<std::string> texts;
    for (const TTranscriptWord& word : words)
        texts.push_back(word.text);
    return texts;
}

using LetterToSound = EncodedFilesTest;

} // namespace

// ---- Transcript words ----

TEST(TranscriptCleaning, PunctuationBreaksWordsAndDroppedCharactersJoinThem) {
    for (char c : std::string("-.,;?!\":()")) {
        TranscriptWords broken(std::string("ab") + c + "cd");
        EXPECT_EQ(broken.Sequence(), (Texts{"AB", "CD"})) << c;
        EXPECT_EQ(broken.WarningLevel(), etwPunctuationBreak) << c;
    }
    const struct {
        const char* text;
        const char* cleaned;
        Texts words;
        int32_t warning;
    } cases[] = {
        {"hello, world!", "HELLO  WORLD ", {"HELLO", "WORLD"}, etwPunctuationBreak},
        {"a#b c&d", "AB CD", {"AB", "CD"}, etwDroppedPunctuation},
        {"a\x01z\rb", "AZB", {"AZB"}, etwDroppedCharacter},
        {"a\xe2\x82\xa8"
         "b \xf0\x9f\x98\x80ok",
         "AB OK",
         {"AB", "OK"},
         etwDroppedCharacter},
        // Tabs and line feeds separate without a warning; apostrophes stay, and tokens
        // without a letter are blanked.
        {"One\ttwo\nTHREE", "ONE TWO THREE", {"ONE", "TWO", "THREE"}, etwNone},
        {"don't '' o'neil '", "DON'T    O'NEIL  ", {"DON'T", "O'NEIL"}, etwNone},
    };
    for (const auto& c : cases) {
        TranscriptWords words(c.text);
        EXPECT_EQ(words.CleanedText(), c.cleaned) << c.text;
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

    words.AddPronunciation("[PAUSE]", "sil");
    words.AddPronunciation("<SIL>", "sil");
    EXPECT_EQ(Distinct(words), (Texts{"<SIL>", "A", "A'B", "CAT", "DOG", "SAW", "THE", "[PAUSE]"}));
}

// ---- Dictionary ----

TEST(LineCodec, CommentsHeadwordsAndAlternativeMarkers) {
    for (const char* comment : {"#", "## x", "# text", "#\ttext"})
        EXPECT_TRUE(IsCommentLine(comment)) << comment;
    for (const char* content : {"#A hh", " # x", ""})
        EXPECT_FALSE(IsCommentLine(content)) << content;
    EXPECT_EQ(HeadwordOf("HELLO\tx"), "HELLO");
    EXPECT_EQ(HeadwordOf(" x"), "");
    const std::pair<const char*, const char*> bare[] = {
        {"THE(2)", "THE"},    {"THE(1.5)", "THE"}, {"(12)", ""}, {"THE()", "THE()"},
        {"THE(X)", "THE(X)"}, {"THE(2", "THE(2"},  {"2)", "2)"}};
    for (const auto& [headword, word] : bare)
        EXPECT_EQ(WithoutAlternativeMarker(headword), word) << headword;
}

TEST(DictionaryLookup, AlternativesInFileOrderAndMissingWordsStayUnfound) {
    TranscriptWords words("The quick brown fox jumps over the lazy dog.");
    EXPECT_EQ(lookUpDictionary(kDictionary, words), eetSuccess);
    EXPECT_EQ(words.Find("THE")->pronunciations, (Texts{"dh ax", "dh iy"}));
    EXPECT_EQ(words.Find("FOX")->pronunciations, (Texts{"f aa k s"}));
    for (const TTranscriptWord& word : words)
        EXPECT_TRUE(word.found) << word.text;

    TranscriptWords some("hello zebra world aardvark zzz");
    EXPECT_EQ(lookUpDictionary(kDictionary, some), eetFindFailure);
    EXPECT_EQ(some.Find("HELLO")->pronunciations.size(), 2u);
    EXPECT_TRUE(some.Find("WORLD")->found);
    for (const char* missing : {"AARDVARK", "ZEBRA", "ZZZ"}) {
        EXPECT_FALSE(some.Find(missing)->found) << missing;
        EXPECT_TRUE(some.Find(missing)->pronunciations.empty()) << missing;
    }
}

// Also lines of any ending: a blank one, a carriage return and a last line without a feed.
TEST_F(DictionaryFiles, CommentsAnywhereAndHashLetterIsAHeadword) {
    std::string path = Write("\n# title\n#\n##\n#\tnote\n#A hh ae sh\nA ax\n# between\n"
                             "A(2) ey\nB\tb iy \r\nC(1.5) s iy\nC() k\nCC k k");
    TranscriptWords words("a b c cc");
    EXPECT_EQ(lookUpDictionary(path, words), eetSuccess);
    EXPECT_EQ(words.Find("A")->pronunciations, (Texts{"ax", "ey"}));
    EXPECT_EQ(words.Find("B")->pronunciations, (Texts{"b iy"}));
    // "C()" is not an alternative of C, so it ends C's lines.
    EXPECT_EQ(words.Find("C")->pronunciations, (Texts{"s iy"}));
    EXPECT_EQ(words.Find("CC")->pronunciations, (Texts{"k k"}));

    // A file holding only a "#A" line has content.
    TranscriptWords other("x");
    EXPECT_EQ(lookUpDictionary(Write("#A x"), other), eetFindFailure);
}

TEST_F(DictionaryFiles, EmptyMissingOrDamagedDictionaryIsCatastrophic) {
    TranscriptWords words("hello");
    // A file of comments only holds no line either.
    for (const std::string& file : {Write(""), Missing(), Write("# a\n#\n"),
                                    Write("A a\n" + std::string(kMaxLineLength + 1, 'H'))})
        EXPECT_EQ(ThrownKind([&] { lookUpDictionary(file, words); }), eetCatastrophicFailure)
            << file;
    // Without a transcript word the file still has to hold a line.
    TranscriptWords none("");
    EXPECT_EQ(ThrownKind([&] { loadPronunciations(Write(""), Missing(), none); }),
              eetCatastrophicFailure);
}

TEST_F(DictionaryFiles, KnownWordsNeverOpenTheLexiconAndSilenceIsAlwaysThere) {
    TranscriptWords words("Hello, world!");
    EXPECT_EQ(loadPronunciations(kDictionary, Missing(), words), eetSuccess);
    EXPECT_EQ(words.Find("<SIL>")->pronunciations, (Texts{"sil"}));
    EXPECT_EQ(words.Find("[PAUSE]")->pronunciations, (Texts{"sil"}));
    EXPECT_EQ(words.Count(), 4);

    // Runs once per set: the dictionary is not read again.
    EXPECT_EQ(loadPronunciations(Missing(), Missing(), words), eetSuccess);
    EXPECT_EQ(words.Find("HELLO")->pronunciations.size(), 2u);

    TranscriptWords silent("");
    EXPECT_EQ(loadPronunciations(kDictionary, Missing(), silent), eetSuccess);
    EXPECT_EQ(silent.Count(), 2);
}

TEST_F(DictionaryFiles, UnparsableLinesGiveWayToLetterToSound) {
    // A phoneme name the recognizer lacks would leave the word out of the alignment.
    const std::string dictionary = Write("CAT k ae tt\nCHAT ch ae t\nCHAT ch xx t\n");
    TranscriptWords words("cat chat");
    EXPECT_EQ(loadPronunciations(dictionary, kLexicon, words), eetSuccess);
    EXPECT_EQ(words.Find("CAT")->pronunciations, (Texts{"k ae t"}));
    EXPECT_EQ(words.Find("CHAT")->pronunciations, (Texts{"ch ae t"}));
}

TEST_F(DictionaryFiles, UnknownWordsArePredictedFromTheLexicon) {
    TranscriptWords words("Hello, ships! Don't chat.");
    EXPECT_EQ(loadPronunciations(kDictionary, kLexicon, words), eetSuccess);
    EXPECT_EQ(words.Find("HELLO")->pronunciations.size(), 2u);
    EXPECT_EQ(words.Find("SHIPS")->pronunciations, (Texts{"sh ih p s"}));
    // The lexicon has no apostrophe: it is dropped from the pronunciation.
    EXPECT_EQ(words.Find("DON'T")->pronunciations, (Texts{"d aa n t"}));
    EXPECT_EQ(words.Find("CHAT")->pronunciations, (Texts{"ch ae t"}));

    TranscriptWords unknown("zebras");
    EXPECT_EQ(ThrownKind([&] { loadPronunciations(kDictionary, Missing(), unknown); }),
              eetCatastrophicFailure);
    EXPECT_FALSE(unknown.PronunciationsLoaded());
}

// ---- Letter-to-sound ----

TEST(LetterContext, AlternatesOutwardWithOneEdgeMarkPerSide) {
    const int32_t u[] = {10, 11, 12, 13};
    std::vector<int32_t> context;
    BuildContext(u, 4, 0, context);
    EXPECT_EQ(context, (std::vector<int32_t>{10, -1, 11, 12, 13, -1}));
    BuildContext(u, 4, 1, context);
    EXPECT_EQ(context, (std::vector<int32_t>{11, 10, 12, -1, 13, -1}));
    BuildContext(u, 4, 3, context);
    EXPECT_EQ(context, (std::vector<int32_t>{13, 12, -1, 11, 10, -1}));
    BuildContext(u, 1, 0, context);
    EXPECT_EQ(context, (std::vector<int32_t>{10, -1, -1}));
}

TEST_F(LetterToSound, InventoriesAreSortedAndGroupsAreTokensJoinedBySingleSpaces) {
    TLetterToSound model;
    model.Learn(Write("# aligned\nBACK b | ae | k |\nALL ao | l\n"));
    EXPECT_EQ(model.Units(), (Texts{"A", "B", "C", "K", "LL"}));
    EXPECT_EQ(model.Groups(), (Texts{"", "ae", "ao", "b", "k", "l"})); // with the empty group
    EXPECT_EQ(model.Pronounce("BACK"), "b ae k");
    EXPECT_EQ(model.Pronounce("CALL"), "k ao l");
    // Tabs and runs of blanks between tokens, a bar inside a token, a group too long to pack and
    // a control character: each group is its tokens joined by one space.
    TLetterToSound spaced;
    spaced.Learn(Write("ABC\tax \t l |\tp|q |  y uw ax  ay\nAB ax l | \x01\n"));
    EXPECT_EQ(spaced.Groups(), (Texts{"\x01", "ax l", "p|q", "y uw ax ay"}));
    EXPECT_EQ(spaced.Pronounce("ABC"), "ax l p|q y uw ax ay");
}

// Worked examples: the lexicon learned, then one spelling pronounced.
TEST_F(LetterToSound, PronunciationsOfSmallLexicons) {
    const char* const kCat = "CAT k | ae | t\nCAR k | aa | r\nCITY s | ih | t | iy\nAT ae | t\n";
    const char* const kAbAc = "AB ae | b\nAC ey | k\n";
    const char* const kTied = "AB ae | b\nAB(2) ey | b\nAC aa | k\n";
    const struct {
        const char* lexicon;
        const char* word;
        const char* expected;
    } cases[] = {
        // T is always t; A is ae two to one; C is k two to one, but s after a word edge and
        // before I.
        {kCat, "TAC", "t ae k"},
        {kCat, "CIT", "s ih t"},
        {kCat, "CAT", "k ae t"},
        {kCat, "CITY", "s ih t iy"},
        // A alone: ae and ey once each everywhere its context reaches; the later group wins.
        {kAbAc, "A", "ey"},
        {kAbAc, "AB", "ae b"},
        {kAbAc, "AC", "ey k"},
        // An alternative counts under its bare headword; a tie below never replaces the answer.
        {kTied, "AB", "ey b"},
        {kTied, "AC", "aa k"},
        // Unknown runs shrink or drop.
        {kAbAc, "AXB", "ae b"},
        {kAbAc, "AAB", "ae b"},
        {kAbAc, "XYZ", ""},
        {kAbAc, "", ""},
    };
    for (const auto& c : cases) {
        TLetterToSound model;
        model.Learn(Write(c.lexicon));
        EXPECT_EQ(model.Pronounce(c.word), c.expected) << c.lexicon << c.word;
    }
}

TEST_F(LetterToSound, MalformedEntriesAreCatastrophic) {
    auto learnKind = [&](const std::string& path, size_t maxBytes = kMaxContextTrieBytes) {
        TLetterToSound model(maxBytes);
        return ThrownKind([&] { model.Learn(path); });
    };
    // Too many groups, too few, no headword, no entry at all, and a word of too many units.
    std::string longWord;
    for (int i = 0; i <= kMaxLexiconWordUnits; ++i)
        longWord += char('A' + i % 2);
    for (const std::string& text :
         {std::string("CAT k | ae | t | s\n"), std::string("CAT k | ae | t\nDOG d | ao\n"),
          std::string(" k | ae\n"), std::string(), std::string("# only\n#\n"),
          std::string("\n  \n"), longWord + std::string(size_t(kMaxLexiconWordUnits), '|')})
        EXPECT_EQ(learnKind(Write(text)), eetCatastrophicFailure) << text;
    EXPECT_EQ(learnKind(Missing()), eetCatastrophicFailure);
    // Blank lines and a trailing "|" (one empty group) are fine.
    EXPECT_EQ(learnKind(Write("\nBACK b | ae | k |\n\n")), eetSuccess);
    // A model larger than its memory limit stops cleanly.
    EXPECT_EQ(learnKind(Write("AB ae | b\n"), 0), eetCatastrophicFailure);
}

TEST_F(LetterToSound, QueryDirectedPathWorkedExample) {
    std::string path = Write("AB ae | b\nAB(2) ey | b\nAC aa | k\nCAT k | ae | t\n");
    std::vector<std::string_view> words{"AB", "AC", "", "XYZ", "CAT", "TAC", "AB"};
    std::vector<std::string> got = PronounceFromLexicon(path, words);
    // A: ae twice at the root (AB, CAT); below it ae, ey and aa tie, which never replaces that.
    EXPECT_EQ(got, (Texts{"ae b", "aa k", "", "", "k ae t", "t ae k", "ae b"}));
}

TEST_F(LetterToSound, QueryDirectedPathChecksTheWholeLexicon) {
    auto kind = [&](const std::string& text, std::vector<std::string_view> words) {
        return ThrownKind([&] { PronounceFromLexicon(Write(text), words); });
    };
    // A bad entry far from the queried letters, or with no word queried at all, still stops it.
    EXPECT_EQ(kind("AB ae | b\nZZZQ z | k | w\n", {"AB"}), eetCatastrophicFailure);
    EXPECT_EQ(kind("AB ae | b | k\n", {}), eetCatastrophicFailure);
    EXPECT_EQ(kind("# only\n", {"AB"}), eetCatastrophicFailure);
    EXPECT_EQ(kind("AB ae | b\n", {"AB"}), eetSuccess);
    EXPECT_EQ(ThrownKind([&] { PronounceFromLexicon(Missing(), {"AB"}); }), eetCatastrophicFailure);
}
