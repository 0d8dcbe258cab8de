// The query-directed letter-to-sound path against the complete context trie: both must give
// every word the same pronunciation, whether the query counts densely (few words) or in lists
// (many words).
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "encoded_files_test_support.h"
#include "letter_to_sound.h"
#include "line_codec.h"

using namespace Vantrix;
namespace fs = std::filesystem;

namespace {

const std::string kTestLexicon = std::string(VX_TEST_DATA) + "/recognizer/dictionary/DtC6dl.dat";
const std::string kShippedData = std::string(VX_TEST_DATA) + "/../../data/KvParlo/Data";

// Every stride-th headword of an encoded file, without alternative markers.
std::vector<std::string> Headwords(const std::string& path, size_t stride) {
    std::vector<std::string> words;
    TEncodedLineReader reader(path);
    std::string line;
    for (size_t n = 0; reader.ReadContentLine(line); ++n)
        if (n % stride == 0) words.emplace_back(WithoutAlternativeMarker(HeadwordOf(line)));
    return words;
}

// Spellings of runs of one to three letters; letters the lexicon lacks make runs shrink or drop.
std::vector<std::string> RandomSpellings(std::mt19937& rng, std::string_view letters, size_t count,
                                         size_t maxRuns) {
    std::vector<std::string> words(count);
    for (std::string& word : words) {
        size_t runs = 1 + rng() % maxRuns;
        for (size_t r = 0; r < runs; ++r)
            word.append(1 + rng() % 3, letters[rng() % letters.size()]);
    }
    return words;
}

// Pronunciations of all words in one query, and of the first batchWords words in batches.
void ExpectSameAsWholeTrie(const std::string& lexicon, const std::vector<std::string>& words,
                           size_t batch, size_t batchWords) {
    TLetterToSound model;
    model.Learn(lexicon);
    std::vector<std::string> expected;
    for (const std::string& word : words)
        expected.push_back(model.Pronounce(word));

    auto expectSame = [&](size_t first, size_t last) {
        std::vector<std::string_view> some(words.begin() + long(first), words.begin() + long(last));
        const std::vector<std::string> got = PronounceFromLexicon(lexicon, some);
        ASSERT_EQ(got.size(), last - first);
        for (size_t w = first; w < last; ++w)
            ASSERT_EQ(got[w - first], expected[w]) << words[w] << " in a query of " << last - first;
    };
    expectSame(0, words.size());
    for (size_t first = 0; first < std::min(batchWords, words.size()); first += batch)
        expectSame(first, std::min(first + batch, words.size()));
}

using LetterToSoundExact = EncodedFilesTest;

// A small lexicon over few letters and phones: ties everywhere, groups first met in an order
// other than their sorted one, and every spelling quirk the format allows.
std::string RandomLexicon(std::mt19937& rng) {
    static const char* const kGroups[] = {"",   "a",         "b",   "ax l", "k s",      "y uw ax",
                                          "aa", "longphone", "p|q", "b a",  "zz zz zz", "\x01"};
    static const char* const kGaps[] = {" ", "  ", "\t", " \t "};
    auto gap = [&] { return std::string(kGaps[rng() % 4]); };
    std::string text = "# random lexicon\n";
    size_t entries = 40 + rng() % 160;
    for (size_t e = 0; e < entries; ++e) {
        if (rng() % 20 == 0) text += rng() % 2 ? "\n" : "## note\n";
        std::string word;
        size_t runs = 1 + rng() % 6, units = 0;
        for (size_t r = 0; r < runs; ++r) {
            char letter = "ABC'"[rng() % 4];
            if (!word.empty() && word.back() == letter) continue;
            word.append(1 + rng() % 3, letter);
            ++units;
        }
        text += word;
        if (rng() % 10 == 0) text += "(2)";
        for (size_t u = 0; u < units; ++u) {
            std::string group = kGroups[rng() % (sizeof kGroups / sizeof *kGroups)];
            for (char& c : group)
                if (c == ' ' && rng() % 3 == 0) c = '\t';
            if (u > 0) text += gap() + "|";
            if (!group.empty()) text += gap() + group;
        }
        if (rng() % 4 == 0) text += gap();
        text += rng() % 5 == 0 ? "\r\n" : "\n";
    }
    return text;
}

// Every spelling of up to four runs over the lexicon's letters and one it lacks.
std::vector<std::string> AllShortSpellings() {
    std::vector<std::string> words{""};
    for (size_t i = 0; words[i].size() < 4; ++i)
        for (char c : std::string("ABC'X"))
            words.push_back(words[i] + c);
    words.insert(words.end(), {"AAAAB", "CCCCCCCC"});
    return words;
}

} // namespace

TEST_F(LetterToSoundExact, RandomLexiconsGiveTheWholeTriesAnswers) {
    std::mt19937 rng(20240611);
    std::vector<std::string> words = AllShortSpellings();
    for (int lexicon = 0; lexicon < 12; ++lexicon) {
        SCOPED_TRACE("lexicon " + std::to_string(lexicon));
        ExpectSameAsWholeTrie(Write(RandomLexicon(rng)), words, 7, 140);
        if (HasFatalFailure()) return;
    }
}

// Enough words for the query to take several passes over the samples, and words far longer
// than any entry, whose contexts reach deeper than any sample's.
TEST(LetterToSoundExactData, TestLexiconGivesTheWholeTriesAnswers) {
    std::mt19937 rng(7);
    std::vector<std::string> words = Headwords(kTestLexicon, 1);
    std::vector<std::string> made = RandomSpellings(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ'", 20000, 8);
    words.insert(words.end(), made.begin(), made.end());
    made = RandomSpellings(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ'", 3, 400);
    words.insert(words.begin(), made.begin(), made.end());
    ExpectSameAsWholeTrie(kTestLexicon, words, 8, 400);
}

// The shipped lexicon with real words and made-up ones; skipped where the data is not present.
TEST(LetterToSoundExactData, ShippedLexiconGivesTheWholeTriesAnswers) {
    const std::string lexicon = kShippedData + "/DtC6dl.dat";
    const std::string dictionary = kShippedData + "/DtC6dal.dat";
    if (!fs::exists(lexicon) || !fs::exists(dictionary)) GTEST_SKIP() << "no shipped data";
    std::mt19937 rng(11);
    std::vector<std::string> words = Headwords(dictionary, 97);
    std::vector<std::string> made = RandomSpellings(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ'", 1000, 7);
    words.insert(words.end(), made.begin(), made.end());
    std::shuffle(words.begin(), words.end(), rng);
    ExpectSameAsWholeTrie(lexicon, words, 5, 20);
}
