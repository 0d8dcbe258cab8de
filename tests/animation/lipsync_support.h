// Phoneme lists for the lip-synching tests, built where the phoneme model is visible.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace Vantrix {

class TPhonemeList;

struct TSpan {
    const char* name; // none for a phoneme that has no identity
    int32_t start;
    int32_t end;
};

// Appends the spans as given, without the list's checks.
std::shared_ptr<TPhonemeList> MakePhonemes(const std::vector<TSpan>& spans);

// Contiguous list from 0 ms, count phonemes of ids 0..40 lasting 16..400 ms. With biased set,
// hh, sil, t, d and a few vowels dominate so that the list edits meet often.
std::shared_ptr<TPhonemeList> RandomPhonemes(uint32_t seed, int32_t count, bool biased);

} // namespace Vantrix
