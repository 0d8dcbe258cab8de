#include <gtest/gtest.h>

#include <cmath>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

namespace {

double RmsDifference(const TLoaded& loaded, const std::vector<int>& expected, size_t from,
                     size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += std::pow(loaded.S16(i) - expected[i], 2);
    return std::sqrt(sum / double(to - from));
}

// The fact reader tells what the loader reads: rate, bits and frames (channels before mixing).
TEST(WaveInfo, AgreesWithTheLoader) {
    const struct {
        const char* file;
        uint32_t channels;
    } cases[] = {
        {"pcm16_mono_22050.wav", 1}, {"pcm16_stereo_16000.wav", 2}, {"pcm8_stereo_8000.wav", 2},
        {"pcm16_3ch_8000.wav", 3},   {"list_chunks.wav", 1},        {"stream_ffff.wav", 1},
        {"stream_zero.wav", 1},      {"oversize_data.wav", 1},
    };
    for (const auto& c : cases) {
        const TInfo info = Info(getWaveFileInfo, Fixture(c.file));
        const TLoaded loaded = Load(loadWaveFile, Fixture(c.file));
        ASSERT_TRUE(info.ok && loaded.ok) << c.file;
        EXPECT_TRUE(info.pcm) << c.file;
        EXPECT_EQ(info.channels, c.channels) << c.file;
        EXPECT_EQ(loaded.channels, 1u) << c.file;
        EXPECT_EQ(info.rate, loaded.rate) << c.file;
        EXPECT_EQ(info.bits, loaded.bits) << c.file;
        EXPECT_EQ(info.count, loaded.count) << c.file;
    }
}

TEST(WaveInfo, AdpcmCountsAsSixteenBitPcmAndOtherTagsDoNot) {
    TInfo adpcm = Info(getWaveFileInfo, Fixture("adpcm_mono_16000.wav"));
    EXPECT_TRUE(adpcm.ok);
    EXPECT_EQ(adpcm.bits, 16u);
    EXPECT_TRUE(adpcm.pcm);
    TInfo floats = Info(getWaveFileInfo, Fixture("float32.wav"));
    EXPECT_FALSE(floats.ok) << "32 bits are neither 8 nor 16";
    EXPECT_FALSE(floats.pcm);
}

TEST(WaveInfo, StructuralFailures) {
    for (const char* name : {"data_before_fmt.wav", "truncated_fmt.wav", "truncated_header.wav",
                             "not_wave.wav", "zero_channels.wav", "missing.wav"}) {
        TInfo info = Info(getWaveFileInfo, Fixture(name));
        EXPECT_FALSE(info.ok) << name;
        EXPECT_EQ(info.bits + info.rate + info.channels + info.count, 0u) << name;
    }
}

TEST(WaveLoad, CanonicalMono) {
    TLoaded r = Load(loadWaveFile, Fixture("pcm16_mono_22050.wav"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bits, 16u);
    EXPECT_EQ(r.rate, 22050u);
    EXPECT_EQ(r.channels, 1u);
    EXPECT_EQ(r.count, 2205u);
    ASSERT_EQ(r.block.size(), 4410u);
    EXPECT_LE(RmsDifference(r, Sine(2205, 22050, 441, 8000), 0, 2205), 0.6);
}

TEST(WaveLoad, MultiChannelPcmIsMixedToMono) {
    TLoaded stereo = Load(loadWaveFile, Fixture("pcm16_stereo_16000.wav"));
    ASSERT_TRUE(stereo.ok);
    EXPECT_EQ(stereo.channels, 1u);
    EXPECT_EQ(stereo.bits, 16u);
    EXPECT_EQ(stereo.rate, 16000u);
    ASSERT_EQ(stereo.count, 1600u);
    EXPECT_EQ(stereo.S16(0), 2000);
    EXPECT_EQ(stereo.S16(1599), 2000);

    TLoaded three = Load(loadWaveFile, Fixture("pcm16_3ch_8000.wav"));
    ASSERT_TRUE(three.ok);
    EXPECT_EQ(three.count, 400u);
    EXPECT_EQ(three.S16(7), -600);

    TLoaded bytes = Load(loadWaveFile, Fixture("pcm8_stereo_8000.wav"));
    ASSERT_TRUE(bytes.ok);
    EXPECT_EQ(bytes.bits, 8u);
    ASSERT_EQ(bytes.count, 800u);
    EXPECT_EQ(bytes.block[0], 150) << "8-bit stays unsigned around 128";
}

TEST(WaveLoad, RealToolStereoIsMixed) {
    TLoaded r = Load(loadWaveFile, Fixture("sox_pcm16_stereo_16000.wav"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.channels, 1u);
    ASSERT_EQ(r.count, 2000u);
    EXPECT_LE(RmsDifference(r, Sine(2000, 16000, 400, 9000), 0, 2000), 1.0);
}

TEST(WaveLoad, MsAdpcmDecodesToSixteenBitPcm) {
    TLoaded mono = Load(loadWaveFile, Fixture("adpcm_mono_16000.wav"));
    ASSERT_TRUE(mono.ok);
    EXPECT_EQ(mono.bits, 16u);
    EXPECT_EQ(mono.channels, 1u);
    EXPECT_EQ(mono.rate, 16000u);
    ASSERT_GE(mono.count, 4000u);
    // ADPCM is lossy; a few percent of a 12000 amplitude is what it costs.
    EXPECT_LE(RmsDifference(mono, Sine(4000, 16000, 400, 12000), 100, 4000), 400.0);

    TLoaded stereo = Load(loadWaveFile, Fixture("adpcm_stereo_16000.wav"));
    ASSERT_TRUE(stereo.ok);
    EXPECT_EQ(stereo.channels, 1u);
    ASSERT_GE(stereo.count, 2000u);
    EXPECT_LE(RmsDifference(stereo, Sine(2000, 16000, 400, 9000), 100, 2000), 400.0);
}

TEST(WaveLoad, ChunkOrderPadBytesAndForeignChunks) {
    TLoaded bytes = Load(loadWaveFile, Fixture("pcm8_mono_8000.wav"));
    ASSERT_TRUE(bytes.ok);
    EXPECT_EQ(bytes.block, (TSampleBlock{0, 128, 255}));
    TLoaded listed = Load(loadWaveFile, Fixture("list_chunks.wav"));
    ASSERT_TRUE(listed.ok);
    EXPECT_EQ(listed.count, 800u);
    EXPECT_LE(RmsDifference(listed, Sine(800, 8000, 250, 4000), 0, 800), 0.6);
    // The loader walks every chunk; only the fact reader insists on fmt first.
    TLoaded reversed = Load(loadWaveFile, Fixture("data_before_fmt.wav"));
    ASSERT_TRUE(reversed.ok);
    EXPECT_EQ(reversed.count, 800u);
}

TEST(WaveLoad, StreamedAndLyingSizesReadWhatIsThere) {
    for (const char* name : {"stream_ffff.wav", "stream_zero.wav"}) {
        TLoaded r = Load(loadWaveFile, Fixture(name));
        EXPECT_TRUE(r.ok) << name;
        EXPECT_EQ(r.count, 1000u) << name;
    }
    TLoaded over = Load(loadWaveFile, Fixture("oversize_data.wav"));
    EXPECT_TRUE(over.ok);
    EXPECT_EQ(over.count, 500u);
}

TEST(WaveLoad, FailuresTraceTheirMessageAndClearTheOutputs) {
    struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"zero_data.wav", "the file doesn't have any sample data"},
        {"truncated_fmt.wav", "the file is missing the header"},
        {"zero_channels.wav", "the file is missing the header"},
        {"not_wave.wav", "mmioDescend() failed, possibly not a valid wave file"},
        {"missing.wav", "unable to open input file"},
    };
    for (const auto& c : cases) {
        TraceCapture trace;
        testing::internal::CaptureStdout();
        std::string path = Fixture(c.file);
        TLoaded r = Load(loadWaveFile, path);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << c.file;
        EXPECT_FALSE(r.ok) << c.file;
        EXPECT_TRUE(r.block.empty());
        EXPECT_EQ(r.bits + r.rate + r.channels + r.count, 0u) << c.file;
        EXPECT_EQ(TraceCapture::Text(), std::string("Caught an exception: ") + c.message +
                                            " in loadWaveFile for: " + path + "\n");
    }
}

} // namespace
