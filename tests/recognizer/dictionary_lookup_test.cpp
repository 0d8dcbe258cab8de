#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../core/thrown.h"
#include "dictionary.h"
#include "encoded_files_test_support.h"
#include "errors.h"
#include "line_codec.h"

using namespace Vantrix;

namespace {

const std::string kDataFolder = std::string(VX_TEST_DATA) + "/recognizer/dictionary/";
const std::string kDictionary = kDataFolder + "DtC6dal.dat";
const std::string kLexicon = kDataFolder + "DtC6dl.dat";

using Texts = std::vector<std::string>;

using DictionaryFiles = EncodedFilesTest;

} // namespace

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

TEST_F(DictionaryFiles, ReaderDecodesLinesOfAnyEnding) {
    std::string path = Write("lines.dat", "first\r\n\nsecond\tpart\nlast");
    TEncodedLineReader reader(path);
    ASSERT_TRUE(reader.IsOpen());
    std::vector<std::string> lines;
    for (std::string line; reader.ReadLine(line);)
        lines.push_back(line);
    EXPECT_EQ(lines, (Texts{"first", "", "second\tpart", "last"}));
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

TEST_F(DictionaryFiles, CommentsAnywhereAndHashLetterIsAHeadword) {
    std::string path = Write("dict.dat", "# title\n#\n##\n#\tnote\n#A hh ae sh\nA ax\n# between\n"
                                         "A(2) ey\nB\tb iy \r\nC(1.5) s iy\nC() k\nCC k k\n");
    TranscriptWords words("a b c cc");
    EXPECT_EQ(lookUpDictionary(path, words), eetSuccess);
    EXPECT_EQ(words.Find("A")->pronunciations, (Texts{"ax", "ey"}));
    EXPECT_EQ(words.Find("B")->pronunciations, (Texts{"b iy"}));
    // "C()" is not an alternative of C, so it ends C's lines.
    EXPECT_EQ(words.Find("C")->pronunciations, (Texts{"s iy"}));
    EXPECT_EQ(words.Find("CC")->pronunciations, (Texts{"k k"}));

    // A file holding only a "#A" line has content.
    TranscriptWords other("x");
    EXPECT_EQ(lookUpDictionary(Write("hash.dat", "#A x"), other), eetFindFailure);
}

TEST_F(DictionaryFiles, EmptyMissingOrDamagedDictionaryIsCatastrophic) {
    TranscriptWords words("hello");
    // A file of comments only holds no line either.
    for (const std::string& file :
         {Write("empty.dat", ""), Missing(), Write("comments.dat", "# a\n#\n"),
          Write("long.dat", "A a\n" + std::string(kMaxLineLength + 1, 'H'))})
        EXPECT_EQ(ThrownKind([&] { lookUpDictionary(file, words); }), eetCatastrophicFailure)
            << file;
    // Without a transcript word the file still has to hold a line.
    TranscriptWords none("");
    EXPECT_EQ(ThrownKind([&] { loadPronunciations(Write("e2.dat", ""), Missing(), none); }),
              eetCatastrophicFailure);
}

TEST_F(DictionaryFiles, KnownWordsNeverOpenTheLexiconAndSilenceIsAlwaysThere) {
    TranscriptWords words("Hello, world!");
    EXPECT_EQ(loadPronunciations(kDictionary, Missing(), words), eetSuccess);
    EXPECT_TRUE(words.PronunciationsLoaded());
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
    const std::string dictionary = Write("odd.dat", "CAT k ae tt\nCHAT ch ae t\nCHAT ch xx t\n");
    TranscriptWords words("cat chat");
    EXPECT_EQ(loadPronunciations(dictionary, kLexicon, words), eetSuccess);
    EXPECT_EQ(words.Find("CAT")->pronunciations, (Texts{"k ae t"}));
    EXPECT_EQ(words.Find("CHAT")->pronunciations, (Texts{"ch ae t"}));
}

TEST_F(DictionaryFiles, UnknownWordsArePredictedFromTheLexicon) {
    TranscriptWords words("Hello, ships! Don't chat.");
    EXPECT_EQ(loadPronunciations(kDictionary, kLexicon, words), eetSuccess);
    EXPECT_TRUE(words.Find("HELLO")->found);
    const TTranscriptWord* ships = words.Find("SHIPS");
    ASSERT_NE(ships, nullptr);
    EXPECT_FALSE(ships->found);
    EXPECT_EQ(ships->pronunciations, (Texts{"sh ih p s"}));
    // The lexicon has no apostrophe: it is dropped from the pronunciation.
    EXPECT_EQ(words.Find("DON'T")->pronunciations, (Texts{"d aa n t"}));
    EXPECT_EQ(words.Find("CHAT")->pronunciations, (Texts{"ch ae t"}));
    EXPECT_EQ(words.Find("<SIL>")->pronunciations, (Texts{"sil"}));

    TranscriptWords unknown("zebras");
    EXPECT_EQ(ThrownKind([&] { loadPronunciations(kDictionary, Missing(), unknown); }),
              eetCatastrophicFailure);
    EXPECT_FALSE(unknown.PronunciationsLoaded());
}
