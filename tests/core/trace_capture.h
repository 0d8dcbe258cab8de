// Collects everything the engine traces while alive; the suites of every folder share it.
#pragma once

#include <string>

#include "trace.h"

class TraceCapture {
public:
    TraceCapture() : previous(Vantrix::SetTraceSink(&TraceCapture::Sink)) { Text().clear(); }
    ~TraceCapture() { Vantrix::SetTraceSink(previous); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    static std::string& Text() {
        static std::string text;
        return text;
    }

private:
    static void Sink(const char* line) { Text() += line; }
    Vantrix::TraceSink previous;
};
