// Fuzzes the AIFF readers through the generic entry points as well as directly.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "audio_file.h"
#include "fuzz_common.h"

using namespace Vantrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string name = WriteFuzzInput(data, size, ".aiff");
    AudioFileType type;
    uint32_t bits, rate, channels, count;
    bool pcm;
    getAudioFileInfo(name.c_str(), type, bits, rate, channels, count, pcm);
    getAiffFileInfo(name.c_str(), bits, rate, channels, count, pcm);
    TSampleBlock block;
    loadAiffFile(name.c_str(), bits, rate, channels, count, block);
    std::remove(name.c_str());
    return 0;
}
