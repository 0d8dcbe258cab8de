// The engine's trace hook: printf-style, discards everything unless redirected.
#pragma once

#include <cstdarg>

namespace Vantrix {

using TraceSink = void (*)(const char* text);

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Redirects traced lines (already formatted) to sink; nullptr restores the discarding hook.
// Returns the previous sink. Meant for tests and debugging tools.
TraceSink SetTraceSink(TraceSink sink);

} // namespace Vantrix
