// vx-words SOUND...: the recognised words of each sound, one line per word: start end word,
// after a "# SOUND" line. Exit status 1 when a model or sound cannot be read.
#include <cstdio>

#include "word_recognizer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vx-words SOUND...\n");
        return 2;
    }
    std::string error;
    auto recognizer = Vantrix::CreatePocketSphinxRecognizer("", error);
    if (!recognizer) {
        std::fprintf(stderr, "vx-words: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        Vantrix::TWordRecognition result;
        std::printf("# %s\n", argv[i]);
        if (!recognizer->Recognize(argv[i], result, error)) {
            std::fprintf(stderr, "vx-words: %s\n", error.c_str());
            status = 1;
            continue;
        }
        for (const auto& w : result.words)
            std::printf("%.2f %.2f %s\n", w.start, w.end, w.text.c_str());
        std::fflush(stdout);
    }
    return status;
}
