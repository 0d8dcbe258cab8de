#include "shapes.h"

namespace Vantrix {

bool ResolveShapes(TOptions& options, std::string& error) {
    if (options.shapes.empty()) return true;
    error = "unknown mouth-shape set '" + options.shapes + "'";
    return false;
}

void NameSpeechTargets(const TOptions&, TAnalysisResult&) {}

} // namespace Vantrix
