#include "phonemes.h"

#include <cstring>

namespace Vantrix {

namespace {

// Row order is shared with the mapping tables and the phoneme data file.
const char* const kPhonemeNames[kPhonemeIdCount] = {
    "iy", "ih", "eh", "ey", "ae", "aa", "aw", "ay", "ah", "ao", "oy", "ow", "uh", "uw",
    "er", "ax", "s",  "sh", "z",  "zh", "f",  "th", "v",  "dh", "m",  "n",  "ng", "l",
    "r",  "w",  "y",  "hh", "b",  "d",  "jh", "g",  "p",  "t",  "k",  "ch", "sil"};

constexpr int32_t kLastVowelId = 15;

bool IsPhonemeId(int32_t id) {
    return id >= 0 && id < kPhonemeIdCount;
}

} // namespace

int32_t PhonemeIdOf(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t id = 0; id < kPhonemeIdCount; ++id)
        if (std::strcmp(name, kPhonemeNames[id]) == 0) return id;
    return -1;
}

const char* PhonemeNameOf(int32_t id) {
    return IsPhonemeId(id) ? kPhonemeNames[id] : nullptr;
}

bool IsVowelPhoneme(int32_t id) {
    return id >= 0 && id <= kLastVowelId;
}

// --- TPhoneme ---

TPhoneme::TPhoneme(int32_t id, int32_t startMs, int32_t endMs, int32_t sourceTag, bool gestureFlag)
    : gestureFlag(gestureFlag), sourceTag(sourceTag) {
    if (int32_t err = SetTimes(startMs, endMs)) throw EErrorType(err);
    if (int32_t err = SetId(id)) throw EErrorType(err);
}

TPhoneme::TPhoneme(const char* name, int32_t startMs, int32_t endMs, int32_t sourceTag,
                   bool gestureFlag)
    : gestureFlag(gestureFlag), sourceTag(sourceTag) {
    if (int32_t err = SetTimes(startMs, endMs)) throw EErrorType(err);
    if (int32_t err = SetName(name)) throw EErrorType(err);
}

int32_t TPhoneme::SetId(int32_t newId) {
    if (!IsPhonemeId(newId)) return eetRangeFailure;
    std::strncpy(name, kPhonemeNames[newId], sizeof name - 1);
    name[sizeof name - 1] = '\0';
    isVowel = IsVowelPhoneme(newId);
    id = newId;
    return eetSuccess;
}

int32_t TPhoneme::SetName(const char* newName) {
    int32_t newId = PhonemeIdOf(newName);
    if (newId < 0) return eetArgumentFailure;
    return SetId(newId);
}

int32_t TPhoneme::SetTimes(int32_t newStart, int32_t newEnd) {
    if (newStart > newEnd) return eetRangeFailure;
    startMs = newStart;
    endMs = newEnd;
    return eetSuccess;
}

int32_t TPhoneme::SetEmphasisA(double value) {
    if (value < 0.0) return eetArgumentFailure;
    emphasisA = value;
    return eetSuccess;
}

int32_t TPhoneme::SetEmphasisB(double value) {
    if (value < 0.0) return eetArgumentFailure;
    emphasisB = value;
    return eetSuccess;
}

// --- TPhonemeList ---

int32_t TPhonemeList::Notify() {
    if (!notifyEnabled) return eetSuccess;
    return NotifyClients();
}

int32_t TPhonemeList::Append(const TPhoneme& phoneme) {
    constexpr size_t kFirstCapacity = 10;
    return AppendReserving(phoneme, kFirstCapacity);
}

int32_t TPhonemeList::EndTime() const {
    return IsEmpty() ? 0 : Last().EndMs();
}

int32_t TPhonemeList::AppendSegment(const TPhoneme& phoneme) {
    if (phoneme.DurationMs() < kMinSegmentMs) return eetArgumentFailure;
    if (!IsEmpty() && phoneme.StartMs() != EndTime()) return eetArgumentFailure;
    if (int32_t err = Append(phoneme)) return err;
    Notify();
    return eetSuccess;
}

int32_t TPhonemeList::RemoveSegment(int32_t i) {
    if (!IsIndex(i)) return eetRangeFailure;
    if (i > 0 && i < Count() - 1) {
        TPhoneme& previous = items[size_t(i - 1)];
        TPhoneme& next = items[size_t(i + 1)];
        int32_t middle = int32_t((int64_t(previous.EndMs()) + next.StartMs()) / 2);
        previous.SetTimes(previous.StartMs(), middle);
        next.SetTimes(middle, next.EndMs());
    }
    EraseAt(i);
    Notify();
    return eetSuccess;
}

int32_t TPhonemeList::SetSegmentTimes(int32_t i, int32_t& startMs, int32_t& endMs, bool& changed) {
    changed = false;
    if (!IsIndex(i)) return eetRangeFailure;
    const int32_t oldStart = items[size_t(i)].StartMs();
    const int32_t oldEnd = items[size_t(i)].EndMs();
    if (startMs == oldStart && endMs == oldEnd) return eetSuccess;

    TPhoneme* previous = i > 0 ? &items[size_t(i - 1)] : nullptr;
    TPhoneme* next = i < Count() - 1 ? &items[size_t(i + 1)] : nullptr;
    // 64-bit so that the limits cannot overflow near the ends of the int32 range.
    int64_t s = startMs;
    int64_t e = endMs;
    // Neighbours keep at least the minimum length.
    if (next != nullptr && e > int64_t(next->EndMs()) - kMinSegmentMs) {
        e = int64_t(next->EndMs()) - kMinSegmentMs;
        changed = true;
    }
    if (previous != nullptr && s < int64_t(previous->StartMs()) + kMinSegmentMs) {
        s = int64_t(previous->StartMs()) + kMinSegmentMs;
        changed = true;
    }
    if (s == oldStart) {
        if (e < s + kMinSegmentMs) {
            e = s + kMinSegmentMs;
            changed = true;
        }
    } else if (e == oldEnd) {
        if (s > e - kMinSegmentMs) {
            s = e - kMinSegmentMs;
            changed = true;
        }
    } else if (e - s < kMinSegmentMs) {
        // Both ends moved too close: centre a minimal segment in the old one.
        s = (int64_t(oldStart) + oldEnd - kMinSegmentMs) / 2;
        e = s + kMinSegmentMs;
        changed = true;
    }

    startMs = int32_t(s);
    endMs = int32_t(e);
    items[size_t(i)].SetTimes(startMs, endMs);
    if (previous != nullptr) previous->SetTimes(previous->StartMs(), startMs);
    if (next != nullptr) next->SetTimes(endMs, next->EndMs());
    Notify();
    return eetSuccess;
}

int32_t TPhonemeList::SetTimes(int32_t i, int32_t startMs, int32_t endMs) {
    if (!IsIndex(i)) return eetRangeFailure;
    if (int64_t(endMs) - startMs < kMinSegmentMs) return eetArgumentFailure;
    return items[size_t(i)].SetTimes(startMs, endMs);
}

int32_t TPhonemeList::SetEmphasisA(int32_t i, double value) {
    if (!IsIndex(i)) return eetRangeFailure;
    return items[size_t(i)].SetEmphasisA(value);
}

int32_t TPhonemeList::SetEmphasisB(int32_t i, double value) {
    if (!IsIndex(i)) return eetRangeFailure;
    return items[size_t(i)].SetEmphasisB(value);
}

int32_t TPhonemeList::SetGestureFlag(int32_t i, bool on) {
    if (!IsIndex(i)) return eetRangeFailure;
    items[size_t(i)].SetGestureFlag(on);
    return eetSuccess;
}

int32_t TPhonemeList::SetEnergyThreshold(double value) {
    if (value < 0.0) return eetRangeFailure;
    energyThreshold = value;
    return eetSuccess;
}

int32_t TPhonemeList::SetPeakThreshold(double value) {
    if (value < 0.0) return eetRangeFailure;
    peakThreshold = value;
    return eetSuccess;
}

} // namespace Vantrix
