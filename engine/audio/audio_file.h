// Sound file reading: type sniffing, format facts and loading into one PCM sample block.
// Every function opens, reads and closes the file itself and never throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binary_file.h"
#include "byte_order.h"
#include "wave_format.h"

namespace Vantrix {

using AudioFileType = int32_t;
enum : AudioFileType {
    kAudioFileUnknown = -1,
    kAudioFileWave = 0,
    kAudioFileAiff = 1,
    kAudioFileSphere = 2,
};

// Caller-owned sample block: 8-bit unsigned around 128, or 16-bit signed little-endian.
// Loaders require it empty on entry and fill it only on success.
using TSampleBlock = std::vector<uint8_t>;

// The file's kind from its first 12 bytes; kAudioFileUnknown when unreadable or foreign.
AudioFileType getAudioFileType(const char* fileName);

// Format facts of any supported file; false (type -1 when unknown) when they cannot be read.
bool getAudioFileInfo(const char* fileName, AudioFileType& type, uint32_t& bitsPerSample,
                      uint32_t& sampleRate, uint32_t& channels, uint32_t& sampleCount, bool& isPcm);

// Loads any supported file; false at once for an empty name or a non-empty block.
bool loadAudioFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                   uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block);

// Facts of one format. sampleCount is in frames. isPcm: plain PCM or a kind the loader converts.
bool getWaveFileInfo(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                     uint32_t& channels, uint32_t& sampleCount, bool& isPcm);
bool getAiffFileInfo(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                     uint32_t& channels, uint32_t& sampleCount, bool& isPcm);
bool getSphereFileInfo(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                       uint32_t& channels, uint32_t& sampleCount, bool& isPcm);

// Why getWaveFileInfo refuses a wave file, in the user's terms; empty when no reason is known.
std::string describeWaveRefusal(const char* fileName);

// WAV loads as mono (codec data decoded to 16 bits, channels mixed); sampleCount in samples.
bool loadWaveFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                  uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block);
// AIFF and SPHERE keep their channels interleaved; sampleCount is in frames.
bool loadAiffFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                  uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block);
bool loadSphereFile(const char* fileName, uint32_t& bitsPerSample, uint32_t& sampleRate,
                    uint32_t& channels, uint32_t& sampleCount, TSampleBlock& block);

// The 80-bit big-endian IEEE extended value of an AIFF rate field.
double extendedToDouble(const uint8_t bytes[10]);

} // namespace Vantrix
