// vx-pronounce: learns the engine's letter-to-sound model from an aligned lexicon and prints the
// pronunciation it predicts for every word read from standard input.
//
//     vx-pronounce LEXICON < words      one word per line (or several separated by blanks)
//
// Output: "WORD<TAB>phonemes" per word, WORD upper case as the engine sees it.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "errors.h"
#include "letter_to_sound.h"

namespace {

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
    Vantrix::TLetterToSound model;
    auto start = std::chrono::steady_clock::now();
    try {
        model.Learn(argv[1]);
    } catch (Vantrix::EErrorType kind) {
        std::fprintf(stderr, "%s: cannot learn from %s: %s\n", argv[0], argv[1],
                     Vantrix::NameOf(kind));
        return 1;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "learnt %zu units, %zu groups, %zu nodes in %.3f s\n",
                 model.Units().size(), model.Groups().size(), model.NodeCount(), seconds);

    std::ios::sync_with_stdio(false);
    std::string word, line;
    while (std::cin >> word) {
        word = UpperCase(word);
        line.assign(word).append(1, '\t').append(model.Pronounce(word)).append(1, '\n');
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}
