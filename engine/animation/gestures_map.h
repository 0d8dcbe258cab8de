// The speech-gestures map: action spacing, speech-rate scaling, gesture variants and their parts,
// and the idle head, gaze and blink parameters.
#pragma once

#include <cstdint>

#include "containers.h"

namespace Vantrix {

constexpr int32_t kGestureVariantCount = 8;
constexpr int32_t kGesturePartCount = 7;
constexpr int32_t kActionTypeCount = 5;
constexpr int32_t kHeadRecordCount = 3;
constexpr int32_t kGazeRecordCount = 4;
constexpr int32_t kBlinkRecordCount = 2;
constexpr int32_t kSpareIntervalCount = 2;
constexpr int32_t kSpareShareCount = 2;

// Action types: the spacing class of an emphasis action.
enum EActionType : int32_t {
    eatFirst = 0,
    eatLast = 1,
    eatCrowded = 2,
    eatIsolated = 3,
    eatOrdinary = 4,
};

// Gesture parts of a variant; each moves the channel of the same number (and, for the head bend
// and twist, the eyes the opposite way). Parts 1 and 3 mirror parts 0 and 2.
enum EGesturePart : int32_t {
    egpEyebrow = 0,
    egpEyebrowMirror = 1,
    egpBlink = 2,
    egpBlinkMirror = 3,
    egpHeadBend = 4,
    egpHeadSideSide = 5,
    egpHeadTwist = 6,
};

// Key offsets (ms, centre ± spread) of one gesture part, its amplitude and its probability. For
// a mirror part the offsets are jitters on the mirrored keys and the amplitude a factor.
struct TGesturePartRecord {
    int32_t startCentre;
    int32_t startSpread;
    int32_t peakCentre;
    int32_t peakSpread;
    int32_t endCentre;
    int32_t endSpread;
    double amplitude;
    double probability;

    // Offsets 0 and the amplitude or the probability 0: the part never acts.
    bool IsAllZero() const;
};

struct TIntensityRange {
    double lo;
    double hi;
};

// An idle head axis: how often it moves, its value range, and the channel it drives (4..6).
struct THeadRecord {
    double probability;
    double centre;
    double spread;
    int32_t channel;
};

// An idle gaze direction: its weight among the four, its value range, and the eye channels it
// drives (a range within 7..10).
struct TGazeRecord {
    double weight;
    double centre;
    double spread;
    int32_t firstChannel;
    int32_t lastChannel;
};

// An integer pair carried per variant and part; no stage reads it.
struct TPartPair {
    int32_t first;
    int32_t second;
};

// All gesture parameters in one value type. Setters return 0, eetArgumentFailure for a bad value
// or eetRangeFailure for a bad index; a refused value leaves the field as it was. Indexed getters
// throw eetRangeFailure for a bad index. Doubles must be finite.
class TSpeechGesturesMap {
public:
    // The empty map: every number 0.
    TSpeechGesturesMap() = default;

    int32_t IsolationDistance() const { return isolationDistance; }
    int32_t CrowdingDistance() const { return crowdingDistance; }
    int32_t RateDurationLow() const { return rateDurationLow; }
    int32_t RateDurationHigh() const { return rateDurationHigh; }
    double RateFactorLow() const { return rateFactorLow; }
    double RateFactorHigh() const { return rateFactorHigh; }
    double VariantWeight(int32_t variant, int32_t type) const;
    const TIntensityRange& IntensityRange(int32_t variant) const;
    const TGesturePartRecord& Part(int32_t variant, int32_t part) const;
    const TPartPair& PartPair(int32_t variant, int32_t part) const;

    // Below 1 refused.
    int32_t SetIsolationDistance(int32_t ms);
    int32_t SetCrowdingDistance(int32_t ms);
    // Negative refused.
    int32_t SetRateDurationLow(int32_t ms);
    int32_t SetRateDurationHigh(int32_t ms);
    // Not above 0 refused.
    int32_t SetRateFactorLow(double factor);
    int32_t SetRateFactorHigh(double factor);
    // Variant above 7 or type above 4: range; a negative weight refused.
    int32_t SetVariantWeight(int32_t variant, int32_t type, double weight);
    // Refused unless 0 < lo <= hi.
    int32_t SetIntensityRange(int32_t variant, double lo, double hi);
    // Variant above 7 or part above 6: range. An all-zero record is always accepted; a main part
    // (0, 2, 4, 5, 6) needs spreads >= 0, start centre + spread < 0, end centre - spread >= 1 and
    // 0 < probability <= 1; a mirror part (1, 3) needs amplitude >= 0, spreads >= 0, and its
    // offsets added to those of the part it mirrors must keep the start before 0 and the end
    // at 1 or later.
    int32_t SetPart(int32_t variant, int32_t part, const TGesturePartRecord& record);
    // A non-zero pair is accepted only for a part whose record is not all zero, and only with
    // both numbers >= 0.
    int32_t SetPartPair(int32_t variant, int32_t part, const TPartPair& pair);

    int32_t HeadHoldMin() const { return headHoldMin; }
    int32_t HeadHoldMax() const { return headHoldMax; }
    int32_t HeadMoveMin() const { return headMoveMin; }
    int32_t HeadMoveMax() const { return headMoveMax; }
    int32_t GazeHoldMin() const { return gazeHoldMin; }
    int32_t GazeHoldMax() const { return gazeHoldMax; }
    int32_t GazeMoveMin() const { return gazeMoveMin; }
    int32_t GazeMoveMax() const { return gazeMoveMax; }
    int32_t PauseBlinkMinSilence() const { return pauseBlinkMinSilence; }
    int32_t PauseBlinkExclusion() const { return pauseBlinkExclusion; }
    double PauseBlinkProbability() const { return pauseBlinkProbability; }
    int32_t PauseBlinkDelayMin() const { return pauseBlinkDelayMin; }
    int32_t PauseBlinkDelayMax() const { return pauseBlinkDelayMax; }
    int32_t EndBlinkDistance() const { return endBlinkDistance; }
    int32_t EndBlinkDelayMin() const { return endBlinkDelayMin; }
    int32_t EndBlinkDelayMax() const { return endBlinkDelayMax; }
    int32_t MaxBlinkGap() const { return maxBlinkGap; }
    double HeadGazeBlinkRateBlend() const { return headGazeBlinkRateBlend; }
    const THeadRecord& HeadRecord(int32_t i) const;
    const TGazeRecord& GazeRecord(int32_t i) const;
    // Record 0 is the blink, record 1 its mirror for the second eye.
    const TGesturePartRecord& BlinkRecord(int32_t i) const;
    int32_t SpareInterval(int32_t i) const;
    double SpareShare(int32_t i) const;

    // Negative refused.
    int32_t SetHeadHoldMin(int32_t ms);
    int32_t SetHeadHoldMax(int32_t ms);
    // Below 1 refused.
    int32_t SetHeadMoveMin(int32_t ms);
    int32_t SetHeadMoveMax(int32_t ms);
    // Negative refused.
    int32_t SetGazeHoldMin(int32_t ms);
    int32_t SetGazeHoldMax(int32_t ms);
    // Below 1 refused.
    int32_t SetGazeMoveMin(int32_t ms);
    int32_t SetGazeMoveMax(int32_t ms);
    // Negative refused.
    int32_t SetPauseBlinkMinSilence(int32_t ms);
    // Below 1 refused.
    int32_t SetPauseBlinkExclusion(int32_t ms);
    // Refused outside [0, 1].
    int32_t SetPauseBlinkProbability(double p);
    // Negative refused.
    int32_t SetPauseBlinkDelayMin(int32_t ms);
    int32_t SetPauseBlinkDelayMax(int32_t ms);
    int32_t SetEndBlinkDistance(int32_t ms);
    int32_t SetEndBlinkDelayMin(int32_t ms);
    int32_t SetEndBlinkDelayMax(int32_t ms);
    // Below 1 refused.
    int32_t SetMaxBlinkGap(int32_t ms);
    // Negative refused.
    int32_t SetHeadGazeBlinkRateBlend(double share);
    // Index above 2: range. Refused unless 0 <= probability <= 1, spread >= 0, channel 4..6.
    int32_t SetHeadRecord(int32_t i, const THeadRecord& record);
    // Index above 3: range. Refused unless weight >= 0, spread >= 0, 7 <= first <= last <= 10.
    int32_t SetGazeRecord(int32_t i, const TGazeRecord& record);
    // Index above 1: range. Record 0 follows the rules of a main part, record 1 those of its
    // mirror.
    int32_t SetBlinkRecord(int32_t i, const TGesturePartRecord& record);
    // Index above 1: range; below 1 refused.
    int32_t SetSpareInterval(int32_t i, int32_t ms);
    // Index above 1: range; not above 0 refused.
    int32_t SetSpareShare(int32_t i, double share);

    // True when every field meets its setter's bound, the crowding distance is below the
    // isolation distance, and every min/max pair is ordered.
    bool Validate() const;

private:
    int32_t isolationDistance = 0;
    int32_t crowdingDistance = 0;
    int32_t rateDurationLow = 0;
    int32_t rateDurationHigh = 0;
    double rateFactorLow = 0.0;
    double rateFactorHigh = 0.0;
    double variantWeight[kGestureVariantCount][kActionTypeCount] = {};
    TIntensityRange intensityRange[kGestureVariantCount] = {};
    TGesturePartRecord part[kGestureVariantCount][kGesturePartCount] = {};
    TPartPair partPair[kGestureVariantCount][kGesturePartCount] = {};

    int32_t headHoldMin = 0;
    int32_t headHoldMax = 0;
    int32_t headMoveMin = 0;
    int32_t headMoveMax = 0;
    int32_t gazeHoldMin = 0;
    int32_t gazeHoldMax = 0;
    int32_t gazeMoveMin = 0;
    int32_t gazeMoveMax = 0;
    int32_t pauseBlinkMinSilence = 0;
    int32_t pauseBlinkExclusion = 0;
    double pauseBlinkProbability = 0.0;
    int32_t pauseBlinkDelayMin = 0;
    int32_t pauseBlinkDelayMax = 0;
    int32_t endBlinkDistance = 0;
    int32_t endBlinkDelayMin = 0;
    int32_t endBlinkDelayMax = 0;
    int32_t maxBlinkGap = 0;
    double headGazeBlinkRateBlend = 0.0;
    THeadRecord headRecord[kHeadRecordCount] = {};
    TGazeRecord gazeRecord[kGazeRecordCount] = {};
    TGesturePartRecord blinkRecord[kBlinkRecordCount] = {};
    int32_t spareInterval[kSpareIntervalCount] = {};
    double spareShare[kSpareShareCount] = {};
};

class TLabeledSpeechGesturesMap : public TSpeechGesturesMap {
public:
    TLabeledSpeechGesturesMap() = default;
    explicit TLabeledSpeechGesturesMap(const TSpeechGesturesMap& map, int32_t label = 0)
        : TSpeechGesturesMap(map), label(label) {}

    int32_t Label() const { return label; }
    void SetLabel(int32_t newLabel) { label = newLabel; }

private:
    int32_t label = 0;
};

class TLabeledSpeechGesturesMapList : public AOpenList<TLabeledSpeechGesturesMap> {};

// The built-in gestures map (label 0).
TLabeledSpeechGesturesMap DefaultSpeechGesturesMap();

} // namespace Vantrix
