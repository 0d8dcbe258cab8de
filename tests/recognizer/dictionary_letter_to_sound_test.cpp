#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../core/thrown.h"
#include "dictionary.h"
#include "encoded_files_test_support.h"
#include "errors.h"
#include "letter_to_sound.h"
#include "line_codec.h"

using namespace Vantrix;

namespace {

using Texts = std::vector<std::string>;

class LetterToSound : public EncodedFilesTest {
protected:
    // Kind thrown while learning the text, or eetSuccess.
    int32_t LearnKind(const std::string& text, size_t maxBytes = kMaxContextTrieBytes) {
        TLetterToSound model(maxBytes);
        return ThrownKind([&] { model.Learn(Write(text)); });
    }
};

} // namespace

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

    const int32_t w[] = {0, 1, 2, 3, 4, 5, 6};
    for (int32_t n = 1; n <= 7; ++n)
        for (int32_t i = 0; i < n; ++i) {
            BuildContext(w, n, i, context);
            ASSERT_EQ(context.size(), size_t(n + 2));
            for (int32_t k = 0; k < n + 2; ++k)
                EXPECT_EQ(ContextElement(w, n, i, k), context[size_t(k)]) << n << i << k;
        }
}

TEST_F(LetterToSound, InventoriesAreSortedAndHoldTheEmptyGroup) {
    TLetterToSound model;
    model.Learn(Write("# aligned\nBACK b | ae | k |\nALL ao | l\n"));
    EXPECT_EQ(model.Units(), (Texts{"A", "B", "C", "K", "LL"}));
    EXPECT_EQ(model.Groups(), (Texts{"", "ae", "ao", "b", "k", "l"}));
    EXPECT_EQ(model.Pronounce("BACK"), "b ae k");
    EXPECT_EQ(model.Pronounce("CALL"), "k ao l");
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
    EXPECT_EQ(LearnKind("CAT k | ae | t | s\n"), eetCatastrophicFailure);
    EXPECT_EQ(LearnKind("CAT k | ae | t\nDOG d | ao\n"), eetCatastrophicFailure);
    EXPECT_EQ(LearnKind(" k | ae\n"), eetCatastrophicFailure);
    EXPECT_EQ(LearnKind(""), eetCatastrophicFailure);
    EXPECT_EQ(LearnKind("# only\n#\n"), eetCatastrophicFailure);
    EXPECT_EQ(LearnKind("\n  \n"), eetCatastrophicFailure);
    std::string longWord;
    for (int i = 0; i <= kMaxLexiconWordUnits; ++i)
        longWord += char('A' + i % 2);
    EXPECT_EQ(LearnKind(longWord + std::string(size_t(kMaxLexiconWordUnits), '|')),
              eetCatastrophicFailure);
    // Blank lines and a trailing "|" (one empty group) are fine.
    EXPECT_EQ(LearnKind("\nBACK b | ae | k |\n\n"), eetSuccess);
    // A model larger than its memory limit stops cleanly.
    EXPECT_EQ(LearnKind("AB ae | b\n", 0), eetCatastrophicFailure);

    TLetterToSound model;
    EXPECT_EQ(ThrownKind([&] { model.Learn(Missing()); }), eetCatastrophicFailure);
}

TEST_F(LetterToSound, GroupsAreTokensJoinedBySingleSpaces) {
    TLetterToSound model;
    // Tabs and runs of blanks between tokens, a bar inside a token, a group too long to pack and
    // a control character: each group is its tokens joined by one space.
    model.Learn(Write("ABC\tax \t l |\tp|q |  y uw ax  ay\nAB ax l | \x01\n"));
    EXPECT_EQ(model.Groups(), (Texts{"\x01", "ax l", "p|q", "y uw ax ay"}));
    EXPECT_EQ(model.Pronounce("ABC"), "ax l p|q y uw ax ay");
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
