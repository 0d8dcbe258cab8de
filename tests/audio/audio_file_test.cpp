#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

TEST(AudioFileType, SniffedFromTheFirstTwelveBytes) {
    const std::pair<const char*, AudioFileType> cases[] = {
        {"pcm16_mono_22050.wav", kAudioFileWave}, {"aiff8_mono_8000.aiff", kAudioFileAiff},
        {"sphere_16k.sph", kAudioFileSphere},     {"not_wave.wav", kAudioFileUnknown},
        {"aiffc_plain.aifc", kAudioFileUnknown},  {"sox_mono_16000.aifc", kAudioFileUnknown},
        {"text.wav", kAudioFileUnknown},          {"truncated_header.wav", kAudioFileUnknown},
        {"no_such_file.wav", kAudioFileUnknown},
    };
    for (const auto& [name, type] : cases)
        EXPECT_EQ(getAudioFileType(Fixture(name).c_str()), type) << name;
    EXPECT_EQ(getAudioFileType(nullptr), kAudioFileUnknown);
    EXPECT_EQ(getAudioFileType(VX_TEST_DATA), kAudioFileUnknown) << "a directory";
}

TEST(LoadAudioFile, NonEmptyBlockIsRefusedUntouched) {
    TSampleBlock block{1, 2, 3};
    uint32_t bits = 7, rate = 7, channels = 7, count = 7;
    std::string wav = Fixture("pcm16_mono_22050.wav");
    EXPECT_FALSE(loadAudioFile(wav.c_str(), bits, rate, channels, count, block));
    EXPECT_FALSE(loadWaveFile(wav.c_str(), bits, rate, channels, count, block));
    EXPECT_FALSE(
        loadAiffFile(Fixture("aiff8_mono_8000.aiff").c_str(), bits, rate, channels, count, block));
    EXPECT_FALSE(
        loadSphereFile(Fixture("sphere_16k.sph").c_str(), bits, rate, channels, count, block));
    EXPECT_EQ(block, (TSampleBlock{1, 2, 3}));
    EXPECT_EQ(bits + rate + channels + count, 28u);
}

TEST(PcmFormat, DerivedFieldsAndNoIntermediateWrap) {
    TWaveFormat f = makePcmFormat(2, 44100, 16);
    EXPECT_EQ(f.formatTag, 1);
    EXPECT_EQ(f.avgBytesPerSec, 176400u);
    EXPECT_EQ(f.blockAlign, 4);
    EXPECT_EQ(f.extraSize, 0);
    // 8 channels x 32 bits x 4e9 Hz overflows 32 bits before the division by 8.
    TWaveFormat big = makePcmFormat(8, 4000000000u, 32);
    EXPECT_EQ(big.avgBytesPerSec, uint32_t(uint64_t(8) * 32 * 4000000000u / 8));
    EXPECT_EQ(serialiseWaveFormat(f).size(), 18u);
}

TEST(ExtendedToDouble, SpecialValuesSignAndPrecision) {
    const struct {
        uint8_t bytes[10];
        double value;
    } cases[] = {
        {{}, 0.0},
        {{0x7F, 0xFF}, DBL_MAX},
        {{0xC0, 0x0E, 0xAC, 0x44}, -44100.0},
        {{0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 1}, 1.0 + std::ldexp(1.0, -63)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(extendedToDouble(c.bytes), c.value) << c.value;
}
