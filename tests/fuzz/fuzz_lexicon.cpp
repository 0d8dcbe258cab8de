// Fuzzes letter-to-sound: the input is the encoded aligned lexicon, learnt whole and then queried,
// and read again by the query-directed path the engine uses.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "errors.h"
#include "fuzz_common.h"
#include "letter_to_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteFuzzInput(data, size, ".dl");
    // A small memory limit keeps hostile inputs within the fuzzer's budget.
    Vantrix::TLetterToSound model(size_t(64) << 20);
    try {
        model.Learn(path);
        for (const char* word : {"HELLO", "ZEBRAS", "O'NEIL", "AAAAAAAAB", "Q", "", "\xff\x01"})
            model.Pronounce(word);
    } catch (Vantrix::EErrorType) {
    } catch (const Vantrix::TError&) {
    }
    try {
        Vantrix::PronounceFromLexicon(path, {"HELLO", "ZEBRAS", "O'NEIL", "AAAAAAAAB", "Q", ""},
                                      size_t(64) << 20);
    } catch (Vantrix::EErrorType) {
    } catch (const Vantrix::TError&) {
    }
    std::remove(path.c_str());
    return 0;
}
