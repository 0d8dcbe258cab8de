// Fuzzes the wave readers and, for small inputs, the digital-audio object built on them.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "audio_file.h"
#include "digital_audio.h"
#include "fuzz_common.h"
#include "kaiser_resampler.h"

using namespace Vantrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string name = WriteFuzzInput(data, size, ".wav");
    uint32_t bits, rate, channels, count;
    bool pcm;
    getAudioFileType(name.c_str());
    getWaveFileInfo(name.c_str(), bits, rate, channels, count, pcm);
    TSampleBlock block;
    loadWaveFile(name.c_str(), bits, rate, channels, count, block);
    if (size <= 16384) {
        try {
            TDigitalAudio audio(name.c_str());
            // Filter design grows with the reduced down factor; odd ratios (up to 48000) cost
            // a tenth of a second each and add no new paths, so runs stay with common ones.
            uint32_t audioRate = audio.getSampleRate();
            uint32_t down = reduceRateRatio(audioRate, audioRate >= 16000 ? 16000 : 8000).down;
            if (isAudioUsable(audio) && audio.getSampleCount() <= 20000 && down <= 2000)
                audio.normaliseSampleRate();
        } catch (const TDigitalAudioError&) {
        }
    }
    std::remove(name.c_str());
    return 0;
}
