#include <algorithm>
#include <cmath>
#include <vector>

#include "head_motion.h"
#include "rounding.h"

namespace Vantrix {

namespace {

constexpr int32_t kIdle = -1;

bool IsSilence(const TPhoneme& phoneme) {
    return phoneme.Id() == kSilenceId;
}

// True when a candidate lies closer than distance to t.
bool HasCandidateNear(const TOrderedList& candidates, double t, double distance) {
    const int32_t at = candidates.UpperBound(t);
    if (at < candidates.Count() && std::fabs(candidates[at].value - t) < distance) return true;
    return at > 0 && std::fabs(candidates[at - 1].value - t) < distance;
}

} // namespace

int64_t THeadGazeBlink::BlinkSpacing(const TSpeechGesturesMap& map) {
    const TGesturePartRecord& r = map.BlinkRecord(0);
    const TGesturePartRecord& q = map.BlinkRecord(1);
    // Both eyes' keys hang off the blink's peak offset; the mirror moves the second eye's.
    const int64_t peakLatest = int64_t(r.peakCentre) + r.peakSpread;
    const int64_t peakEarliest = int64_t(r.peakCentre) - r.peakSpread;
    const int64_t mirrorLatestEnd =
        int64_t(q.peakCentre) + q.peakSpread + int64_t(q.endCentre) + q.endSpread;
    const int64_t mirrorEarliestStart =
        int64_t(q.peakCentre) - q.peakSpread + int64_t(q.startCentre) - q.startSpread;
    const int64_t latestEnd =
        peakLatest + int64_t(r.endCentre) + r.endSpread + std::max<int64_t>(0, mirrorLatestEnd);
    const int64_t earliestStart = peakEarliest + int64_t(r.startCentre) - r.startSpread +
                                  std::min<int64_t>(0, mirrorEarliestStart);
    // Keys of one blink are at least 1 ms apart, so two blinks need 2 ms at the very least.
    return std::max<int64_t>(latestEnd - earliestStart, 2);
}

void THeadGazeBlink::SpaceCandidates(TOrderedList& candidates, double minDistance) {
    int32_t i = 0;
    while (i + 1 < candidates.Count()) {
        const ItemToOrder& earlier = candidates[i];
        const ItemToOrder& later = candidates[i + 1];
        if (later.value - earlier.value > minDistance) {
            ++i;
        } else if (later.index == kIdle) {
            candidates.Remove(i + 1);
        } else if (earlier.index == kIdle) {
            candidates.Remove(i);
            if (i > 0) --i;
        } else {
            ++i;
        }
    }
}

void THeadGazeBlink::KeyIdleBlink(int32_t t) {
    const TGesturePartRecord& r = map.BlinkRecord(0);
    const TGesturePartRecord& q = map.BlinkRecord(1);
    const int64_t s = random.Jitter(r.startCentre, r.startSpread);
    const int64_t m = random.Jitter(r.peakCentre, r.peakSpread);
    const int64_t e = random.Jitter(r.endCentre, r.endSpread);
    const int64_t peak = int64_t(t) + m;
    AppendPartKeys(blink[egcBlinkLeft], peak, s, e, r.amplitude);
    const int64_t js = random.Jitter(q.startCentre, q.startSpread);
    const int64_t jp = random.Jitter(q.peakCentre, q.peakSpread);
    const int64_t je = random.Jitter(q.endCentre, q.endSpread);
    // The second eye keeps the first eye's values.
    AppendPartKeys(blink[egcBlinkRight], peak + jp, std::min<int64_t>(s, -1) + js,
                   std::max<int64_t>(e, 1) + je, r.amplitude);
}

void THeadGazeBlink::Blinks(const TPhonemeList& phonemes, int32_t end,
                            const TEmphasisActionList& actions) {
    TOrderedList candidates;
    for (int32_t a = 0; a < actions.Count(); ++a) {
        const TKeyList& keys = actions[a].Keys(egcBlinkLeft);
        if (keys.Count() >= 2) candidates.Insert({double(keys[1].TimeMs()), a});
    }

    // Pauses, in order; each is weighed against the blinks placed so far.
    const double exclusion = map.PauseBlinkExclusion();
    for (int32_t i = 1; i < phonemes.Count(); ++i) {
        const TPhoneme& phoneme = phonemes[i];
        if (!IsSilence(phoneme) || IsSilence(phonemes[i - 1])) continue;
        if (phoneme.DurationMs() <= map.PauseBlinkMinSilence()) continue;
        const double t = phoneme.StartMs();
        if (HasCandidateNear(candidates, t, exclusion)) continue;
        if (!random.Chance(map.PauseBlinkProbability())) continue;
        const int32_t delay = random.UniformInt(map.PauseBlinkDelayMin(), map.PauseBlinkDelayMax());
        candidates.Insert({t + delay, kIdle});
    }

    // A closing blink when the last one is long before the end of speech.
    const double lastTime = candidates.IsEmpty() ? 0.0 : candidates.Last().value;
    if (std::fabs(lastTime - end) > map.EndBlinkDistance()) {
        const int32_t delay = random.UniformInt(map.EndBlinkDelayMin(), map.EndBlinkDelayMax());
        candidates.Insert({double(end) + delay, kIdle});
    }

    // No stretch longer than the gap without a blink.
    const double gap = map.MaxBlinkGap();
    const double total = phonemes.EndTime();
    if (gap < total && (candidates.IsEmpty() || candidates[0].value >= gap))
        candidates.Insert({gap, kIdle});
    if (candidates.Count() == 1 && gap < total - candidates[0].value)
        candidates.Insert({candidates[0].value + gap, kIdle});
    for (int32_t i = 0; i + 1 < candidates.Count(); ++i)
        if (candidates[i + 1].value - candidates[i].value > gap)
            candidates.Insert({candidates[i].value + gap, kIdle});

    SpaceCandidates(candidates, double(BlinkSpacing(map)));

    for (int32_t i = 0; i < candidates.Count(); ++i)
        if (candidates[i].index == kIdle) KeyIdleBlink(nearest(candidates[i].value));
    blink[egcBlinkLeft].SetFlatHandles();
    blink[egcBlinkRight].SetFlatHandles();
}

} // namespace Vantrix
