#include <algorithm>
#include <cstddef>
#include <vector>

#include "keys.h"

namespace Vantrix {

namespace {

// A member list's state during the sweep over the combined key times.
struct TMember {
    const TKeyList* keys;
    double weight;
    int32_t next;    // first key at or after the current time
    int32_t segment; // evaluation cursor
};

} // namespace

int32_t TListOfKeyLists::Append(const ListWeightPair& pair) {
    constexpr size_t kFirstCapacity = 4;
    return AppendReserving(pair, kFirstCapacity);
}

int32_t TListOfKeyLists::Combine(bool keepRedundant, TKeyList& out) const {
    if (IsEmpty()) {
        out.Clear();
        return eetSuccess;
    }
    if (Count() == 1) {
        const ListWeightPair& pair = items.front();
        if (&out != pair.keys) out = *pair.keys;
        if (pair.weight != 1.0) out.Scale(pair.weight);
        return eetSuccess;
    }

    std::vector<TMember> members;
    members.reserve(items.size());
    size_t keyCount = 0;
    for (const ListWeightPair& pair : items) {
        members.push_back({pair.keys, pair.weight, 0, 0});
        keyCount += size_t(pair.keys->Count());
    }
    std::vector<int32_t> times;
    times.reserve(keyCount);
    for (const ListWeightPair& pair : items)
        for (const TKey& key : *pair.keys)
            times.push_back(key.TimeMs());
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());

    // A list adds nothing outside its key span, so only the lists spanning the current time
    // are visited. They are visited in pair order so that the sums round exactly as a full
    // pass over every pair would (skipped terms are all zero).
    std::vector<int32_t> byStart;
    for (int32_t m = 0; m < int32_t(members.size()); ++m)
        if (!members[size_t(m)].keys->IsEmpty()) byStart.push_back(m);
    std::stable_sort(byStart.begin(), byStart.end(), [&](int32_t x, int32_t y) {
        return members[size_t(x)].keys->FirstKeyTime() < members[size_t(y)].keys->FirstKeyTime();
    });
    size_t nextToStart = 0;
    std::vector<int32_t> active;

    TKeyList result;
    const size_t lastIndex = times.size() - 1;
    for (size_t j = 0; j < times.size(); ++j) {
        const int32_t t = times[j];
        while (nextToStart < byStart.size() &&
               members[size_t(byStart[nextToStart])].keys->FirstKeyTime() <= t) {
            const int32_t m = byStart[nextToStart++];
            active.insert(std::upper_bound(active.begin(), active.end(), m), m);
        }

        double value = 0.0;
        double inSlope = 0.0;
        double outSlope = 0.0;
        size_t kept = 0;
        for (int32_t m : active) {
            TMember& member = members[size_t(m)];
            const TKeyList& keys = *member.keys;
            if (keys.LastKeyTime() < t) continue;
            active[kept++] = m;
            while (member.next < keys.Count() && keys[member.next].TimeMs() < t)
                ++member.next;
            if (member.next == keys.Count()) continue;
            const TKey& key = keys[member.next];
            if (key.TimeMs() == t) {
                value += member.weight * key.Value();
                inSlope += member.weight * key.InSlope();
                outSlope += member.weight * key.OutSlope();
            } else {
                double v = 0.0;
                double s = 0.0;
                keys.Evaluate(t, v, s, member.segment);
                value += member.weight * v;
                inSlope += member.weight * s;
                outSlope += member.weight * s;
            }
        }
        active.resize(kept);

        // The handles carry the summed slopes until the final pass places them.
        TKey key(t, value);
        key.SetInHandle(j == 0 ? TKeyHandle{kHandleNone, 0.0, 0.0}
                               : TKeyHandle{kHandlePoint, 0.0, inSlope});
        key.SetOutHandle(j == lastIndex ? TKeyHandle{kHandleNone, 0.0, 0.0}
                                        : TKeyHandle{kHandlePoint, 0.0, outSlope});
        if (int32_t err = result.Append(key)) throw EErrorType(err);
    }

    std::vector<TKey>& keys = result.items;
    if (!keepRedundant && keys.size() > 2) {
        // Drop inner keys that repeat the value before and after them. A dropped key always
        // sits in a flat stretch, so its slope must be 0.
        double reference = keys[0].Value();
        size_t write = 1;
        for (size_t i = 1; i + 1 < keys.size(); ++i) {
            const double v = keys[i].Value();
            bool keep = true;
            if (std::fabs(v - reference) >= kNegligibleMagnitude) {
                reference = v;
            } else if (std::fabs(keys[i + 1].Value() - v) < kNegligibleMagnitude) {
                if (keys[i].OutHandle().value != 0.0) throw eetCatastrophicFailure;
                keep = false;
            }
            if (keep) keys[write++] = keys[i];
        }
        keys[write++] = keys.back();
        keys.erase(keys.begin() + std::ptrdiff_t(write), keys.end());
    }

    for (size_t i = 0; i < keys.size(); ++i) {
        TKey& key = keys[i];
        const double t = key.TimeMs();
        const double v = key.Value();
        if (key.InHandle().kind == kHandlePoint) {
            const double d = (t - keys[i - 1].TimeMs()) / 3.0;
            key.SetInHandle({kHandlePoint, t - d, v - key.InHandle().value * d});
        }
        if (key.OutHandle().kind == kHandlePoint) {
            const double d = (keys[i + 1].TimeMs() - t) / 3.0;
            key.SetOutHandle({kHandlePoint, t + d, v + key.OutHandle().value * d});
        }
    }

    out.Swap(result);
    return eetSuccess;
}

} // namespace Vantrix
