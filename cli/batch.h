// Several sounds at once: each analysed in a child process of its own (the engine serialises its
// calls), its result written into the output folder, one line of progress per finished sound.
#pragma once

#include <functional>
#include <string>

#include "options.h"

namespace Vantrix {

// The file name of a sound's result in a format: "take 1.flac" in json gives "take 1.json".
std::string ResultFileName(const std::string& sound, const std::string& format);

// Analyses every sound of the options with options.jobs workers, each running runOne on the
// options narrowed to its sound and its result file. Returns 0, 1 when some sound failed (they
// are named at the end, after the others completed), or 2 for names that would collide.
int RunBatch(const TOptions& options, const std::function<int(TOptions&)>& runOne);

} // namespace Vantrix
