// Coarticulation rules: how strongly each phoneme keeps its mouth shape against its neighbours,
// how early it starts, how silences, hh and flaps are treated, and the key time constants.
#pragma once

#include <cstdint>

#include "containers.h"

namespace Vantrix {

class TSegment;

// Phoneme indices of the rules: 0..40 the recognizer's phonemes, then short silence and flap.
namespace RuleIndex {
constexpr int32_t kCount = 43;
constexpr int32_t kLast = 42;
constexpr int32_t kLastVowel = 15;
constexpr int32_t kM = 24;
constexpr int32_t kHh = 31;
constexpr int32_t kD = 33;
constexpr int32_t kT = 37;
constexpr int32_t kSil = 40;
constexpr int32_t kShortSil = 41;
constexpr int32_t kFlap = 42;

inline bool IsIndex(int32_t index) {
    return index >= 0 && index <= kLast;
}
// Vowel flag of an index; short silence and flap take the flags of sil and d (both false).
inline bool IsVowel(int32_t index) {
    return index >= 0 && index <= kLastVowel;
}
} // namespace RuleIndex

// The shortest substitution duration a rules map accepts (one frame).
constexpr int32_t kMinSubstitutionDuration = 16;

struct TSubstitution {
    int32_t phoneme;
    int32_t duration;
};

// All rules in one value type. Setters return 0, eetArgumentFailure for a bad value or
// eetRangeFailure for a bad phoneme index; a refused value leaves the field as it was.
class TCoarticulationRulesMap {
public:
    // The empty map: flags on, numbers 0, per-phoneme arrays zero.
    TCoarticulationRulesMap() = default;

    bool MergeHhIntoNext() const { return mergeHhIntoNext; }
    bool FlapEnabled() const { return flapEnabled; }
    bool ShortSilenceEnabled() const { return shortSilenceEnabled; }
    int32_t SetMergeHhIntoNext(bool on);
    int32_t SetFlapEnabled(bool on);
    int32_t SetShortSilenceEnabled(bool on);

    int32_t MinKeySpacing() const { return minKeySpacing; }
    int32_t ShortSilenceMaxDuration() const { return shortSilenceMaxDuration; }
    int32_t RampTime() const { return rampTime; }
    int32_t FastRampTime() const { return fastRampTime; }
    int32_t WindowLowAtMaxDominance() const { return windowLowAtMaxDominance; }
    int32_t WindowLowAtMinDominance() const { return windowLowAtMinDominance; }
    int32_t WindowHighAtMaxDominance() const { return windowHighAtMaxDominance; }
    int32_t WindowHighAtMinDominance() const { return windowHighAtMinDominance; }
    double WindowExponent() const { return windowExponent; }

    // Values below 1 are refused.
    int32_t SetMinKeySpacing(int32_t ms);
    int32_t SetShortSilenceMaxDuration(int32_t ms);
    int32_t SetRampTime(int32_t ms);
    int32_t SetFastRampTime(int32_t ms);
    int32_t SetWindowLowAtMinDominance(int32_t ms);
    int32_t SetWindowHighAtMinDominance(int32_t ms);
    // Negative values are refused.
    int32_t SetWindowLowAtMaxDominance(int32_t ms);
    int32_t SetWindowHighAtMaxDominance(int32_t ms);
    // Values not greater than 0 (NaN included) are refused.
    int32_t SetWindowExponent(double exponent);

    // Throw eetRangeFailure for an index outside 0..42.
    double Deformability(int32_t index) const;
    int32_t OnsetOffset(int32_t index) const;
    TSubstitution Substitution(int32_t index) const;
    // Onset offset of the segment's phoneme index.
    int32_t OnsetOffset(const TSegment& segment) const;

    // x outside [0, 1] or NaN is refused.
    int32_t SetDeformability(int32_t index, double x);
    // Any offset is accepted.
    int32_t SetOnsetOffset(int32_t index, int32_t ms);
    // A phoneme outside 0..42 is refused.
    int32_t SetSubstitutionPhoneme(int32_t index, int32_t phoneme);
    // A duration below kMinSubstitutionDuration is refused.
    int32_t SetSubstitutionDuration(int32_t index, int32_t ms);

    // True when every field constraint holds and the window edges are ordered.
    bool Validate() const;

private:
    bool mergeHhIntoNext = true;
    bool flapEnabled = true;
    bool shortSilenceEnabled = true;
    int32_t minKeySpacing = 0;
    int32_t shortSilenceMaxDuration = 0;
    int32_t rampTime = 0;
    int32_t fastRampTime = 0;
    int32_t windowLowAtMaxDominance = 0;
    int32_t windowLowAtMinDominance = 0;
    int32_t windowHighAtMaxDominance = 0;
    int32_t windowHighAtMinDominance = 0;
    double windowExponent = 0.0;
    double deformability[RuleIndex::kCount] = {};
    int32_t onsetOffset[RuleIndex::kCount] = {};
    TSubstitution substitution[RuleIndex::kCount] = {};
};

class TLabeledCoarticulationRulesMap : public TCoarticulationRulesMap {
public:
    TLabeledCoarticulationRulesMap() = default;
    explicit TLabeledCoarticulationRulesMap(const TCoarticulationRulesMap& map, int32_t label = 0)
        : TCoarticulationRulesMap(map), label(label) {}

    int32_t Label() const { return label; }
    void SetLabel(int32_t newLabel) { label = newLabel; }

private:
    int32_t label = 0;
};

class TLabeledCoarticulationRulesMapList : public AOpenList<TLabeledCoarticulationRulesMap> {};

// The built-in rules (label 0).
TLabeledCoarticulationRulesMap DefaultCoarticulationRules();

} // namespace Vantrix
