#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "audio_test_support.h"
#include "byte_order.h"
#include "digital_audio.h"
#include "wave_format.h"

using namespace Vantrix;

namespace {

std::string ConstructionFailure(const std::string& name, bool null = false) {
    try {
        TDigitalAudio audio(null ? nullptr : name.c_str());
        return "constructed";
    } catch (const TDigitalAudioError& e) {
        return e.what();
    }
}

TEST(DigitalAudioFile, FailureMessagesInCheckOrder) {
    EXPECT_EQ(ConstructionFailure("", true), "invalid filename");
    EXPECT_EQ(ConstructionFailure(""), "invalid filename");
    EXPECT_EQ(ConstructionFailure(Fixture("missing.wav")), "file doesn't exist");
    EXPECT_EQ(ConstructionFailure(Fixture("text.wav")), "unsupported or invalid audio file");
    EXPECT_EQ(ConstructionFailure(Fixture("sox_mono_16000.aifc")),
              "unsupported or invalid audio file");
    EXPECT_EQ(ConstructionFailure(Fixture("data_before_fmt.wav")),
              "invalid wave file: the sample data comes before the format");
    EXPECT_EQ(ConstructionFailure(Fixture("sphere_shorten.sph")), "non-PCM file.");
    EXPECT_EQ(ConstructionFailure(Fixture("zero_data.wav")), "file load failed");
    // The AIFF reader clamps a rate beyond 32 bits.
    EXPECT_EQ(ConstructionFailure(Fixture("aiff_huge_rate.aiff")),
              "sample rate 4294967295 Hz is outside 8000-48000 Hz");
}

// A wave file of one format record and its samples (64 zero bytes unless given).
std::string WaveFile(const std::string& name, const TWaveFormat& format,
                     const std::vector<uint8_t>& samples = std::vector<uint8_t>(64, 0)) {
    auto chunk = [](std::vector<uint8_t>& to, const char* tag, const std::vector<uint8_t>& data) {
        to.insert(to.end(), tag, tag + 4);
        to.resize(to.size() + 4);
        writeLE32(&to[to.size() - 4], uint32_t(data.size()));
        to.insert(to.end(), data.begin(), data.end());
    };
    std::vector<uint8_t> wave = {'W', 'A', 'V', 'E'}, riff;
    chunk(wave, "fmt ", serialiseWaveFormat(format));
    chunk(wave, "data", samples);
    chunk(riff, "RIFF", wave);
    const std::string path = ::testing::TempDir() + "vx_" + name + ".wav";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(riff.data()), std::streamsize(riff.size()));
    return path;
}

TWaveFormat Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    TWaveFormat format = makePcmFormat(channels, rate, bits);
    format.formatTag = tag;
    return format;
}

// WAVE_FORMAT_EXTENSIBLE with the given sub-format tag in the registered GUID.
TWaveFormat Extensible(uint16_t subFormat, uint16_t channels, uint32_t rate, uint16_t bits) {
    TWaveFormat format = Format(0xFFFE, channels, rate, bits);
    format.extraSize = 22;
    // Valid bits, no channel mask, then the GUID whose first two bytes are the tag.
    const uint8_t guidTail[] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    format.extra = {uint8_t(bits), 0, 0, 0, 0, 0, uint8_t(subFormat), uint8_t(subFormat >> 8)};
    format.extra.insert(format.extra.end(), std::begin(guidTail), std::end(guidTail));
    return format;
}

TEST(DigitalAudioFile, RefusedFormatsAreNamed) {
    const auto sampleFormat = [](const std::string& what) {
        return "unsupported sample format: " + what + "; 8- and 16-bit PCM are read";
    };
    const auto rate = [](const std::string& hz) {
        return "sample rate " + hz + " Hz is outside 8000-48000 Hz";
    };
    TWaveFormat unknownGuid = Extensible(1, 1, 16000, 16);
    unknownGuid.extra[21] = 0x72; // not the registered GUID
    const struct {
        const char* name;
        TWaveFormat format;
        std::string text;
    } cases[] = {
        {"pcm24", Format(1, 1, 16000, 24), sampleFormat("24-bit PCM")},
        {"pcm32", Format(1, 2, 16000, 32), sampleFormat("32-bit PCM")},
        {"float", Format(3, 1, 16000, 32), sampleFormat("32-bit float")},
        {"ima", Format(0x11, 1, 16000, 4), sampleFormat("IMA ADPCM")},
        {"nochannels", Format(1, 0, 16000, 16), "the file declares 0 channels"},
        {"rate0", Format(1, 1, 0, 16), rate("0")},
        {"rate6000", Format(1, 1, 6000, 8), rate("6000")},
        {"rate96000", Format(1, 1, 96000, 16), rate("96000")},
        {"ext24", Extensible(1, 2, 16000, 24), sampleFormat("24-bit PCM")},
        {"extfloat", Extensible(3, 1, 16000, 32), sampleFormat("32-bit float")},
        {"extmulaw", Extensible(7, 1, 16000, 8), "non-PCM file."},
        {"extunknown", unknownGuid, "non-PCM file."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConstructionFailure(WaveFile(c.name, c.format)), c.text) << c.name;
}

TEST(DigitalAudioFile, ExtensiblePcmReadsAsPcm) {
    // Three 16-bit channels, two frames; the mix-down takes their mean.
    const std::vector<uint8_t> frames = {30, 0, 60, 0, 90, 0, 0xFA, 0xFF, 0xFA, 0xFF, 0xFA, 0xFF};
    const TDigitalAudio three(WaveFile("ext16", Extensible(1, 3, 16000, 16), frames).c_str());
    ASSERT_EQ(three.getSampleCount(), 2u);
    EXPECT_EQ(three.getBitsPerSample(), 16u);
    EXPECT_EQ(*three.getSample(0), 60.0);
    EXPECT_EQ(*three.getSample(1), -6.0);
    const TDigitalAudio eight(WaveFile("ext8", Extensible(1, 1, 8000, 8), {0, 128, 255}).c_str());
    ASSERT_EQ(eight.getSampleCount(), 3u);
    EXPECT_EQ(*eight.getSample(2), 127.0);
}

TEST(DigitalAudioFile, SamplesAsDoubles) {
    const auto samples = [](const char* file) {
        const TDigitalAudio audio(Fixture(file).c_str());
        return std::vector<double>(audio.getSamples(), audio.getSamples() + audio.getSampleCount());
    };
    // Eight-bit bytes are centred; stereo AIFF and SPHERE keep the first channel, wave is mixed.
    EXPECT_EQ(samples("pcm8_mono_8000.wav"), std::vector<double>({-128, 0, 127}));
    EXPECT_EQ(TDigitalAudio(Fixture("pcm8_mono_8000.wav").c_str()).getBitsPerSample(), 8u);
    const std::vector<double> aiff = samples("aiff16_stereo_44100.aiff");
    ASSERT_EQ(aiff.size(), 1000u);
    EXPECT_EQ(aiff[0], -500.0);
    EXPECT_EQ(aiff[999], 499.0);
    EXPECT_EQ(samples("sphere_stereo.sph"), std::vector<double>({100, 200, 300}));
    EXPECT_EQ(samples("pcm16_stereo_16000.wav")[5], 2000.0);
}

TEST(DigitalAudioSamples, CopiedValidatedAndSharedByHandles) {
    std::vector<double> s{1.5, -2.0, 3.0};
    TDigitalAudio audio(8000, 3, s.data());
    s[0] = 99;
    EXPECT_EQ(audio.getBitsPerSample(), 16u);
    EXPECT_EQ(*audio.getSample(0), 1.5);
    EXPECT_THROW(TDigitalAudio(7999, 3, s.data()), TDigitalAudioError);
    EXPECT_THROW(TDigitalAudio(48001, 3, s.data()), TDigitalAudioError);
    EXPECT_THROW(TDigitalAudio(16000, 3, nullptr), TDigitalAudioError);
    EXPECT_NO_THROW(TDigitalAudio(16000, 0, nullptr));
    // Handles share one body; assignment releases the old one.
    std::vector<double> tone(4410, 100.0);
    TDigitalAudio a(44100, uint32_t(tone.size()), tone.data());
    TDigitalAudio b(a);
    TDigitalAudio c(8000, 1, tone.data());
    c = a;
    c = c;
    ASSERT_TRUE(b.normaliseSampleRate());
    EXPECT_EQ(a.getSampleRate(), 16000u);
    EXPECT_EQ(c.getSamples(), b.getSamples());
    EXPECT_EQ(a.getSampleCount(), 1601u);
}

TEST(DigitalAudioDuration, RoundedUpAndFiveMinutesUsable) {
    std::vector<double> s(2400001, 0.0);
    const TDigitalAudio audio(16000, 16001, s.data());
    EXPECT_DOUBLE_EQ(audio.getDurationMs(), 1000.0625);
    EXPECT_EQ(audio.getDurationMsRoundedUp(), 1001);
    EXPECT_EQ(TDigitalAudio(16000, 16000, s.data()).getDurationMsRoundedUp(), 1000);
    EXPECT_TRUE(isAudioUsable(TDigitalAudio(8000, 2400000, s.data())));
    EXPECT_FALSE(isAudioUsable(TDigitalAudio(8000, 2400001, s.data())));
    EXPECT_TRUE(isAudioUsable(TDigitalAudio(Fixture("pcm8_mono_8000.wav").c_str())));
}

TEST(DigitalAudioNormalise, TargetRatesAndLengths) {
    struct {
        uint32_t rate, count, target, expected;
    } cases[] = {
        {44100, 44100, 16000, 16001}, {48000, 4800, 16000, 1601}, {11025, 11025, 8000, 8001},
        {22050, 2205, 16000, 1601},   {12000, 1200, 8000, 801},   {8000, 3, 8000, 3},
        {16000, 3, 16000, 3},         {48000, 1, 16000, 1},
    };
    for (const auto& c : cases) {
        std::vector<double> s(c.count, 1.0);
        TDigitalAudio audio(c.rate, c.count, s.data());
        const double* before = audio.getSamples();
        ASSERT_TRUE(audio.normaliseSampleRate()) << c.rate;
        EXPECT_EQ(audio.getSampleRate(), c.target) << c.rate;
        EXPECT_EQ(audio.getSampleCount(), c.expected) << c.rate;
        EXPECT_EQ(audio.getBitsPerSample(), 16u);
        // A target rate is left as it is.
        EXPECT_EQ(audio.getSamples() == before, c.rate == c.target) << c.rate;
    }
    TDigitalAudio empty(44100, 0, nullptr);
    EXPECT_FALSE(empty.normaliseSampleRate());
    EXPECT_EQ(empty.getSampleRate(), 44100u);
}

} // namespace
