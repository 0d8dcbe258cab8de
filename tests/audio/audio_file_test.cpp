#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

namespace {

TEST(AudioFileType, SniffsTheThreeKindsFromTheFirstTwelveBytes) {
    EXPECT_EQ(getAudioFileType(Fixture("pcm16_mono_22050.wav").c_str()), kAudioFileWave);
    EXPECT_EQ(getAudioFileType(Fixture("aiff8_mono_8000.aiff").c_str()), kAudioFileAiff);
    EXPECT_EQ(getAudioFileType(Fixture("sphere_16k.sph").c_str()), kAudioFileSphere);
}

TEST(AudioFileType, ForeignOrUnreadableFilesAreUnknown) {
    for (const char* name : {"not_wave.wav", "aiffc_plain.aifc", "sox_mono_16000.aifc", "text.wav",
                             "truncated_header.wav", "no_such_file.wav"})
        EXPECT_EQ(getAudioFileType(Fixture(name).c_str()), kAudioFileUnknown) << name;
    EXPECT_EQ(getAudioFileType(nullptr), kAudioFileUnknown);
    EXPECT_EQ(getAudioFileType(VX_TEST_DATA), kAudioFileUnknown) << "a directory";
}

TEST(AudioFileInfo, EmptyNameAndUnknownTypeGiveFalse) {
    AudioFileType type = 5;
    uint32_t bits, rate, channels, count;
    bool pcm;
    EXPECT_FALSE(getAudioFileInfo(nullptr, type, bits, rate, channels, count, pcm));
    EXPECT_FALSE(getAudioFileInfo("", type, bits, rate, channels, count, pcm));
    EXPECT_FALSE(
        getAudioFileInfo(Fixture("text.wav").c_str(), type, bits, rate, channels, count, pcm));
    EXPECT_EQ(type, kAudioFileUnknown);
}

TEST(AudioFileInfo, DispatchesByTypeAndReadsTheSphereHeader) {
    AudioFileType type;
    uint32_t bits, rate, channels, count;
    bool pcm;
    ASSERT_TRUE(
        getAudioFileInfo(Fixture("sox_8000.sph").c_str(), type, bits, rate, channels, count, pcm));
    EXPECT_EQ(type, kAudioFileSphere);
    EXPECT_EQ(rate, 8000u);
    EXPECT_EQ(count, 2000u);
    ASSERT_TRUE(getAudioFileInfo(Fixture("aiff16_stereo_44100.aiff").c_str(), type, bits, rate,
                                 channels, count, pcm));
    EXPECT_EQ(type, kAudioFileAiff);
    EXPECT_EQ(rate, 44100u);
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

TEST(LoadAudioFile, DispatchesAndRejectsUnknownFiles) {
    TLoaded wav = Load(loadAudioFile, Fixture("pcm16_mono_22050.wav"));
    EXPECT_TRUE(wav.ok);
    EXPECT_EQ(wav.rate, 22050u);
    EXPECT_TRUE(Load(loadAudioFile, Fixture("sphere_16k.sph")).ok);
    EXPECT_TRUE(Load(loadAudioFile, Fixture("aiff8_mono_8000.aiff")).ok);
    EXPECT_FALSE(Load(loadAudioFile, Fixture("text.wav")).ok);
    EXPECT_FALSE(Load(loadAudioFile, "").ok);
}

TEST(FileHelpers, SizeAndExistence) {
    EXPECT_EQ(getFileSize(Fixture("zero_data.wav").c_str()), 44);
    EXPECT_EQ(getFileSize(Fixture("missing.wav").c_str()), -1);
    EXPECT_TRUE(fileExists(Fixture("zero_data.wav").c_str()));
    EXPECT_FALSE(fileExists(Fixture("missing.wav").c_str()));
    EXPECT_FALSE(fileExists(nullptr));
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

TEST(ExtendedToDouble, RatesSpecialValuesAndSign) {
    const uint8_t r44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(extendedToDouble(r44100), 44100.0);
    const uint8_t r8000[10] = {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(extendedToDouble(r8000), 8000.0);
    const uint8_t zero[10] = {};
    EXPECT_EQ(extendedToDouble(zero), 0.0);
    const uint8_t huge[10] = {0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(extendedToDouble(huge), DBL_MAX);
    const uint8_t negative[10] = {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(extendedToDouble(negative), -44100.0);
    const uint8_t lowWord[10] = {0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_DOUBLE_EQ(extendedToDouble(lowWord), 1.0 + std::ldexp(1.0, -63));
}

} // namespace
