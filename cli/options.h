// The command line of the voxtrail tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vantrix {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct TOptions {
    std::string command;             // "analyze" or "plot"
    std::vector<std::string> sounds; // in the order given, --batch's after the arguments'
    std::string batchList;           // file of sound names, one per line
    int32_t jobs = 1;
    std::string outputDir;
    bool haveText = false; // --text or --text-file given ("" included)
    std::string text;
    std::string textFile;
    std::string config;
    std::string shapes;
    int32_t fps = 30;
    int32_t seed = -1;
    bool fast = false;
    std::string data;
    std::string format = "json";
    bool frames = false;
    std::string output;
    std::string recognizer;        // "words" or "phonemes"
    bool recognizerChosen = false; // --recognizer given: no fallback by sample rate
    bool plotGestures = false;
};

// The recogniser used when --recognizer is not given.
const char* DefaultRecognizer();

// Parses the command line into options. Returns 0 to go on, -1 when help or the version was
// printed, or the exit status of a usage error (reported on standard error).
int ParseOptions(int argc, char** argv, TOptions& options);

} // namespace Vantrix
