#include "gestures_actions.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "rounding.h"

namespace Vantrix {

// --- TEmphasisAction ---

int32_t TEmphasisAction::SetPosition(int32_t newPosition, int32_t phonemeCount) {
    if (newPosition < 0 || newPosition >= phonemeCount) return eetRangeFailure;
    position = newPosition;
    return eetSuccess;
}

int32_t TEmphasisAction::SetScale(double newScale) {
    if (!(newScale > 0.0)) return eetRangeFailure;
    scale = newScale;
    return eetSuccess;
}

int32_t TEmphasisAction::SetType(int32_t newType) {
    if (newType < 0 || newType >= kActionTypeCount) return eetRangeFailure;
    type = newType;
    return eetSuccess;
}

int32_t TEmphasisAction::SetVariant(int32_t newVariant) {
    if (newVariant < 0 || newVariant >= kGestureVariantCount) return eetRangeFailure;
    variant = newVariant;
    return eetSuccess;
}

TKeyList& TEmphasisAction::Keys(int32_t channel) {
    if (channel < 0 || channel >= kGestureTrackCount) throw eetRangeFailure;
    return keys[channel];
}

const TKeyList& TEmphasisAction::Keys(int32_t channel) const {
    if (channel < 0 || channel >= kGestureTrackCount) throw eetRangeFailure;
    return keys[channel];
}

int32_t TEmphasisAction::BlinkStart() const {
    return std::min(keys[egcBlinkLeft].FirstKeyTime(), keys[egcBlinkRight].FirstKeyTime());
}

int32_t TEmphasisAction::BlinkEnd() const {
    return std::max(keys[egcBlinkLeft].LastKeyTime(), keys[egcBlinkRight].LastKeyTime());
}

int32_t AEmphasisActionList::Append(const TEmphasisAction& action) {
    constexpr size_t kFirstCapacity = 10;
    return AppendReserving(action, kFirstCapacity);
}

// --- Keys ---

namespace {

int32_t KeyTime(int64_t t) {
    if (t < INT32_MIN || t > INT32_MAX) throw eetRangeFailure;
    return int32_t(t);
}

void Require(int32_t result) {
    if (result != eetSuccess) throw EErrorType(result);
}

} // namespace

void AppendPartKeys(TKeyList& list, int64_t peakMs, int64_t startOffset, int64_t endOffset,
                    double peakValue) {
    // Rounding of scaled offsets can close a gap that the map keeps open; the keys stay apart.
    startOffset = std::min<int64_t>(startOffset, -1);
    endOffset = std::max<int64_t>(endOffset, 1);
    const int32_t start = KeyTime(peakMs + startOffset);
    const int32_t peak = KeyTime(peakMs);
    const int32_t end = KeyTime(peakMs + endOffset);
    Require(list.Append(start, 0.0));
    Require(list.Append(peak, peakValue));
    Require(list.Append(end, 0.0));
}

// --- TEmphasisActionList ---

void TEmphasisActionList::Build(const TPhonemeList& phonemes, double rate) {
    int64_t isolated = nearest(map.IsolationDistance() * rate);
    const int64_t crowded = std::max<int64_t>(nearest(map.CrowdingDistance() * rate), 1);
    if (isolated <= crowded) isolated = crowded + 1;

    Clear();
    const int32_t count = phonemes.Count();
    for (int32_t k = 0; k < count; ++k) {
        const TPhoneme& phoneme = phonemes[k];
        if (!phoneme.GestureFlag()) continue;
        TEmphasisAction action(phoneme.StartMs());
        Require(action.SetPosition(k, count));
        Require(action.SetType(eatOrdinary));
        Require(action.SetScale(rate));
        Require(Append(action));
    }

    const int32_t n = Count();
    for (int32_t j = 1; j + 1 < n; ++j) {
        const int64_t t = items[size_t(j)].TimeMs();
        const int64_t dp = std::llabs(t - items[size_t(j - 1)].TimeMs());
        const int64_t dn = std::llabs(t - items[size_t(j + 1)].TimeMs());
        TEmphasisAction& action = items[size_t(j)];
        if (dp >= isolated && dn >= isolated) Require(action.SetType(eatIsolated));
        if (dp < crowded || dn < crowded) Require(action.SetType(eatCrowded));
    }
    if (n > 0) {
        Require(items.back().SetType(eatLast));
        Require(items.front().SetType(eatFirst));
    }
}

void TEmphasisActionList::ChooseVariants() {
    double weights[kGestureVariantCount];
    for (TEmphasisAction& action : items) {
        const int32_t type = action.Type();
        if (type < 0 || type >= kActionTypeCount) throw eetDataFailure;
        for (int32_t v = 0; v < kGestureVariantCount; ++v)
            weights[v] = map.VariantWeight(v, type);
        Require(action.SetVariant(random.Choose(weights, kGestureVariantCount)));
    }
}

void TEmphasisActionList::KeyActions() {
    for (TEmphasisAction& action : items)
        KeyAction(action);
}

void TEmphasisActionList::KeyAction(TEmphasisAction& action) {
    const int32_t variant = action.Variant();
    if (variant < 0 || variant >= kGestureVariantCount) throw eetDataFailure;
    const double scale = action.Scale();
    const int64_t t = action.TimeMs();
    const TIntensityRange& range = map.IntensityRange(variant);
    const double intensity = random.Uniform(range.lo, range.hi);

    static const int32_t kMainParts[] = {egpEyebrow, egpBlink, egpHeadBend, egpHeadSideSide,
                                         egpHeadTwist};
    for (int32_t p : kMainParts) {
        const TGesturePartRecord& r = map.Part(variant, p);
        if (r.amplitude == 0.0 || !random.Chance(r.probability)) continue;
        double amplitude = r.amplitude;
        if ((p == egpHeadSideSide || p == egpHeadTwist) && random.Chance(0.5))
            amplitude = -amplitude;

        // Blink timing is physiological: only its peak follows the speech rate.
        const bool scaleOuter = p != egpBlink;
        int64_t s = random.Jitter(r.startCentre, r.startSpread);
        int64_t m = random.Jitter(r.peakCentre, r.peakSpread);
        int64_t e = random.Jitter(r.endCentre, r.endSpread);
        m = nearest(double(m) * scale);
        if (scaleOuter) {
            s = nearest(double(s) * scale);
            e = nearest(double(e) * scale);
        }
        const int64_t peak = t + m;
        const double peakValue = scaleOuter ? ZeroIfNegligible(amplitude * intensity) : amplitude;
        AppendPartKeys(action.Keys(p), peak, s, e, peakValue);
        if (p == egpHeadBend) {
            AppendPartKeys(action.Keys(egcLeftEyeUpDown), peak, s, e, -peakValue);
            AppendPartKeys(action.Keys(egcRightEyeUpDown), peak, s, e, -peakValue);
        } else if (p == egpHeadTwist) {
            AppendPartKeys(action.Keys(egcLeftEyeSideSide), peak, s, e, -peakValue);
            AppendPartKeys(action.Keys(egcRightEyeSideSide), peak, s, e, -peakValue);
        } else if (p == egpEyebrow || p == egpBlink) {
            const TGesturePartRecord& q = map.Part(variant, p + 1);
            int64_t js = random.Jitter(q.startCentre, q.startSpread);
            int64_t jp = random.Jitter(q.peakCentre, q.peakSpread);
            int64_t je = random.Jitter(q.endCentre, q.endSpread);
            jp = nearest(double(jp) * scale);
            if (scaleOuter) {
                js = nearest(double(js) * scale);
                je = nearest(double(je) * scale);
            }
            // The mirror's offsets are relative to the mirrored keys as laid.
            const int64_t laidStart = std::min<int64_t>(s, -1);
            const int64_t laidEnd = std::max<int64_t>(e, 1);
            AppendPartKeys(action.Keys(p + 1), peak + jp, laidStart + js, laidEnd + je,
                           peakValue * q.amplitude);
        }
    }
    for (int32_t g = 0; g < kGestureTrackCount; ++g)
        action.Keys(g).SetFlatHandles();
}

void TEmphasisActionList::ThinBlinks() {
    const int32_t n = Count();
    // Running maximum of the blink ends: once it falls before a span, no earlier blink can
    // start or end inside that span, so the walk back stops there.
    std::vector<int32_t> endsSoFar(static_cast<size_t>(n));
    int32_t running = INT32_MIN;
    for (int32_t i = 0; i < n; ++i) {
        const TEmphasisAction& action = items[size_t(i)];
        if (!action.Keys(egcBlinkLeft).IsEmpty()) running = std::max(running, action.BlinkEnd());
        endsSoFar[size_t(i)] = running;
    }

    for (int32_t i = 0; i < n; ++i) {
        TEmphasisAction& action = items[size_t(i)];
        if (action.Keys(egcBlinkLeft).IsEmpty()) continue;
        const int32_t si = action.BlinkStart();
        const int32_t ei = action.BlinkEnd();
        for (int32_t j = i - 1; j >= 0 && endsSoFar[size_t(j)] >= si; --j) {
            const TEmphasisAction& earlier = items[size_t(j)];
            if (earlier.Keys(egcBlinkLeft).IsEmpty()) continue;
            const int32_t sj = earlier.BlinkStart();
            const int32_t ej = earlier.BlinkEnd();
            const bool wellFormed = sj <= ej && si <= ei;
            const bool inside = (si <= sj && sj <= ei) || (si <= ej && ej <= ei);
            if (wellFormed && inside) {
                action.Keys(egcBlinkLeft).Clear();
                action.Keys(egcBlinkRight).Clear();
                break;
            }
        }
    }
}

} // namespace Vantrix
