// Shared by the developer tools: a loaded sound brought to the rate an analysis uses.
#pragma once

#include <cstdio>
#include <vector>

#include "digital_audio.h"
#include "errors.h"
#include "kaiser_resampler.h"

namespace VxTools {

// Brings sound to 16 or 8 kHz as an analysis does and, with to8k, a 16 kHz result further down
// to 8 kHz with the rate normaliser's filter settings; false after printing why to stderr.
inline bool PrepareAnalysisSound(Vantrix::TDigitalAudio& sound, const char* path, bool to8k) {
    constexpr double kTransitionWidth = 0.125;
    constexpr double kAttenuationDb = 60.0;
    if (!sound.normaliseSampleRate()) {
        std::fprintf(stderr, "%s: cannot be brought to 8 or 16 kHz\n", path);
        return false;
    }
    if (to8k && sound.getSampleRate() == 16000) {
        std::vector<double> down;
        const Vantrix::EErrorType code =
            Vantrix::kaiserResample(sound.getSamples(), sound.getSampleCount(), 16000, 8000,
                                    kTransitionWidth, kAttenuationDb, down);
        if (code != Vantrix::eetSuccess) {
            std::fprintf(stderr, "%s: resampling to 8 kHz failed (%s)\n", path,
                         Vantrix::NameOf(code));
            return false;
        }
        sound = Vantrix::TDigitalAudio(8000, uint32_t(down.size()), down.data());
    }
    return true;
}

} // namespace VxTools
