#include <gtest/gtest.h>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

namespace {

TEST(AiffInfo, CommonChunkFacts) {
    TInfo info = Info(getAiffFileInfo, Fixture("aiff16_stereo_44100.aiff"));
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.bits, 16u);
    EXPECT_EQ(info.rate, 44100u);
    EXPECT_EQ(info.channels, 2u);
    EXPECT_EQ(info.count, 1000u);
    EXPECT_TRUE(info.pcm);
    TInfo tool = Info(getAiffFileInfo, Fixture("sox_mono_16000.aiff"));
    EXPECT_TRUE(tool.ok);
    EXPECT_EQ(tool.rate, 16000u);
    EXPECT_EQ(tool.count, 4000u);
}

TEST(AiffInfo, CompressedFormIsNotPcm) {
    TInfo info = Info(getAiffFileInfo, Fixture("sox_mono_16000.aifc"));
    EXPECT_TRUE(info.ok);
    EXPECT_FALSE(info.pcm);
}

TEST(AiffInfo, OutOfRangeRateIsClampedNotUndefined) {
    TInfo info = Info(getAiffFileInfo, Fixture("aiff_huge_rate.aiff"));
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.rate, 4294967295u);
}

TEST(AiffLoad, SixteenBitIsByteSwappedAndStaysInterleaved) {
    TLoaded r = Load(loadAiffFile, Fixture("aiff16_stereo_44100.aiff"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.channels, 2u);
    EXPECT_EQ(r.count, 1000u);
    EXPECT_EQ(r.rate, 44100u);
    ASSERT_EQ(r.block.size(), 4000u);
    for (size_t i : {0u, 1u, 499u, 999u}) {
        EXPECT_EQ(r.S16(2 * i), int(i) - 500);
        EXPECT_EQ(r.S16(2 * i + 1), 500 - int(i));
    }
}

TEST(AiffLoad, SignedBytesBecomeUnsignedAroundTheMidline) {
    TLoaded r = Load(loadAiffFile, Fixture("aiff8_mono_8000.aiff"));
    ASSERT_TRUE(r.ok) << "an odd NAME chunk with its pad byte precedes COMM";
    EXPECT_EQ(r.rate, 8000u);
    EXPECT_EQ(r.block, (TSampleBlock{128, 0, 255, 129}));
}

TEST(AiffLoad, ShortSoundChunkGivesTheWholeFramesPresent) {
    TLoaded r = Load(loadAiffFile, Fixture("aiff_short_ssnd.aiff"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.count, 250u);
    ASSERT_EQ(r.block.size(), 1000u);
    EXPECT_EQ(r.S16(498), 249 - 500);
}

TEST(AiffLoad, RealToolFileWithCommentChunk) {
    TLoaded r = Load(loadAiffFile, Fixture("sox_mono_16000.aiff"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.count, 4000u);
    ASSERT_EQ(r.block.size(), 8000u);
    auto expected = Sine(4000, 16000, 400, 12000);
    EXPECT_NEAR(r.S16(10), expected[10], 1);
}

TEST(AiffLoad, Failures) {
    for (const char* name : {"aiff_ssnd_before_comm.aiff", "aiff_truncated.aiff",
                             "sox_mono_16000.aifc", "pcm16_mono_22050.wav", "missing.aiff"}) {
        TraceCapture trace;
        TLoaded r = Load(loadAiffFile, Fixture(name));
        EXPECT_FALSE(r.ok) << name;
        EXPECT_TRUE(r.block.empty()) << name;
        EXPECT_EQ(r.bits + r.rate + r.channels + r.count, 0u) << name;
        EXPECT_NE(TraceCapture::Text().find(" in loadAiffFile for: "), std::string::npos) << name;
    }
    EXPECT_FALSE(Info(getAiffFileInfo, Fixture("aiff_truncated.aiff")).ok);
}

} // namespace
