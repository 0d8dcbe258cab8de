// Fuzzes the pronunciation dictionary lookup: the input is the encoded dictionary file.
#include <cstdint>
#include <cstdio>
#include <string>

#include "dictionary.h"
#include "errors.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteFuzzInput(data, size, ".dal");
    Vantrix::TranscriptWords words(
        "The quick brown fox, hello world! A test of o'neil's THE(2) zz.");
    try {
        Vantrix::lookUpDictionary(path, words);
        for (const Vantrix::TTranscriptWord& word : words)
            if (word.found == word.pronunciations.empty()) __builtin_trap();
    } catch (Vantrix::EErrorType) {
    } catch (const Vantrix::TError&) {
    }
    std::remove(path.c_str());
    return 0;
}
