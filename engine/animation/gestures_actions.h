// Emphasis actions: one per emphasised phoneme, typed by its spacing, given a gesture variant
// and keyed onto the gesture channels.
#pragma once

#include <cstdint>

#include "animation_types.h"
#include "containers.h"
#include "gestures_map.h"
#include "keys.h"
#include "phonemes.h"
#include "random.h"

namespace Vantrix {

class TEmphasisAction {
public:
    TEmphasisAction() = default;
    explicit TEmphasisAction(int32_t timeMs) : timeMs(timeMs) {}

    // Start of the emphasised phoneme.
    int32_t TimeMs() const { return timeMs; }
    void SetTimeMs(int32_t t) { timeMs = t; }
    int32_t Position() const { return position; }
    double Scale() const { return scale; }
    int32_t Type() const { return type; }
    int32_t Variant() const { return variant; }

    // eetRangeFailure unless 0 <= position < phonemeCount.
    int32_t SetPosition(int32_t newPosition, int32_t phonemeCount);
    // eetRangeFailure unless scale > 0.
    int32_t SetScale(double newScale);
    // eetRangeFailure outside 0..4.
    int32_t SetType(int32_t newType);
    // eetRangeFailure outside 0..7.
    int32_t SetVariant(int32_t newVariant);

    // The action's keys on a gesture channel; throw eetRangeFailure outside 0..10.
    TKeyList& Keys(int32_t channel);
    const TKeyList& Keys(int32_t channel) const;

    // Earliest and latest key time over both blink channels.
    int32_t BlinkStart() const;
    int32_t BlinkEnd() const;

private:
    int32_t timeMs = 0;
    int32_t position = -1;
    double scale = -1.0;
    int32_t type = -1;
    int32_t variant = -1;
    TKeyList keys[kGestureTrackCount];
};

class AEmphasisActionList : public ASafeList<TEmphasisAction> {
public:
    // Reserves 10, then doubles.
    int32_t Append(const TEmphasisAction& action) override;
};

// The actions of one analysis in phoneme order, with the map and the random state that shape
// them.
class TEmphasisActionList : public AEmphasisActionList {
public:
    explicit TEmphasisActionList(const TSpeechGesturesMap& map) : map(map) {}

    TRandomGenerator& Random() { return random; }
    const TSpeechGesturesMap& Map() const { return map; }

    // One ordinary action per emphasised phoneme at scale rate, then the spacing types: isolated,
    // crowded, and the last and first actions. Throws the setters' errors.
    void Build(const TPhonemeList& phonemes, double rate);
    // Draws each action's variant with the weights of its type; eetDataFailure for a bad type.
    void ChooseVariants();
    // Lays the keys of every action's variant parts; errors are thrown.
    void KeyActions();
    void KeyAction(TEmphasisAction& action);
    // Drops the blink of an action when an earlier action's blink starts or ends inside it.
    void ThinBlinks();

private:
    TSpeechGesturesMap map;
    TRandomGenerator random;
};

// Lays the three keys (start, peak, end) of a part on list; offsets are relative to the peak
// and kept at least 1 ms apart. Throws eetRangeFailure for a time beyond the int32 range and
// eetArgumentFailure when the keys would not follow the list's last key.
void AppendPartKeys(TKeyList& list, int64_t peakMs, int64_t startOffset, int64_t endOffset,
                    double peakValue);

} // namespace Vantrix
