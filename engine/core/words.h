// Timed words of an analysis.
#pragma once

#include <cstdint>
#include <string>

#include "containers.h"
#include "errors.h"

namespace Vantrix {

class TWord {
public:
    TWord() = default;
    // A start after the end leaves both times 0.
    TWord(std::string text, int32_t startMs, int32_t endMs);

    // eetRangeFailure unless endMs > StartMs().
    int32_t SetEnd(int32_t endMs);
    void SetText(std::string newText) { text = std::move(newText); }

    const std::string& Text() const { return text; }
    int32_t StartMs() const { return startMs; }
    int32_t EndMs() const { return endMs; }

private:
    std::string text;
    int32_t startMs = 0;
    int32_t endMs = 0;
};

// Words in time order.
class TWordList : public AOpenList<TWord> {};

} // namespace Vantrix
