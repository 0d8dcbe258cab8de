#include <gtest/gtest.h>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

// The common chunk's facts are what the loader reads; unlike wave, channels stay interleaved.
TEST(AiffInfo, AgreesWithTheLoader) {
    const std::pair<const char*, std::vector<uint32_t>> cases[] = {
        {"aiff16_stereo_44100.aiff", {16, 44100, 2, 1000}},
        {"sox_mono_16000.aiff", {16, 16000, 1, 4000}},
        {"aiff8_mono_8000.aiff", {8, 8000, 1, 4}},
    };
    for (const auto& [file, facts] : cases) {
        const TRead info = Info(getAiffFileInfo, Fixture(file));
        const TRead r = Load(loadAiffFile, Fixture(file));
        EXPECT_TRUE(info.ok && info.pcm && r.ok) << file;
        EXPECT_EQ(info.Facts(), facts) << file;
        EXPECT_EQ(r.Facts(), facts) << file;
        EXPECT_EQ(r.block.size(), facts[0] / 8 * facts[2] * facts[3]) << file;
    }
}

TEST(AiffLoad, SixteenBitIsByteSwappedAndStaysInterleaved) {
    TRead r = Load(loadAiffFile, Fixture("aiff16_stereo_44100.aiff"));
    ASSERT_EQ(r.block.size(), 4000u);
    for (size_t i : {0u, 1u, 499u, 999u}) {
        EXPECT_EQ(r.S16(2 * i), int(i) - 500);
        EXPECT_EQ(r.S16(2 * i + 1), 500 - int(i));
    }
    const auto tone = Sine(4000, 16000, 400, 12000);
    EXPECT_NEAR(Load(loadAiffFile, Fixture("sox_mono_16000.aiff")).S16(10), tone[10], 1)
        << "a real tool's file with a comment chunk";
}

TEST(AiffLoad, SignedBytesAndAShortSoundChunk) {
    // An odd NAME chunk with its pad byte precedes COMM.
    EXPECT_EQ(Load(loadAiffFile, Fixture("aiff8_mono_8000.aiff")).block,
              (TSampleBlock{128, 0, 255, 129}));
    const TRead r = Load(loadAiffFile, Fixture("aiff_short_ssnd.aiff"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.count, 250u) << "the whole frames present";
    ASSERT_EQ(r.block.size(), 1000u);
    EXPECT_EQ(r.S16(498), 249 - 500);
}

TEST(AiffLoad, Failures) {
    for (const char* name : {"aiff_ssnd_before_comm.aiff", "aiff_truncated.aiff",
                             "sox_mono_16000.aifc", "pcm16_mono_22050.wav", "missing.aiff"}) {
        TraceCapture trace;
        TRead r = Load(loadAiffFile, Fixture(name));
        EXPECT_TRUE(r.Cleared()) << name;
        EXPECT_NE(TraceCapture::Text().find(" in loadAiffFile for: "), std::string::npos) << name;
    }
    EXPECT_FALSE(Info(getAiffFileInfo, Fixture("aiff_truncated.aiff")).ok);
    const TRead aifc = Info(getAiffFileInfo, Fixture("sox_mono_16000.aifc"));
    EXPECT_TRUE(aifc.ok && !aifc.pcm) << "the compressed form is read, not as PCM";
}
