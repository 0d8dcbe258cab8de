// vx-features: writes the normalised feature records of a sound file, as the recognizer sees
// them, to a feature file (format in feature_file.h and README.md).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../common/analysis_sound.h"
#include "digital_audio.h"
#include "errors.h"
#include "feature_file.h"
#include "frontend.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: vx-features [--to-8k] [--raw] SOUND OUTPUT\n"
                 "  Brings SOUND to 16 or 8 kHz as an analysis does, computes its features and\n"
                 "  writes them to OUTPUT.\n"
                 "  --to-8k  bring a 16 kHz result further down to 8 kHz (Kaiser resampler)\n"
                 "  --raw    skip the mean and variance normalisation\n");
    return 2;
}

int Run(const char* soundPath, const char* outputPath, bool to8k, bool raw) {
    Vantrix::TDigitalAudio sound(soundPath);
    if (!VxTools::PrepareAnalysisSound(sound, soundPath, to8k)) return 1;
    Vantrix::FramePropertiesVector frames;
    Vantrix::computeFrameProperties(sound, frames);
    if (frames.IsEmpty()) {
        std::fprintf(stderr, "%s: too short for a single frame\n", soundPath);
        return 1;
    }
    if (!raw) Vantrix::normaliseFrameProperties(frames);
    if (!VxFeatures::WriteFeatureFile(outputPath, sound.getSampleRate(), frames)) {
        std::fprintf(stderr, "%s: cannot write\n", outputPath);
        return 1;
    }
    std::printf("%s: %lld frames at %u Hz\n", outputPath, static_cast<long long>(frames.Count()),
                sound.getSampleRate());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool to8k = false, raw = false;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--to-8k") == 0)
            to8k = true;
        else if (std::strcmp(argv[i], "--raw") == 0)
            raw = true;
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage();
        else
            paths.push_back(argv[i]);
    }
    if (paths.size() != 2) return Usage();
    try {
        return Run(paths[0], paths[1], to8k, raw);
    } catch (const Vantrix::TDigitalAudioError& error) {
        std::fprintf(stderr, "%s: %s\n", paths[0], error.what());
    } catch (Vantrix::EErrorType kind) {
        std::fprintf(stderr, "%s: %s: %s\n", paths[0], Vantrix::NameOf(kind),
                     Vantrix::TextOf(kind));
    }
    return 1;
}
