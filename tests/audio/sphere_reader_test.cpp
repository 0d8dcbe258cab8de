#include <gtest/gtest.h>

#include "audio_file.h"
#include "audio_test_support.h"

using namespace Vantrix;

namespace {

TEST(SphereLoad, SixteenKilohertzBody) {
    TLoaded r = Load(loadSphereFile, Fixture("sphere_16k.sph"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bits, 16u);
    EXPECT_EQ(r.rate, 16000u);
    EXPECT_EQ(r.channels, 1u);
    EXPECT_EQ(r.count, 16000u);
    EXPECT_EQ(Info(getSphereFileInfo, Fixture("sphere_16k.sph")).count, 16000u);
}

TEST(SphereLoad, HeaderFieldsAreHonoured) {
    TLoaded tool = Load(loadSphereFile, Fixture("sox_8000.sph"));
    ASSERT_TRUE(tool.ok);
    EXPECT_EQ(tool.rate, 8000u);
    EXPECT_EQ(tool.count, 2000u);

    TLoaded big = Load(loadSphereFile, Fixture("sphere_be.sph"));
    ASSERT_TRUE(big.ok);
    EXPECT_EQ(big.rate, 8000u);
    ASSERT_EQ(big.count, 5u);
    EXPECT_EQ(big.S16(0), 1);
    EXPECT_EQ(big.S16(1), -2);
    EXPECT_EQ(big.S16(2), 300);
    EXPECT_EQ(big.S16(3), -32768);

    TLoaded stereo = Load(loadSphereFile, Fixture("sphere_stereo.sph"));
    ASSERT_TRUE(stereo.ok);
    EXPECT_EQ(stereo.channels, 2u);
    EXPECT_EQ(stereo.count, 3u);
    EXPECT_EQ(stereo.S16(1), -100) << "channels stay interleaved";
}

TEST(SphereLoad, MissingFieldsTakeTheDefaults) {
    TInfo info = Info(getSphereFileInfo, Fixture("sphere_defaults.sph"));
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.bits, 16u);
    EXPECT_EQ(info.rate, 16000u);
    EXPECT_EQ(info.channels, 1u);
    EXPECT_EQ(info.count, 5u);
    EXPECT_TRUE(info.pcm);
}

TEST(SphereLoad, CompressedBodiesAreRefused) {
    for (const char* name : {"sphere_shorten.sph", "sphere_ulaw.sph"}) {
        TInfo info = Info(getSphereFileInfo, Fixture(name));
        EXPECT_TRUE(info.ok) << name;
        EXPECT_FALSE(info.pcm) << name;
        EXPECT_FALSE(Load(loadSphereFile, Fixture(name)).ok) << name;
    }
}

TEST(SphereLoad, HeaderMustMatchExactlyAndBeComplete) {
    for (const char* name : {"sphere_badmagic.sph", "sphere_short.sph", "missing.sph"}) {
        TraceCapture trace;
        TLoaded r = Load(loadSphereFile, Fixture(name));
        EXPECT_FALSE(r.ok) << name;
        EXPECT_TRUE(r.block.empty());
        EXPECT_NE(TraceCapture::Text().find(" in loadSphereFile for: "), std::string::npos);
        EXPECT_FALSE(Info(getSphereFileInfo, Fixture(name)).ok) << name;
    }
}

} // namespace
