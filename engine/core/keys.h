// Animation keys and key curves: piecewise cubic in value, handles at thirds of the key gaps.
#pragma once

#include <cmath>
#include <cstdint>

#include "containers.h"
#include "errors.h"

namespace Vantrix {

// Key values, slopes and evaluated curve points smaller than this in magnitude are exactly 0.
constexpr double kNegligibleMagnitude = 4.440892098500626e-16;

inline double ZeroIfNegligible(double x) {
    return std::fabs(x) < kNegligibleMagnitude ? 0.0 : x;
}

// Handle kinds.
constexpr int32_t kHandleNone = 0;
constexpr int32_t kHandlePoint = 1;

struct TKeyHandle {
    int32_t kind;
    double timeMs;
    double value;
};

// A value at a time, with an in- and an out-handle; slopes are value per millisecond.
class TKey {
public:
    TKey() : TKey(0, 0.0) {}
    // Both handles are points at (0, 0) until a list pass places them.
    TKey(int32_t timeMs, double value);

    int32_t TimeMs() const { return timeMs; }
    // Moving a key inside a list is the caller's business: the list must stay ascending.
    void SetTimeMs(int32_t t) { timeMs = t; }
    double Value() const { return value; }
    // Stores 0 for a negligible magnitude.
    void SetValue(double v) { value = ZeroIfNegligible(v); }

    const TKeyHandle& InHandle() const { return inHandle; }
    const TKeyHandle& OutHandle() const { return outHandle; }
    void SetInHandle(const TKeyHandle& h) { inHandle = h; }
    void SetOutHandle(const TKeyHandle& h) { outHandle = h; }

    // Slope from the in-handle point, else from the out-handle point, else 0. A handle lying at
    // the key's own time gives no direction and is passed over.
    double InSlope() const;
    // As InSlope, trying the out-handle first.
    double OutSlope() const;

    // Negates the value and both handle values.
    void Negate();

private:
    int32_t timeMs;
    double value;
    TKeyHandle inHandle;
    TKeyHandle outHandle;
};

// Keys in strictly ascending time.
class TKeyList : public AOpenList<TKey> {
public:
    // Appends after the last key (reserving 3, then doubling); eetArgumentFailure for a time not
    // after LastKeyTime(). Insert() and TKey::SetTimeMs() are unchecked.
    int32_t Append(const TKey& key) override;
    int32_t Append(int32_t timeMs, double value) { return Append(TKey(timeMs, value)); }

    // INT32_MAX for an empty list, so that it never widens a span.
    int32_t FirstKeyTime() const { return IsEmpty() ? INT32_MAX : items.front().TimeMs(); }
    // INT32_MIN for an empty list.
    int32_t LastKeyTime() const { return IsEmpty() ? INT32_MIN : items.back().TimeMs(); }

    // Index of the key at exactly timeMs, or -1.
    int32_t FindKeyAt(int32_t timeMs) const;

    // Handles at the thirds with the key's own value: every key eases in and out.
    void SetFlatHandles();

    // Curve value and slope at timeMs; both 0 outside [FirstKeyTime(), LastKeyTime()].
    void Evaluate(double timeMs, double& value, double& slope) const;
    // Same result; cursor (start a sweep with 0) remembers the segment so that a sweep over
    // ascending times costs amortised O(1) per call.
    void Evaluate(double timeMs, double& value, double& slope, int32_t& cursor) const;

    // Integral of the curve over [fromMs, toMs] (negated when fromMs > toMs); the curve is 0
    // outside the key span.
    double Integral(double fromMs, double toMs) const;

    // Multiplies every key and handle value by weight.
    void Scale(double weight);

    // eetRangeFailure for a bad index. Removing an inner key re-places the neighbours' handles
    // across the wider gap so that their slopes stay.
    int32_t RemoveKeyKeepingSlopes(int32_t i);
    // eetRangeFailure for a bad index.
    int32_t RemoveKey(int32_t i);

    // Place a handle a third of the gap away along slope; the first key's in-handle and the
    // last key's out-handle become kind 0 at (0, 0). eetRangeFailure for a bad index.
    int32_t SetInHandleFromSlope(int32_t i, double slope);
    int32_t SetOutHandleFromSlope(int32_t i, double slope);

    void Swap(TKeyList& other) { items.swap(other.items); }

private:
    friend class TListOfKeyLists;

    // Segment k (0..n-2) with t_k <= t < t_k+1, the last one for t at the last key; needs two
    // keys and t inside the span.
    int32_t SegmentAt(double timeMs, int32_t hint) const;
    void EvaluateSegment(int32_t k, double timeMs, double& value, double& slope) const;
};

// A key list and its weight in a combination. The list is not owned and must outlive the pair.
struct ListWeightPair {
    ListWeightPair(const TKeyList& keys, double weight) : keys(&keys), weight(weight) {}
    const TKeyList* keys;
    double weight;
};

class TListOfKeyLists : public AOpenList<ListWeightPair> {
public:
    // Reserves 4, then doubles.
    int32_t Append(const ListWeightPair& pair) override;
    int32_t Append(const TKeyList& keys, double weight) {
        return Append(ListWeightPair(keys, weight));
    }

    // Writes the weighted sum of the lists into out, with a key at every distinct member key
    // time; unless keepRedundant, inner keys that repeat both neighbours' value are dropped.
    // out may be one of the members. Returns 0 or throws an EErrorType; out is unchanged then.
    int32_t Combine(bool keepRedundant, TKeyList& out) const;
};

} // namespace Vantrix
