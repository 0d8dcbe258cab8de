#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "../core/thrown.h"
#include "../core/trace_capture.h"
#include "lip_sync.h"
#include "lipsync_support.h"

namespace Vantrix {
namespace {

constexpr int32_t kAe = 4;
constexpr int32_t kAh = 8;
constexpr int32_t kM = 24;
constexpr int32_t kHh = 31;
constexpr int32_t kG = 35;
constexpr int32_t kT = 37;
constexpr int32_t kSil = 40;
constexpr int32_t kShortSil = 41;
constexpr int32_t kFlap = 42;

// Rise, peak and fall key times of a segment.
using TKeyTimes = std::array<int32_t, 3>;

std::vector<int32_t> PhonemesOf(const ALipSynching& lipSync) {
    std::vector<int32_t> result;
    for (const TSegment& segment : lipSync.Segments())
        result.push_back(segment.Phoneme());
    return result;
}

using TSwitch = int32_t (TCoarticulationRulesMap::*)(bool);
using R = TCoarticulationRulesMap;

TCoarticulationRulesMap RulesWithout(TSwitch off) {
    TCoarticulationRulesMap rules = DefaultCoarticulationRules();
    if (off) (rules.*off)(false);
    return rules;
}

// Runs the built-in map; the result code goes to rc.
class TLipSyncRun {
public:
    TLipSyncRun(const std::vector<TSpan>& spans, const TCoarticulationRulesMap& rules)
        : lipSync(TTrackMapper::BuiltInMap(), rules) {
        rc = lipSync.Run(*MakePhonemes(spans), tracks, false);
    }
    // Contiguous spans from 0 written as "name duration ...", with a rule switched off if given.
    explicit TLipSyncRun(const char* text, bool fast = false, TSwitch off = nullptr)
        : lipSync(TTrackMapper::BuiltInMap(), RulesWithout(off)) {
        std::istringstream in(text);
        std::string name;
        std::vector<std::string> names;
        std::vector<int32_t> times = {0};
        for (int32_t d; in >> name >> d; times.push_back(times.back() + d))
            names.push_back(name);
        std::vector<TSpan> spans;
        for (size_t i = 0; i < names.size(); ++i)
            spans.push_back({names[i].c_str(), times[i], times[i + 1]});
        rc = lipSync.Run(*MakePhonemes(spans), tracks, fast);
    }
    const TSegment& operator[](int32_t i) const { return lipSync.Segments()[i]; }
    int32_t Count() const { return lipSync.Segments().Count(); }
    std::vector<TKeyTimes> KeyTimes() const {
        std::vector<TKeyTimes> times;
        for (const TSegment& segment : lipSync.Segments()) {
            const TKeyList& keys = segment.Keys();
            times.push_back({keys[0].TimeMs(), keys[1].TimeMs(), keys[2].TimeMs()});
        }
        return times;
    }
    // Start and end of every segment.
    std::vector<int32_t> Bounds() const {
        std::vector<int32_t> bounds;
        for (const TSegment& segment : lipSync.Segments())
            bounds.insert(bounds.end(), {segment.Start(), segment.End()});
        return bounds;
    }

    TLipSynching lipSync;
    TTrackList tracks;
    int32_t rc = -1;
};

TEST(LipSyncConstruction, RefusesInvalidRulesAndKeepsItsOwnCopy) {
    TCoarticulationRulesMap rules = DefaultCoarticulationRules();
    TLipSynching lipSync(TTrackMapper::BuiltInMap(), rules);
    rules.SetWindowLowAtMaxDominance(20);
    EXPECT_EQ(ThrownKind([&] { TLipSynching lipSync(TTrackMapper::BuiltInMap(), rules); }),
              eetDataFailure);
    EXPECT_EQ(lipSync.Rules().WindowLowAtMaxDominance(), 0);
    EXPECT_THROW(TLipSynching(TTrackMapper::BuiltInMap(), TCoarticulationRulesMap()), EErrorType);
}

// m, ae, t, iy: the t becomes a flap and the weak ae and flap pull their neighbours' keys.
TEST(LipSyncExample, FourPhonemesAndTheirTracks) {
    TLipSyncRun run("m 100 ae 40 t 60 iy 200");
    ASSERT_EQ(run.rc, eetSuccess);
    EXPECT_EQ(PhonemesOf(run.lipSync), (std::vector<int32_t>{kM, kAe, kFlap, 0}));
    EXPECT_EQ(run.Bounds(), (std::vector<int32_t>{-32, 68, 68, 108, 108, 168, 168, 368}));

    EXPECT_EQ(run[0].Weight(), 1.0);
    EXPECT_NEAR(run[1].Weight(), 0.9891, 1e-4);
    EXPECT_NEAR(run[2].Carry(), 0.9891, 1e-4);
    EXPECT_NEAR(run[2].Weight(), 0.4181, 1e-4);
    EXPECT_EQ(run[3].Weight(), 1.0);

    EXPECT_EQ(
        run.KeyTimes(),
        (std::vector<TKeyTimes>{{-332, -32, 68}, {-32, 68, 125}, {66, 107, 168}, {83, 149, 368}}));
    // Releases stay where the triplets first put them.
    EXPECT_EQ(run[1].Release(), 108);

    // One track per speech target, rest first.
    ASSERT_EQ(run.tracks.Count(), 16);
    for (int32_t t = 0; t < 16; ++t)
        EXPECT_EQ(run.tracks[t].Index(), t);
    EXPECT_TRUE(run.tracks[0].Keys().IsEmpty()); // no silence
    EXPECT_TRUE(run.tracks[7].Keys().IsEmpty()); // nobody drives s/z

    // A single member is its keys scaled by the map weight.
    const TKeyList& lips = run.tracks[12].Keys();
    ASSERT_EQ(lips.Count(), 3);
    EXPECT_EQ(lips[0].TimeMs(), -332);
    EXPECT_DOUBLE_EQ(lips[1].Value(), 0.85);
    EXPECT_EQ(lips[2].Value(), 0.0);

    const TKeyList& flap = run.tracks[11].Keys();
    ASSERT_EQ(flap.Count(), 3);
    EXPECT_EQ(flap[1].TimeMs(), 107);
    EXPECT_NEAR(flap[1].Value(), 0.5 * run[2].Weight(), 1e-12);
}

TEST(LipSyncTracks, SegmentsSharingATargetAreSummed) {
    // ah and ae both drive track 3 with 0.85.
    TLipSyncRun run("ah 200 m 100 ae 200");
    ASSERT_EQ(run.rc, eetSuccess);
    const TKeyList& keys = run.tracks[3].Keys();
    std::vector<int32_t> times;
    for (const TKey& key : keys)
        times.push_back(key.TimeMs());
    // ah's fall and ae's rise share one time (the m's start).
    EXPECT_EQ(times, (std::vector<int32_t>{-332, -32, 168, 268, 468}));
    const int32_t peak = keys.FindKeyAt(run[2].Keys()[1].TimeMs());
    ASSERT_GE(peak, 0);
    EXPECT_NEAR(keys[peak].Value(), 0.85 * run[2].Weight(), 1e-12);
}

TEST(LipSyncTracks, WeightZeroSegmentFeedsNothing) {
    // The 16 ms hh sits wholly below the low edge of its window against m.
    TLipSyncRun run("sil 1500 hh 16 m 184 sil 1500", false, &R::SetMergeHhIntoNext);
    ASSERT_EQ(run.rc, eetSuccess);
    ASSERT_EQ(run[1].Phoneme(), kHh);
    EXPECT_EQ(run[1].Weight(), 0.0);
    EXPECT_TRUE(run.tracks[3].Keys().IsEmpty());
    EXPECT_FALSE(run.tracks[12].Keys().IsEmpty());
}

// Whole runs: which phonemes the list edits leave (hh merging, flaps and short silences, each
// switchable) and, where given, every segment's key times.
TEST(LipSyncRuns, PhonemesAndKeyTimes) {
    const struct {
        const char* spans;
        std::vector<int32_t> phonemes;
        std::vector<TKeyTimes> times = {}; // not checked when empty
        bool fast = false;
        TSwitch off = nullptr; // a rule turned off for this case
    } cases[] = {
        {"m 100 hh 50 hh 50 ae 100", {kM, kAe}},
        {"ah 100 hh 50 ah 150", {kAh}}, // the same phoneme again joins too
        {"ah 100 hh 50", {kAh, kHh}},
        {"ah 100 hh 50 sil 1350", {kAh, kHh, kSil}},
        {"ah 100 hh 50 sil 250", {kAh, kHh, kShortSil}},
        {"hh 100 ah 50", {kHh, kAh}, {}, false, &R::SetMergeHhIntoNext},
        // A flap only between two vowels.
        {"t 100 ae 100 t 100 iy 100 d 100 ax 100 t 100 m 100 t 100",
         {kT, kAe, kFlap, 0, kFlap, 15, kT, kM, kT}},
        {"ae 100 t 100 iy 100", {kAe, kT, 0}, {}, false, &R::SetFlapEnabled},
        // A silence is short below 1000 ms, unless fast or switched off; a short one limits no
        // ramp.
        {"ae 500 sil 999 ae 501",
         {kAe, kShortSil, kAe},
         {{-332, -32, 468}, {-32, 468, 1467}, {468, 1467, 1968}}},
        {"ae 500 sil 1000 ae 500",
         {kAe, kSil, kAe},
         {{-332, -32, 268}, {-32, 468, 1468}, {1168, 1468, 1968}}},
        {"ae 100 sil 999 ae 100", {kAe, kSil, kAe}, {}, true},
        {"ae 100 sil 200 ae 100", {kAe, kSil, kAe}, {}, false, &R::SetShortSilenceEnabled},
        // The last segment keeps its duration.
        {"iy 200", {0}, {{-332, -32, 168}}},
        {"iy 200", {0}, {{-112, -32, 168}}, true},
        // Ramps into silences are limited; close behind another segment, the silence's own rise
        // key is the limit.
        {"sil 1500 ae 200 sil 1300",
         {kSil, kAe, kSil},
         {{-332, -32, 1468}, {1168, 1468, 1768}, {1468, 1668, 2968}}},
        {"g 100 sil 150 ae 250",
         {kG, kSil, kAe},
         {{-332, -32, 218}, {-32, 68, 218}, {-32, 218, 468}},
         false,
         &R::SetShortSilenceEnabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spans);
        TLipSyncRun run(c.spans, c.fast, c.off);
        ASSERT_EQ(run.rc, eetSuccess);
        EXPECT_EQ(PhonemesOf(run.lipSync), c.phonemes);
        // Only a long silence feeds the rest track.
        EXPECT_EQ(run.tracks[0].Keys().IsEmpty(),
                  std::count(c.phonemes.begin(), c.phonemes.end(), kSil) == 0);
        for (const TSegment& segment : run.lipSync.Segments()) {
            // Each segment rises flat from rest to its weight and falls back.
            const TKeyList& keys = segment.Keys();
            EXPECT_EQ((std::array<double, 3>{keys[0].Value(), keys[1].Value(), keys[2].Value()}),
                      (std::array<double, 3>{0, segment.Weight(), 0}));
            EXPECT_EQ(keys[0].OutSlope(), 0.0);
        }
        if (!c.times.empty()) {
            EXPECT_EQ(run.KeyTimes(), c.times);
        }
    }
    // A merged segment keeps its parents and starts where the first one did, moved earlier.
    TLipSyncRun chain("m 100 hh 50 hh 50 ae 100");
    EXPECT_EQ(chain[1].Parents().Count(), 3);
    EXPECT_EQ(chain[1].Start(), 68);
    TLipSyncRun joined("ah 100 hh 50 ah 150");
    EXPECT_EQ(joined.Bounds(), (std::vector<int32_t>{-32, 268}));
    std::vector<int32_t> parentTimes;
    for (const auto& parent : joined[0].Parents())
        parentTimes.insert(parentTimes.end(), {parent.start, parent.end});
    EXPECT_EQ(parentTimes, (std::vector<int32_t>{0, 100, 100, 150, 150, 300}));
    EXPECT_FALSE(TLipSyncRun("ae 100 t 100 iy 100")[1].IsVowel());
}

TEST(LipSyncEdits, OnsetShiftsKeepSixteenMillisecondsBetweenStarts) {
    // p starts at 20 - 64, clamped to -32 + 16.
    EXPECT_EQ(TLipSyncRun("m 20 p 20 ae 160").Bounds(),
              (std::vector<int32_t>{-32, -16, -16, 8, 8, 168}));
}

// Bad input is a range error, traced, that leaves no tracks of an earlier run; times that would
// leave the int32 range are refused rather than wrapped.
TEST(LipSyncErrors, BadInputIsARangeErrorAndClearsTheTracks) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    const TCoarticulationRulesMap defaults = DefaultCoarticulationRules();
    TCoarticulationRulesMap farAe = defaults, lateM = defaults;
    farAe.SetOnsetOffset(kAe, kMin);
    lateM.SetOnsetOffset(kM, 0); // the spacing step would need a fall key beyond the range
    const std::pair<std::shared_ptr<TPhonemeList>, const TCoarticulationRulesMap*> cases[] = {
        {MakePhonemes({}), &defaults},
        {MakePhonemes({{"ae", 0, 100}, {nullptr, 100, 200}}), &defaults},
        {MakePhonemes({{"ae", 0, 100}}), &farAe},
        {MakePhonemes({{"ae", -100, 0}}), &farAe},
        {MakePhonemes({{"ae", kMax - 1000, kMax - 8}, {"m", kMax - 8, kMax}}), &lateM},
        {MakePhonemes({{"ae", kMin, kMin + 500}}), &defaults},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        TLipSynching lipSync(TTrackMapper::BuiltInMap(), *cases[i].second);
        TTrackList tracks;
        ASSERT_EQ(lipSync.Run(*MakePhonemes({{"iy", 0, 100}}), tracks, false), eetSuccess);
        TraceCapture trace;
        EXPECT_EQ(lipSync.Run(*cases[i].first, tracks, false), eetRangeFailure) << i;
        EXPECT_TRUE(tracks.IsEmpty()) << i;
        EXPECT_EQ(trace.Text(),
                  "Caught an exception (eetRangeFailure): Something is out of range.\n")
            << i;
    }
    TLipSyncRun high({{"ae", kMax - 1000, kMax - 500}, {"m", kMax - 500, kMax}}, defaults);
    EXPECT_EQ(high.rc, eetSuccess);
    EXPECT_EQ(high[1].End(), kMax - 32);
}

// Edits that would leave a segment or the list out of order are refused, changing nothing.
TEST(Segments, EditsRefuseWhatWouldDisorderThem) {
    TSegment segment(100, 200, kAe);
    EXPECT_EQ(segment.SetStart(201), eetRangeFailure);
    EXPECT_EQ(segment.SetEnd(99), eetRangeFailure);
    EXPECT_EQ(segment.SetPhoneme(43), eetRangeFailure);
    ASSERT_EQ(segment.SetPhoneme(kFlap), eetSuccess);
    EXPECT_FALSE(segment.IsVowel()); // no run turns a vowel into a consonant
    EXPECT_EQ(segment.SetWeight(-0.5), eetRangeFailure);
    EXPECT_EQ(segment.SetCarry(1.5), eetRangeFailure);
    EXPECT_EQ(segment.Carry(), 1.0);
    EXPECT_EQ(segment.Duration(), 100);

    TSegmentList list;
    for (const auto& [start, end] : {std::pair{0, 100}, {300, 310}, {200, 250}})
        list.Append(TSegment(start, end, kAe));
    EXPECT_EQ(list.MergeIntoNext(2), eetRangeFailure);
    EXPECT_EQ(list.MergeIntoNext(-1), eetRangeFailure);
    EXPECT_THROW(list.MergeIntoNext(1), EErrorType); // 300 would pass 250
    EXPECT_EQ(list.Count(), 3);
    ASSERT_EQ(list.MergeIntoNext(0), eetSuccess);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].Start(), 0);
    EXPECT_EQ(list[0].Parents().Count(), 2);
}

} // namespace
} // namespace Vantrix
