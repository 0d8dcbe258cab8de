#include "words.h"

namespace Vantrix {

TWord::TWord(std::string text, int32_t startMs, int32_t endMs) : text(std::move(text)) {
    if (startMs > endMs) return;
    this->startMs = startMs;
    this->endMs = endMs;
}

int32_t TWord::SetEnd(int32_t newEnd) {
    if (newEnd <= startMs) return eetRangeFailure;
    endMs = newEnd;
    return eetSuccess;
}

} // namespace Vantrix
