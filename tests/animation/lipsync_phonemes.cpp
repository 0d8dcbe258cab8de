#include <random>

#include "lipsync_support.h"
#include "phonemes.h"

namespace Vantrix {

std::shared_ptr<TPhonemeList> MakePhonemes(const std::vector<TSpan>& spans) {
    auto list = std::make_shared<TPhonemeList>();
    for (const TSpan& span : spans) {
        TPhoneme phoneme = span.name ? TPhoneme(span.name, span.start, span.end) : TPhoneme();
        phoneme.SetTimes(span.start, span.end);
        list->Append(phoneme);
    }
    return list;
}

std::shared_ptr<TPhonemeList> RandomPhonemes(uint32_t seed, int32_t count, bool biased) {
    static const int32_t kBiased[] = {31, 31, 31, 40, 40, 37, 33, 0, 4, 8, 8, 24};
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> anyId(0, 40);
    std::uniform_int_distribution<int32_t> pick(0, int32_t(std::size(kBiased)) - 1);
    std::uniform_int_distribution<int32_t> duration(16, 400);
    std::uniform_int_distribution<int32_t> longSilence(0, 3);
    auto list = std::make_shared<TPhonemeList>();
    int32_t t = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t id = biased ? kBiased[pick(random)] : anyId(random);
        int32_t d = duration(random);
        if (id == 40 && longSilence(random) == 0) d += 900;
        list->Append(TPhoneme(id, t, t + d));
        t += d;
    }
    return list;
}

} // namespace Vantrix
