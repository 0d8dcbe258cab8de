#include <gtest/gtest.h>

#include <cmath>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

// The fact reader tells what the loader reads: rate, bits and frames (channels before mixing);
// streamed and lying data sizes read what is there.
TEST(WaveInfo, AgreesWithTheLoader) {
    const struct {
        const char* file;
        uint32_t channels, count;
    } cases[] = {
        {"pcm16_mono_22050.wav", 1, 2205}, {"pcm16_stereo_16000.wav", 2, 1600},
        {"pcm8_stereo_8000.wav", 2, 800},  {"pcm16_3ch_8000.wav", 3, 400},
        {"list_chunks.wav", 1, 800},       {"stream_ffff.wav", 1, 1000},
        {"stream_zero.wav", 1, 1000},      {"oversize_data.wav", 1, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const TRead info = Info(getWaveFileInfo, Fixture(c.file));
        const TRead loaded = Load(loadWaveFile, Fixture(c.file));
        ASSERT_TRUE(info.ok && info.pcm && loaded.ok);
        EXPECT_EQ(info.Facts(),
                  std::vector<uint32_t>({loaded.bits, loaded.rate, c.channels, c.count}));
        EXPECT_EQ(loaded.channels, 1u);
        EXPECT_EQ(loaded.count, c.count);
        EXPECT_EQ(loaded.block.size(), c.count * loaded.bits / 8);
    }
}

TEST(WaveInfo, AdpcmCountsAsSixteenBitPcm) {
    const TRead adpcm = Info(getWaveFileInfo, Fixture("adpcm_mono_16000.wav"));
    EXPECT_TRUE(adpcm.ok && adpcm.pcm);
    EXPECT_EQ(adpcm.bits, 16u);
}

TEST(WaveInfo, StructuralFailures) {
    for (const char* name : {"data_before_fmt.wav", "truncated_fmt.wav", "truncated_header.wav",
                             "not_wave.wav", "zero_channels.wav", "missing.wav", "float32.wav"})
        EXPECT_TRUE(Info(getWaveFileInfo, Fixture(name)).Cleared()) << name;
}

// Sines written by the fixture scripts, read back mixed to 16-bit mono; ADPCM is lossy and
// costs a few percent of the amplitude.
TEST(WaveLoad, SinesReadBack) {
    const struct {
        const char* file;
        uint32_t rate, count;
        double freq, amplitude;
        size_t from;
        double tolerance;
    } cases[] = {
        {"pcm16_mono_22050.wav", 22050, 2205, 441, 8000, 0, 0.6},
        {"list_chunks.wav", 8000, 800, 250, 4000, 0, 0.6},
        {"sox_pcm16_stereo_16000.wav", 16000, 2000, 400, 9000, 0, 1.0},
        {"adpcm_mono_16000.wav", 16000, 4000, 400, 12000, 100, 400.0},
        {"adpcm_stereo_16000.wav", 16000, 2000, 400, 9000, 100, 400.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const TRead r = Load(loadWaveFile, Fixture(c.file));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.bits, 16u);
        EXPECT_EQ(r.channels, 1u);
        EXPECT_EQ(r.rate, c.rate);
        ASSERT_GE(r.count, c.count);
        const auto expected = Sine(c.count, c.rate, c.freq, c.amplitude);
        double sum = 0;
        for (size_t i = c.from; i < c.count; ++i)
            sum += std::pow(r.S16(i) - expected[i], 2);
        EXPECT_LE(std::sqrt(sum / double(c.count - c.from)), c.tolerance);
    }
}

TEST(WaveLoad, MixDownChunkOrderAndPadBytes) {
    EXPECT_EQ(Load(loadWaveFile, Fixture("pcm16_stereo_16000.wav")).S16(1599), 2000);
    EXPECT_EQ(Load(loadWaveFile, Fixture("pcm16_3ch_8000.wav")).S16(7), -600);
    EXPECT_EQ(Load(loadWaveFile, Fixture("pcm8_stereo_8000.wav")).block[0], 150)
        << "8-bit stays unsigned around 128";
    EXPECT_EQ(Load(loadWaveFile, Fixture("pcm8_mono_8000.wav")).block, (TSampleBlock{0, 128, 255}));
    // The loader walks every chunk; only the fact reader insists on fmt first.
    const TRead reversed = Load(loadWaveFile, Fixture("data_before_fmt.wav"));
    ASSERT_TRUE(reversed.ok);
    EXPECT_EQ(reversed.count, 800u);
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
        TRead r = Load(loadWaveFile, path);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << c.file;
        EXPECT_TRUE(r.Cleared()) << c.file;
        EXPECT_EQ(TraceCapture::Text(), std::string("Caught an exception: ") + c.message +
                                            " in loadWaveFile for: " + path + "\n");
    }
}
