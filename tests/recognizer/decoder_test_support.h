// Hand-made classifier rows and printable results shared by the decoder tests.
#pragma once

#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "decoder.h"
#include "phoneme_models.h"

namespace Vantrix {

// Rows where the named class is certain (score 0) and every other class at the floor.
inline FrameProbabilitiesVector MakeRows(const std::vector<std::pair<const char*, int>>& runs) {
    FrameProbabilitiesVector rows;
    int32_t index = 0;
    for (const auto& run : runs)
        for (int i = 0; i < run.second; ++i) {
            rows.Include(index);
            rows.At(index).scores.assign(kPhonemeClassCount, 255);
            rows.At(index++).scores[size_t(PhonemeClassOf(run.first))] = 0;
        }
    rows.At(rows.High()).flags = 128;
    return rows;
}

// Rows of random scores, the last one flagged.
inline FrameProbabilitiesVector RandomRows(int32_t frames, unsigned seed) {
    std::mt19937 random(seed);
    FrameProbabilitiesVector rows;
    rows.Include(0);
    rows.Include(frames - 1);
    for (int32_t i = 0; i < frames; ++i) {
        rows.At(i).scores.resize(kPhonemeClassCount);
        for (uint8_t& b : rows.At(i).scores)
            b = uint8_t(random() & 255);
    }
    rows.At(frames - 1).flags = 128;
    return rows;
}

// "name start-end " for every phoneme or word.
template <typename List> std::string Describe(const List& list) {
    std::ostringstream out;
    for (const auto& item : list) {
        if constexpr (std::is_same_v<List, TWordList>)
            out << item.Text();
        else
            out << item.Name();
        out << ' ' << item.StartMs() << '-' << item.EndMs() << ' ';
    }
    return out.str();
}

} // namespace Vantrix
