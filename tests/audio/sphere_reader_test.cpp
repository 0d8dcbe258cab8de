#include <gtest/gtest.h>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

// Header fields are honoured and missing ones take the defaults, alike for facts and loads.
TEST(SphereLoad, HeaderFieldsAreHonoured) {
    const struct {
        const char* file;
        uint32_t rate, channels, count;
    } cases[] = {
        {"sphere_16k.sph", 16000, 1, 16000},  {"sox_8000.sph", 8000, 1, 2000},
        {"sphere_be.sph", 8000, 1, 5},        {"sphere_stereo.sph", 16000, 2, 3},
        {"sphere_defaults.sph", 16000, 1, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const TRead info = Info(getSphereFileInfo, Fixture(c.file));
        const TRead r = Load(loadSphereFile, Fixture(c.file));
        ASSERT_TRUE(info.ok && r.ok);
        EXPECT_TRUE(info.pcm);
        EXPECT_EQ(info.Facts(), std::vector<uint32_t>({16, c.rate, c.channels, c.count}));
        EXPECT_EQ(r.Facts(), info.Facts());
    }
    const TRead big = Load(loadSphereFile, Fixture("sphere_be.sph"));
    EXPECT_EQ(std::vector<int>({big.S16(0), big.S16(1), big.S16(2), big.S16(3)}),
              std::vector<int>({1, -2, 300, -32768}));
    EXPECT_EQ(Load(loadSphereFile, Fixture("sphere_stereo.sph")).S16(1), -100)
        << "channels stay interleaved";
}

TEST(SphereLoad, HeaderMustMatchAndBodiesBePcm) {
    for (const char* name : {"sphere_badmagic.sph", "sphere_short.sph", "missing.sph"}) {
        TraceCapture trace;
        TRead r = Load(loadSphereFile, Fixture(name));
        EXPECT_TRUE(r.Cleared()) << name;
        EXPECT_NE(TraceCapture::Text().find(" in loadSphereFile for: "), std::string::npos);
        EXPECT_FALSE(Info(getSphereFileInfo, Fixture(name)).ok) << name;
    }
    // Compressed bodies are described, not loaded.
    for (const char* name : {"sphere_shorten.sph", "sphere_ulaw.sph"}) {
        const TRead info = Info(getSphereFileInfo, Fixture(name));
        EXPECT_TRUE(info.ok && !info.pcm) << name;
        EXPECT_FALSE(Load(loadSphereFile, Fixture(name)).ok) << name;
    }
}
