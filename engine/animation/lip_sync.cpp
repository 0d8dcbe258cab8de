#include "lip_sync.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "errors.h"
#include "trace.h"

namespace Vantrix {

namespace {

// Least distance between shifted segment starts: one frame.
constexpr int32_t kMinStartGap = 16;

// Key positions inside a segment's triplet.
constexpr int32_t kRise = 0;
constexpr int32_t kPeak = 1;
constexpr int32_t kFall = 2;

// A computed time that leaves the int32 range cannot be represented.
int32_t ToTime(int64_t t) {
    if (t < INT32_MIN || t > INT32_MAX) throw eetRangeFailure;
    return int32_t(t);
}

void Check(int32_t err) {
    if (err != eetSuccess) throw EErrorType(err);
}

const TPhonemesToTracksMap& ValidMap(const TPhonemesToTracksMap& map) {
    if (!map.IsValid()) throw eetDataFailure;
    return map;
}

const TCoarticulationRulesMap& ValidRules(const TCoarticulationRulesMap& rules) {
    if (!rules.Validate()) throw eetDataFailure;
    return rules;
}

// Keys of one step may pass each other until the spacing step orders them again.
void AppendUnordered(TKeyList& keys, const TKey& key) {
    if (keys.Append(key) != eetSuccess) keys.Insert(keys.Count(), key);
}

int32_t KeyTime(const TSegment& segment, int32_t key) {
    return segment.Keys()[key].TimeMs();
}

void SetKeyTime(TSegment& segment, int32_t key, int32_t t) {
    segment.Keys()[key].SetTimeMs(t);
}

// m + (old - m) * w, truncated toward zero; lies between m and old.
int32_t Pull(int64_t m, int32_t old, double w) {
    return int32_t(std::trunc(double(m) + (double(old) - double(m)) * w));
}

} // namespace

ALipSynching::~ALipSynching() = default;

ALipSynching::ALipSynching(const TPhonemesToTracksMap& map, const TCoarticulationRulesMap& rules)
    : map(ValidMap(map)), rules(ValidRules(rules)) {
    influence.Build(this->rules);
}

int32_t ALipSynching::Run(const TPhonemeList& phonemes, TTrackList& tracks, bool fast) {
    try {
        tracks.Clear();
        segments.Fill(phonemes);
        EditList(fast);
        ApplyOnsetOffsets();
        ComputeWeights();
        LayKeyTriplets(fast);
        WidenAroundWeakSegments();
        SpaceKeys();
        FlattenHandles();
        BuildTracks(tracks);
        return eetSuccess;
    } catch (EErrorType kind) {
        return TraceCaught(kind);
    } catch (const TError& error) {
        const char* name = NameOf(error.kind);
        Trace("Caught an exception (%s): %s\n", name ? name : "?", error.message.c_str());
        return error.kind;
    } catch (const std::exception&) {
        // Out of memory, in practice.
        return TraceCaught(eetCatastrophicFailure);
    }
}

void ALipSynching::EditList(bool fast) {
    segments.ApplyCoarticulationEdits(rules, rules.ShortSilenceEnabled() && !fast);
}

void ALipSynching::ApplyOnsetOffsets() {
    const int32_t count = segments.Count();
    for (int32_t k = 0; k < count; ++k) {
        TSegment& segment = segments[k];
        const int32_t off = rules.OnsetOffset(segment);
        if (off == 0) continue;
        const int32_t s = segment.Start();
        int64_t shifted = int64_t(s) + off;
        if (k > 0 && off < 0)
            shifted = std::max(shifted, int64_t(segments[k - 1].Start()) + kMinStartGap);
        if (off > 0) shifted = std::min(shifted, int64_t(segment.End()) - kMinStartGap);
        const int32_t start = ToTime(shifted);
        const int64_t delta = int64_t(start) - s;
        Check(segment.SetStart(start));
        if (k > 0) Check(segments[k - 1].SetEnd(start));
        if (k == count - 1) Check(segment.SetEnd(ToTime(segment.End() + delta)));
    }
}

void ALipSynching::ComputeWeights() {
    const int32_t count = segments.Count();
    for (int32_t i = 0; i < count; ++i) {
        TSegment& segment = segments[i];
        const int32_t p = segment.Phoneme();
        double left = 1.0;
        double right = 1.0;
        if (i > 0) {
            const TSegment& previous = segments[i - 1];
            const TInfluenceWindow w = influence.Window(influence.Dominance(p, previous.Phoneme()));
            left = influence.S(double(previous.Duration()), w);
        }
        if (i < count - 1) {
            TSegment& next = segments[i + 1];
            const TInfluenceWindow w = influence.Window(influence.Dominance(p, next.Phoneme()));
            right = influence.S(double(segment.Duration()), w);
            Check(next.SetCarry(right));
        }
        left += (1.0 - left) * (1.0 - segment.Carry());
        Check(segment.SetWeight(std::min(left, right)));
    }
}

void ALipSynching::LayKeyTriplets(bool fast) {
    const int64_t ramp = fast ? rules.FastRampTime() : rules.RampTime();
    const int32_t count = segments.Count();
    for (int32_t i = 0; i < count; ++i) {
        TSegment& segment = segments[i];
        const int32_t s = segment.Start();
        TKeyList& keys = segment.Keys();
        keys.Clear();
        int32_t rise = i == 0 ? ToTime(s - ramp) : segments[i - 1].Start();
        int32_t fall = segment.End();
        // A mouth shape reaches at most ramp into a neighbouring silence.
        if (segment.Phoneme() != RuleIndex::kSil) {
            if (i > 0 && segments[i - 1].Phoneme() == RuleIndex::kSil)
                rise = ToTime(std::max(int64_t(KeyTime(segments[i - 1], kRise)), s - ramp));
            if (i < count - 1 && segments[i + 1].Phoneme() == RuleIndex::kSil)
                fall = ToTime(std::min(int64_t(segments[i + 1].End()), s + ramp));
        }
        AppendUnordered(keys, TKey(rise, 0.0));
        AppendUnordered(keys, TKey(s, segment.Weight()));
        AppendUnordered(keys, TKey(fall, 0.0));
        segment.SetRelease(fall);
    }
}

void ALipSynching::WidenAroundWeakSegments() {
    const int32_t count = segments.Count();
    if (count == 0) return;
    const int32_t lastEnd = segments[count - 1].End();
    for (int32_t i = 0; i < count; ++i) {
        TSegment& segment = segments[i];
        const double w = segment.Weight();
        if (!(w < 1.0)) continue;
        const int32_t r = KeyTime(segment, kRise);
        const int32_t p = KeyTime(segment, kPeak);
        const int32_t nr = i < count - 1 ? KeyTime(segments[i + 1], kRise) : lastEnd;
        const int32_t np = i < count - 1 ? KeyTime(segments[i + 1], kPeak) : lastEnd;
        const int32_t e = i > 0 ? segments[i - 1].Release() : p;
        const int32_t f = i < count - 2    ? KeyTime(segments[i + 2], kRise)
                          : i == count - 2 ? np
                                           : KeyTime(segment, kFall);
        const int64_t outer = (int64_t(e) + f) / 2;
        if (i > 0) SetKeyTime(segments[i - 1], kFall, Pull(outer, e, w));
        if (i < count - 1) {
            SetKeyTime(segments[i + 1], kRise, Pull(r, nr, w));
            SetKeyTime(segments[i + 1], kPeak, Pull((int64_t(np) + p) / 2, np, w));
        }
        if (i < count - 2) SetKeyTime(segments[i + 2], kRise, Pull(outer, f, w));
    }
}

void ALipSynching::SpaceKeys() {
    const int64_t gap = rules.MinKeySpacing();
    for (TSegment& segment : segments) {
        const int64_t peak = KeyTime(segment, kPeak);
        if (KeyTime(segment, kRise) + gap > peak) SetKeyTime(segment, kRise, ToTime(peak - gap));
        if (KeyTime(segment, kFall) - gap < peak) SetKeyTime(segment, kFall, ToTime(peak + gap));
    }
}

void ALipSynching::FlattenHandles() {
    for (TSegment& segment : segments)
        segment.Keys().SetFlatHandles();
}

void ALipSynching::BuildTracks(TTrackList& tracks) {
    if (segments.IsEmpty()) throw eetRangeFailure;
    tracks.Clear();
    const int32_t numTracks = map.NumTracks();

    // The non-zero weights of each phoneme row, so that one pass over the segments hands
    // every track its members, in segment order.
    struct TTarget {
        int32_t track;
        double weight;
    };
    std::vector<TTarget> targets;
    int32_t rowBegin[RuleIndex::kCount + 1];
    for (int32_t row = 0; row < RuleIndex::kCount; ++row) {
        rowBegin[row] = int32_t(targets.size());
        for (int32_t t = 0; t < numTracks; ++t) {
            const double w = map.Weight(row, t);
            if (w != 0.0) targets.push_back({t, w});
        }
    }
    rowBegin[RuleIndex::kCount] = int32_t(targets.size());

    std::vector<TListOfKeyLists> members(static_cast<size_t>(numTracks));
    for (const TSegment& segment : segments) {
        if (segment.Keys()[kPeak].Value() == 0.0) continue;
        const int32_t row = segment.Phoneme();
        if (!RuleIndex::IsIndex(row)) throw eetRangeFailure;
        for (int32_t k = rowBegin[row]; k < rowBegin[row + 1]; ++k)
            members[size_t(targets[size_t(k)].track)].Append(segment.Keys(),
                                                             targets[size_t(k)].weight);
    }

    TKeyList combined;
    for (int32_t t = 0; t < numTracks; ++t) {
        members[size_t(t)].Combine(false, combined);
        tracks.Append(TTrack(TKeyList(), t));
        tracks.Last().Keys().Swap(combined);
    }
}

} // namespace Vantrix
