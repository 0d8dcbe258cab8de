// vx-pronounce: prints the pronunciation that the engine's letter-to-sound model predicts from
// an aligned lexicon for every word read from standard input.
//
//     vx-pronounce LEXICON < words      one word per line (or several separated by blanks)
//
// Output: "WORD<TAB>phonemes" per word in input order, WORD upper case as the engine sees it.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "errors.h"
#include "letter_to_sound.h"

namespace {

// Up to this many words only their contexts are learnt; past it the whole trie is cheaper.
constexpr size_t kQueryDirectedWords = 2000;

// Upper case as transcript cleaning makes it; other characters are kept for the model to skip.
std::string UpperCase(const std::string& word) {
    std::string upper(word);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return upper;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LEXICON < words\n", argv[0]);
        return 2;
    }
    // All words first: a few words need only the contexts they reach, in one lexicon pass.
    std::ios::sync_with_stdio(false);
    std::vector<std::string> words;
    for (std::string word; std::cin >> word;)
        words.push_back(UpperCase(word));
    std::vector<std::string_view> spellings(words.begin(), words.end());

    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> pronunciations;
    try {
        if (words.size() <= kQueryDirectedWords) {
            pronunciations = Vantrix::PronounceFromLexicon(argv[1], spellings);
        } else {
            Vantrix::TLetterToSound model;
            model.Learn(argv[1]);
            for (std::string_view word : spellings)
                pronunciations.push_back(model.Pronounce(word));
        }
    } catch (Vantrix::EErrorType kind) {
        std::fprintf(stderr, "%s: cannot learn from %s: %s\n", argv[0], argv[1],
                     Vantrix::NameOf(kind));
        return 1;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "pronounced %zu words in %.3f s\n", words.size(), seconds);

    std::string line;
    for (size_t w = 0; w < words.size(); ++w) {
        line.assign(words[w]).append(1, '\t').append(pronunciations[w]).append(1, '\n');
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}
