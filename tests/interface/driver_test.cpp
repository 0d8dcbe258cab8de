// The frame sampling of an analysis and the registry of the handles handed out.
#include <list>
#include <vector>

#include <gtest/gtest.h>

#include "analysis.h"
#include "errors.h"

using namespace Vantrix;

namespace {

// A key list that is constant at value over [fromMs, toMs].
TKeyList Flat(int32_t fromMs, int32_t toMs, double value) {
    TKeyList keys;
    keys.Append(fromMs, value);
    keys.Append(toMs, value);
    keys.SetFlatHandles();
    return keys;
}

// Speech tracks: the rest track, then the given ones; eleven empty gesture tracks.
void Fill(VOXTRAIL_ANALYSIS& a, const std::vector<TKeyList>& speech, int32_t fps) {
    a.framesPerSecond = fps;
    a.speechTracks->Append(TTrack(Flat(0, 5000, 1.0), 0));
    for (size_t i = 0; i < speech.size(); ++i)
        a.speechTracks->Append(TTrack(speech[i], int32_t(i) + 1));
    for (int32_t g = 0; g < 11; ++g)
        a.gestureTracks->Append(TTrack(TKeyList(), g));
}

} // namespace

TEST(FrameSampling, TheLargestIntegralWinsAndTiesGoToTheLaterTrack) {
    VOXTRAIL_ANALYSIS a;
    // At 8 frames per second a frame is 125 ms wide around f x 125 ms; the times below make
    // every integral exact. Track 1 holds 1 over [0, 1024]; track 2 holds 2 over [500, 750];
    // track 3 has no keys; track 4 is 0 throughout.
    Fill(a, {Flat(0, 1024, 1.0), Flat(500, 750, 2.0), TKeyList(), Flat(0, 1024, 0.0)}, 8);
    ASSERT_EQ(SampleFrameRange(a), 0);
    const ADynaVector<int32_t>& range = *a.frameRange;
    ASSERT_EQ(range.Low(), 0);
    ASSERT_EQ(range.High(), 8);
    // Frames 4 and 6 hold 125 of either track: the later one takes them.
    const int32_t expected[] = {0, 0, 0, 0, 1, 1, 1, 0, 0};
    for (int32_t f = 0; f <= 8; ++f)
        EXPECT_EQ(range.At(f), expected[f]) << f;
}

TEST(FrameSampling, FramesWithoutAnyCurveAreMinusOne) {
    VOXTRAIL_ANALYSIS a;
    Fill(a, {Flat(0, 1000, 0.0), Flat(600, 1000, -1.0)}, 10);
    ASSERT_EQ(SampleFrameRange(a), 0);
    EXPECT_EQ(a.frameRange->At(2), -1);
    EXPECT_EQ(a.frameRange->At(8), 1); // the absolute integral counts
}

TEST(FrameSampling, TablesHoldFrameAverages) {
    VOXTRAIL_ANALYSIS a;
    Fill(a, {Flat(0, 1000, 1.0), Flat(400, 600, 2.0)}, 10);
    TKeyList& ramp = (*a.gestureTracks)[4].Keys();
    ramp.Append(0, 0.0);
    ramp.Append(2000, 1.0);
    ramp.SetOutHandleFromSlope(0, 1.0 / 2000); // linear: handles on the line
    ramp.SetInHandleFromSlope(1, 1.0 / 2000);
    ASSERT_EQ(SampleSpeechFrames(a), 0);
    ASSERT_EQ(SampleGestureFrames(a), 0);

    const AMatrix<double>& speech = *a.speechFrames;
    // The gesture track widens the span to 2000 ms: frames 0..20 for every table.
    EXPECT_EQ(speech.RowLow(), 0);
    EXPECT_EQ(speech.RowHigh(), 20);
    EXPECT_EQ(speech.Cols(), 2);
    EXPECT_DOUBLE_EQ(speech.At(0, 0), 0.5); // half the frame lies before the first key
    EXPECT_DOUBLE_EQ(speech.At(5, 0), 1.0);
    EXPECT_DOUBLE_EQ(speech.At(4, 1), 1.0);
    EXPECT_DOUBLE_EQ(speech.At(5, 1), 2.0);
    EXPECT_DOUBLE_EQ(speech.At(15, 0), 0.0);

    const AMatrix<double>& gestures = *a.gestureFrames;
    EXPECT_EQ(gestures.Cols(), 11);
    EXPECT_NEAR(gestures.At(10, 4), 0.5, 1e-12);
    EXPECT_NEAR(gestures.At(3, 4), 0.15, 1e-12);
    EXPECT_EQ(gestures.At(10, 0), 0.0);
}

TEST(FrameSampling, EmptySpansAndMissingTracksFail) {
    VOXTRAIL_ANALYSIS empty;
    Fill(empty, {TKeyList(), TKeyList()}, 30);
    EXPECT_EQ(SampleFrameRange(empty), 1);
    EXPECT_EQ(SampleSpeechFrames(empty), 0);
    EXPECT_EQ(empty.speechFrames->Rows(), 1);
    EXPECT_EQ(empty.speechFrames->RowLow(), 0);

    VOXTRAIL_ANALYSIS restOnly;
    restOnly.speechTracks->Append(TTrack(Flat(0, 100, 1.0), 0));
    restOnly.gestureTracks->Append(TTrack(Flat(0, 100, 1.0), 0));
    EXPECT_EQ(SampleFrameRange(restOnly), eetArgumentFailure);
    EXPECT_EQ(SampleSpeechFrames(restOnly), eetArgumentFailure);

    VOXTRAIL_ANALYSIS noGestures;
    noGestures.speechTracks->Append(TTrack(Flat(0, 100, 1.0), 0));
    noGestures.speechTracks->Append(TTrack(Flat(0, 100, 1.0), 1));
    EXPECT_EQ(SampleFrameRange(noGestures), 0);
    EXPECT_EQ(SampleGestureFrames(noGestures), eetArgumentFailure);
}

TEST(FrameSampling, FrameRatesBeyondReasonAreRefusedNotAllocated) {
    VOXTRAIL_ANALYSIS a;
    Fill(a, {Flat(0, 300000, 1.0)}, 1000000);
    EXPECT_EQ(SampleFrameRange(a), eetRangeFailure);
    EXPECT_EQ(SampleSpeechFrames(a), eetRangeFailure);
}

// Handles are tokens, never addresses, so that a freed one cannot reach a later analysis.
TEST(AnalysisRegistry, KeepsOrderUnlinksAnyEntryAndNeverReusesAHandle) {
    VOXTRAIL_ANALYSIS x, y, z;
    TAnalysisRegistry registry;
    VOXTRAIL_ANALYSIS* hx = registry.Append(&x);
    VOXTRAIL_ANALYSIS* hy = registry.Append(&y);
    VOXTRAIL_ANALYSIS* hz = registry.Append(&z);
    EXPECT_TRUE(registry.Unlink(hy));
    EXPECT_FALSE(registry.Unlink(hy));
    EXPECT_FALSE(registry.Contains(hy));
    EXPECT_EQ(registry.Find(hz), &z);
    EXPECT_EQ(registry.Find(hx), &x);
    EXPECT_FALSE(registry.Contains(&x)); // the address is no handle
    EXPECT_EQ(registry.Entries(), (std::list<VOXTRAIL_ANALYSIS*>{&x, &z}));
    // The same object registered again gets a new handle; the old one stays dead.
    VOXTRAIL_ANALYSIS* again = registry.Append(&y);
    EXPECT_NE(again, hy);
    EXPECT_FALSE(registry.Contains(hy));
    EXPECT_EQ(TAnalysisRegistry().Append(&x) == hx, false); // process-wide
}
