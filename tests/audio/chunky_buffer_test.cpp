#include <gtest/gtest.h>

#include <vector>

#include "audio_chunky_buffer.h"

using namespace Vantrix;

namespace {

EErrorType ErrorOf(TAudioChunkyBuffer& buffer, int32_t i) {
    try {
        buffer.getSample(i);
        return eetSuccess;
    } catch (EErrorType kind) {
        return kind;
    }
}

TEST(AudioChunkyBuffer, ReadsEveryIndexOfItsSound) {
    std::vector<double> s{10, 11, 12, 13, 14};
    TAudioChunkyBuffer buffer(TDigitalAudio(16000, 5, s.data()));
    EXPECT_EQ(buffer.getSampleRate(), 16000u);
    EXPECT_EQ(buffer.getFirstIndex(), 0);
    EXPECT_EQ(buffer.getLastIndex(), 4);
    EXPECT_EQ(buffer.Count(), 1);
    EXPECT_EQ(buffer.getSample(4), 14.0);
    EXPECT_EQ(buffer.getSample(0), 10.0);
    EXPECT_EQ(buffer.getSample(2), 12.0);
}

TEST(AudioChunkyBuffer, OutsideTheRangeIsARangeFailure) {
    std::vector<double> s{1, 2, 3};
    TAudioChunkyBuffer buffer(TDigitalAudio(8000, 3, s.data()));
    EXPECT_EQ(ErrorOf(buffer, 3), eetRangeFailure);
    EXPECT_EQ(ErrorOf(buffer, -1), eetRangeFailure);
    EXPECT_EQ(ErrorOf(buffer, INT32_MIN), eetRangeFailure);
    EXPECT_EQ(ErrorOf(buffer, 2), eetSuccess);
}

TEST(AudioChunkyBuffer, ClearMakesEveryIndexOutOfRange) {
    std::vector<double> s{1, 2, 3};
    TAudioChunkyBuffer buffer(TDigitalAudio(8000, 3, s.data()));
    EXPECT_EQ(buffer.Clear(), 0);
    EXPECT_EQ(buffer.Count(), 0);
    EXPECT_EQ(buffer.getSampleRate(), 0u);
    EXPECT_EQ(buffer.getFirstIndex(), INT32_MAX);
    EXPECT_EQ(buffer.getLastIndex(), INT32_MIN);
    for (int32_t i : {INT32_MIN, 0, 1, INT32_MAX})
        EXPECT_EQ(ErrorOf(buffer, i), eetRangeFailure);
}

TEST(AudioChunkyBuffer, EmptySoundHasNoIndices) {
    TAudioChunkyBuffer buffer(TDigitalAudio(8000, 0, nullptr));
    EXPECT_EQ(buffer.getLastIndex(), -1);
    EXPECT_EQ(ErrorOf(buffer, 0), eetRangeFailure);
}

TEST(AudioChunkyBuffer, ChunksAppendedWithoutABoundAreNeverRead) {
    std::vector<double> s{1, 2};
    TAudioChunkyBuffer buffer(TDigitalAudio(8000, 2, s.data()));
    buffer.Append(TDigitalAudio(8000, 2, s.data()));
    EXPECT_EQ(buffer.getSample(1), 2.0);
    EXPECT_EQ(ErrorOf(buffer, 2), eetRangeFailure);
}

} // namespace
