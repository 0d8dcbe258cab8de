// Phoneme identities, timed phoneme segments and the segment list of an analysis.
#pragma once

#include <cstdint>
#include <limits>

#include "containers.h"
#include "errors.h"
#include "notification.h"

namespace Vantrix {

// Identities 0..40 are the recognizer's phonemes; rows 41 and 42 exist only in mapping tables.
constexpr int32_t kPhonemeIdCount = 41;
constexpr int32_t kSilenceId = 40;
constexpr int32_t kShortSilenceRow = 41;
constexpr int32_t kFlapRow = 42;
constexpr int32_t kPhonemeRowCount = 43;

// Shortest phoneme segment the list accepts.
constexpr int32_t kMinSegmentMs = 16;

// Identity of an exact, case-sensitive name; -1 when the name (or nullptr) is not in the table.
int32_t PhonemeIdOf(const char* name);
// Name of an identity; nullptr outside 0..40.
const char* PhonemeNameOf(int32_t id);
// True for the vowels 0..15; false outside 0..40.
bool IsVowelPhoneme(int32_t id);

// One timed phoneme segment.
class TPhoneme {
public:
    TPhoneme() = default;
    // Throw eetRangeFailure when startMs > endMs, or the identity setter's error.
    TPhoneme(int32_t id, int32_t startMs, int32_t endMs, int32_t sourceTag = 0,
             bool gestureFlag = false);
    TPhoneme(const char* name, int32_t startMs, int32_t endMs, int32_t sourceTag = 0,
             bool gestureFlag = false);

    // eetRangeFailure for an id outside 0..40.
    int32_t SetId(int32_t id);
    // eetArgumentFailure for a name not in the table.
    int32_t SetName(const char* name);
    // eetRangeFailure when startMs > endMs. The list's setters add the minimum length.
    int32_t SetTimes(int32_t startMs, int32_t endMs);
    // eetArgumentFailure for a negative value.
    int32_t SetEmphasisA(double value);
    int32_t SetEmphasisB(double value);
    void SetGestureFlag(bool on) { gestureFlag = on; }

    const char* Name() const { return name; }
    int32_t Id() const { return id; }
    bool IsVowel() const { return isVowel; }
    int32_t StartMs() const { return startMs; }
    int32_t EndMs() const { return endMs; }
    int64_t DurationMs() const { return int64_t(endMs) - startMs; }
    bool GestureFlag() const { return gestureFlag; }
    double EmphasisA() const { return emphasisA; }
    double EmphasisB() const { return emphasisB; }
    int32_t SourceTag() const { return sourceTag; }

private:
    char name[4] = {0, 0, 0, 0};
    bool isVowel = false;
    int32_t startMs = 0;
    int32_t endMs = 0;
    bool gestureFlag = false;
    double emphasisA = 0.0;
    double emphasisB = 0.0;
    int32_t sourceTag = 0;
    int32_t id = -1;
};

// Contiguous phoneme segments in time order, each at least kMinSegmentMs long. Notifies as kind 1.
class TPhonemeList : public ASafeList<TPhoneme>, public ANotificationServer {
public:
    int32_t Kind() const override { return 1; }
    // Notifies the clients while notifications are enabled; always 0.
    int32_t Notify() override;

    // Plain append without checks or notification (reserves 10, then doubles).
    int32_t Append(const TPhoneme& phoneme) override;

    // End of the last segment; 0 when empty.
    int32_t EndTime() const;

    // eetArgumentFailure for a segment under kMinSegmentMs or not starting at EndTime().
    int32_t AppendSegment(const TPhoneme& phoneme);
    // eetRangeFailure for a bad index; an inner segment's time goes to its neighbours.
    int32_t RemoveSegment(int32_t i);
    // Moves segment i and the boundaries it shares, adjusting [startMs, endMs] to the limits;
    // changed tells whether the request was altered. eetRangeFailure for a bad index.
    int32_t SetSegmentTimes(int32_t i, int32_t& startMs, int32_t& endMs, bool& changed);

    // Per-index setters: eetRangeFailure for a bad index. They neither touch neighbours nor
    // notify: they serve the stages that fill in a list they are building.
    // SetTimes also refuses a segment under kMinSegmentMs with eetArgumentFailure.
    int32_t SetTimes(int32_t i, int32_t startMs, int32_t endMs);
    // Also eetArgumentFailure for a negative value.
    int32_t SetEmphasisA(int32_t i, double value);
    int32_t SetEmphasisB(int32_t i, double value);
    int32_t SetGestureFlag(int32_t i, bool on);

    // Thresholds applied by emphasis detection; eetRangeFailure for a negative value.
    int32_t SetEnergyThreshold(double value);
    int32_t SetPeakThreshold(double value);
    double EnergyThreshold() const { return energyThreshold; }
    double PeakThreshold() const { return peakThreshold; }

    void SetNotifyEnabled(bool on) { notifyEnabled = on; }
    bool NotifyEnabled() const { return notifyEnabled; }
    void SetNotAnalysed(bool on) { notAnalysed = on; }
    bool NotAnalysed() const { return notAnalysed; }

private:
    double energyThreshold = std::numeric_limits<double>::max();
    double peakThreshold = std::numeric_limits<double>::max();
    bool notifyEnabled = true;
    bool notAnalysed = true;
};

} // namespace Vantrix
