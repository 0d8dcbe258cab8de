#include "trace.h"

#include <atomic>
#include <cstdio>
#include <vector>

namespace Vantrix {
namespace {
std::atomic<TraceSink> gSink{nullptr};
}

void Trace(const char* format, ...) {
    TraceSink sink = gSink.load();
    if (!sink) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length >= 0) {
        std::vector<char> text(size_t(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        sink(text.data());
    }
    va_end(args);
}

TraceSink SetTraceSink(TraceSink sink) {
    return gSink.exchange(sink);
}

} // namespace Vantrix
