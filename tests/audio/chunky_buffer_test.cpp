#include <gtest/gtest.h>

#include <vector>

#include "../core/thrown.h"
#include "audio_chunky_buffer.h"

using namespace Vantrix;

namespace {

int32_t ErrorOf(TAudioChunkyBuffer& buffer, int32_t i) {
    return ThrownKind([&] { buffer.getSample(i); });
}

TEST(AudioChunkyBuffer, ReadsEveryIndexOfItsSoundAndNoOther) {
    std::vector<double> s{10, 11, 12, 13, 14};
    TAudioChunkyBuffer buffer(TDigitalAudio(16000, 5, s.data()));
    EXPECT_EQ(buffer.getSampleRate(), 16000u);
    EXPECT_EQ(buffer.getFirstIndex(), 0);
    EXPECT_EQ(buffer.getLastIndex(), 4);
    for (int32_t i = 0; i < 5; ++i)
        EXPECT_EQ(buffer.getSample(i), s[size_t(i)]);
    for (int32_t i : {5, -1, INT32_MIN})
        EXPECT_EQ(ErrorOf(buffer, i), eetRangeFailure) << i;
    // Chunks appended without a bound are never read.
    buffer.Append(TDigitalAudio(16000, 2, s.data()));
    EXPECT_EQ(ErrorOf(buffer, 5), eetRangeFailure);

    EXPECT_EQ(buffer.Clear(), 0);
    EXPECT_EQ(buffer.Count(), 0);
    EXPECT_EQ(buffer.getSampleRate(), 0u);
    for (int32_t i : {INT32_MIN, 0, 1, INT32_MAX})
        EXPECT_EQ(ErrorOf(buffer, i), eetRangeFailure);

    TAudioChunkyBuffer empty(TDigitalAudio(8000, 0, nullptr));
    EXPECT_EQ(empty.getLastIndex(), -1);
    EXPECT_EQ(ErrorOf(empty, 0), eetRangeFailure);
}

} // namespace
