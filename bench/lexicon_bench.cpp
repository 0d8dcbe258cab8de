// The shipped lexical files: the dictionary lookup every transcript pays, and letter-to-sound
// from the aligned lexicon, paid when the transcript holds words the dictionary lacks.
// Compare CPU times.
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "dictionary.h"
#include "letter_to_sound.h"

using namespace Vantrix;

namespace {

const std::string kDictionary = std::string(VX_SOURCE_DIR) + "/data/KvParlo/Data/DtC6dal.dat";
const std::string kLexicon = std::string(VX_SOURCE_DIR) + "/data/KvParlo/Data/DtC6dl.dat";

// Made-up words, none of them in the shipped dictionary.
const std::vector<std::string_view> kUnknown = {"QUIBBLETONK", "ZORBLAXITY'S", "FLURBISHED",
                                                "GRONKLE", "SNAFFLEWICK"};

std::vector<std::string_view> FirstUnknown(int64_t count) {
    return std::vector<std::string_view>(kUnknown.begin(), kUnknown.begin() + count);
}

// A sentence of dictionary words: one pass over the whole dictionary file.
void BM_LookUpDictionary(benchmark::State& state) {
    for (auto _ : state) {
        TranscriptWords words("The quick brown fox jumps over the lazy dog, and it's gone.");
        benchmark::DoNotOptimize(lookUpDictionary(kDictionary, words));
    }
}
BENCHMARK(BM_LookUpDictionary)->Unit(benchmark::kMillisecond);

// The query-directed path: only the contexts of the words are learnt.
void BM_PronounceFromLexicon(benchmark::State& state) {
    std::vector<std::string_view> words = FirstUnknown(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(PronounceFromLexicon(kLexicon, words));
}
BENCHMARK(BM_PronounceFromLexicon)->Arg(0)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

// The complete context trie, learnt and then queried.
void BM_LearnWholeTrie(benchmark::State& state) {
    std::vector<std::string_view> words = FirstUnknown(state.range(0));
    for (auto _ : state) {
        TLetterToSound model;
        model.Learn(kLexicon);
        for (std::string_view word : words)
            benchmark::DoNotOptimize(model.Pronounce(word));
    }
}
BENCHMARK(BM_LearnWholeTrie)->Arg(5)->Unit(benchmark::kMillisecond);

// Through the dictionary interface, as an analysis calls it.
void BM_PronounceUnknownWords(benchmark::State& state) {
    std::string transcript;
    for (std::string_view word : FirstUnknown(state.range(0)))
        transcript.append(word).append(1, ' ');
    for (auto _ : state) {
        TranscriptWords words(transcript);
        benchmark::DoNotOptimize(pronounceUnknownWords(kLexicon, words));
    }
}
BENCHMARK(BM_PronounceUnknownWords)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
