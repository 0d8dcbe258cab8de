#include "keys.h"

#include <algorithm>

namespace Vantrix {

namespace {

// Slope from a key to one of its handle points; false when the point gives no direction.
bool SlopeTowards(const TKeyHandle& h, double keyTime, double keyValue, bool handleBefore,
                  double& slope) {
    if (h.kind != kHandlePoint) return false;
    double dt = handleBefore ? keyTime - h.timeMs : h.timeMs - keyTime;
    if (dt == 0.0) return false;
    slope = handleBefore ? (keyValue - h.value) / dt : (h.value - keyValue) / dt;
    return true;
}

constexpr TKeyHandle kNoHandle = {kHandleNone, 0.0, 0.0};

} // namespace

// --- TKey ---

TKey::TKey(int32_t timeMs, double value)
    : timeMs(timeMs),
      value(ZeroIfNegligible(value)), inHandle{kHandlePoint, 0.0, 0.0}, outHandle{kHandlePoint, 0.0,
                                                                                  0.0} {}

double TKey::InSlope() const {
    double slope = 0.0;
    if (!SlopeTowards(inHandle, timeMs, value, true, slope))
        SlopeTowards(outHandle, timeMs, value, false, slope);
    return ZeroIfNegligible(slope);
}

double TKey::OutSlope() const {
    double slope = 0.0;
    if (!SlopeTowards(outHandle, timeMs, value, false, slope))
        SlopeTowards(inHandle, timeMs, value, true, slope);
    return ZeroIfNegligible(slope);
}

void TKey::Negate() {
    SetValue(-value);
    inHandle.value = -inHandle.value;
    outHandle.value = -outHandle.value;
}

// --- TKeyList ---

int32_t TKeyList::Append(const TKey& key) {
    if (!IsEmpty() && key.TimeMs() <= items.back().TimeMs()) return eetArgumentFailure;
    constexpr size_t kFirstCapacity = 3;
    return AppendReserving(key, kFirstCapacity);
}

int32_t TKeyList::FindKeyAt(int32_t timeMs) const {
    auto it = std::lower_bound(items.begin(), items.end(), timeMs,
                               [](const TKey& k, int32_t t) { return k.TimeMs() < t; });
    if (it == items.end() || it->TimeMs() != timeMs) return -1;
    return int32_t(it - items.begin());
}

void TKeyList::SetFlatHandles() {
    const int32_t n = Count();
    if (n == 0) return;
    for (int32_t i = 0; i < n; ++i) {
        TKey& key = items[size_t(i)];
        const double t = key.TimeMs();
        const double v = key.Value();
        if (i == 0) {
            key.SetInHandle(kNoHandle);
        } else {
            const double d = (t - items[size_t(i - 1)].TimeMs()) / 3.0;
            key.SetInHandle({kHandlePoint, t - d, v});
        }
        if (i == n - 1) {
            key.SetOutHandle(kNoHandle);
        } else {
            const double d = (items[size_t(i + 1)].TimeMs() - t) / 3.0;
            key.SetOutHandle({kHandlePoint, t + d, v});
        }
    }
}

int32_t TKeyList::SegmentAt(double timeMs, int32_t hint) const {
    const int32_t lastSegment = Count() - 2;
    if (hint < 0 || hint > lastSegment || items[size_t(hint)].TimeMs() > timeMs) {
        auto it = std::upper_bound(items.begin(), items.end(), timeMs,
                                   [](double t, const TKey& k) { return t < k.TimeMs(); });
        return std::min(int32_t(it - items.begin()) - 1, lastSegment);
    }
    while (hint < lastSegment && items[size_t(hint + 1)].TimeMs() <= timeMs)
        ++hint;
    return hint;
}

void TKeyList::EvaluateSegment(int32_t k, double timeMs, double& value, double& slope) const {
    const TKey& a = items[size_t(k)];
    const TKey& b = items[size_t(k + 1)];
    const double gap = double(b.TimeMs()) - a.TimeMs();
    const double p0 = a.Value();
    if (gap == 0.0) {
        // Only a list broken by an unchecked edit has two keys at one time.
        value = p0;
        slope = 0.0;
        return;
    }
    const double p1 = a.OutHandle().value;
    const double p2 = b.InHandle().value;
    const double p3 = b.Value();
    const double c1 = 3.0 * (p1 - p0);
    const double c2 = 3.0 * (p0 - 2.0 * p1 + p2);
    const double c3 = p3 - p0 + 3.0 * (p1 - p2);
    const double u = (timeMs - a.TimeMs()) / gap;
    const double u2 = u * u;
    const double u3 = u2 * u;
    value = ZeroIfNegligible(p0 + c1 * u + c2 * u2 + c3 * u3);
    slope = ZeroIfNegligible((c1 + 2.0 * c2 * u + 3.0 * c3 * u2) / gap);
}

void TKeyList::Evaluate(double timeMs, double& value, double& slope) const {
    int32_t cursor = -1;
    Evaluate(timeMs, value, slope, cursor);
}

void TKeyList::Evaluate(double timeMs, double& value, double& slope, int32_t& cursor) const {
    value = 0.0;
    slope = 0.0;
    if (IsEmpty()) return;
    // Written so that NaN falls outside as well.
    if (!(timeMs >= items.front().TimeMs() && timeMs <= items.back().TimeMs())) return;
    if (Count() == 1) {
        value = items.front().Value();
        return;
    }
    cursor = SegmentAt(timeMs, cursor);
    EvaluateSegment(cursor, timeMs, value, slope);
}

double TKeyList::Integral(double fromMs, double toMs) const {
    if (fromMs > toMs) return -Integral(toMs, fromMs);
    if (Count() < 2) return 0.0;
    const double a = std::max(fromMs, double(items.front().TimeMs()));
    const double b = std::min(toMs, double(items.back().TimeMs()));
    if (!(a < b)) return 0.0;

    double sum = 0.0;
    for (int32_t k = SegmentAt(a, -1); k < Count() - 1; ++k) {
        const TKey& left = items[size_t(k)];
        const TKey& right = items[size_t(k + 1)];
        const double t0 = left.TimeMs();
        const double t1 = right.TimeMs();
        if (t0 >= b) break;
        const double gap = t1 - t0;
        if (gap <= 0.0) continue;
        const double p0 = left.Value();
        const double p1 = left.OutHandle().value;
        const double p2 = right.InHandle().value;
        const double p3 = right.Value();
        const double c1 = 3.0 * (p1 - p0);
        const double c2 = 3.0 * (p0 - 2.0 * p1 + p2);
        const double c3 = p3 - p0 + 3.0 * (p1 - p2);
        // Antiderivative of value(u) in u.
        auto antiderivative = [&](double u) {
            return u * (p0 + u * (c1 / 2.0 + u * (c2 / 3.0 + u * (c3 / 4.0))));
        };
        const double ua = (std::max(a, t0) - t0) / gap;
        const double ub = (std::min(b, t1) - t0) / gap;
        sum += gap * (antiderivative(ub) - antiderivative(ua));
    }
    return sum;
}

void TKeyList::Scale(double weight) {
    for (TKey& key : items) {
        key.SetValue(key.Value() * weight);
        TKeyHandle in = key.InHandle();
        TKeyHandle out = key.OutHandle();
        in.value *= weight;
        out.value *= weight;
        key.SetInHandle(in);
        key.SetOutHandle(out);
    }
}

int32_t TKeyList::RemoveKeyKeepingSlopes(int32_t i) {
    if (!IsIndex(i)) return eetRangeFailure;
    if (i == 0 || i == Count() - 1) return RemoveKey(i);
    const double outSlope = items[size_t(i - 1)].OutSlope();
    const double inSlope = items[size_t(i + 1)].InSlope();
    EraseAt(i);
    SetOutHandleFromSlope(i - 1, outSlope);
    SetInHandleFromSlope(i, inSlope);
    return eetSuccess;
}

int32_t TKeyList::RemoveKey(int32_t i) {
    if (!IsIndex(i)) return eetRangeFailure;
    EraseAt(i);
    return eetSuccess;
}

int32_t TKeyList::SetInHandleFromSlope(int32_t i, double slope) {
    if (!IsIndex(i)) return eetRangeFailure;
    TKey& key = items[size_t(i)];
    if (i == 0) {
        key.SetInHandle(kNoHandle);
        return eetSuccess;
    }
    const double t = key.TimeMs();
    const double d = (t - items[size_t(i - 1)].TimeMs()) / 3.0;
    key.SetInHandle({key.InHandle().kind, t - d, key.Value() - slope * d});
    return eetSuccess;
}

int32_t TKeyList::SetOutHandleFromSlope(int32_t i, double slope) {
    if (!IsIndex(i)) return eetRangeFailure;
    TKey& key = items[size_t(i)];
    if (i == Count() - 1) {
        key.SetOutHandle(kNoHandle);
        return eetSuccess;
    }
    const double t = key.TimeMs();
    const double d = (items[size_t(i + 1)].TimeMs() - t) / 3.0;
    key.SetOutHandle({key.OutHandle().kind, t + d, key.Value() + slope * d});
    return eetSuccess;
}

} // namespace Vantrix
