#include "coarticulation_rules.h"

#include "segments.h"

namespace Vantrix {

int32_t TCoarticulationRulesMap::SetMergeHhIntoNext(bool on) {
    mergeHhIntoNext = on;
    return eetSuccess;
}

int32_t TCoarticulationRulesMap::SetFlapEnabled(bool on) {
    flapEnabled = on;
    return eetSuccess;
}

int32_t TCoarticulationRulesMap::SetShortSilenceEnabled(bool on) {
    shortSilenceEnabled = on;
    return eetSuccess;
}

namespace {

int32_t SetAtLeast(int32_t& field, int32_t value, int32_t least) {
    if (value < least) return eetArgumentFailure;
    field = value;
    return eetSuccess;
}

} // namespace

int32_t TCoarticulationRulesMap::SetMinKeySpacing(int32_t ms) {
    return SetAtLeast(minKeySpacing, ms, 1);
}

int32_t TCoarticulationRulesMap::SetShortSilenceMaxDuration(int32_t ms) {
    return SetAtLeast(shortSilenceMaxDuration, ms, 1);
}

int32_t TCoarticulationRulesMap::SetRampTime(int32_t ms) {
    return SetAtLeast(rampTime, ms, 1);
}

int32_t TCoarticulationRulesMap::SetFastRampTime(int32_t ms) {
    return SetAtLeast(fastRampTime, ms, 1);
}

int32_t TCoarticulationRulesMap::SetWindowLowAtMinDominance(int32_t ms) {
    return SetAtLeast(windowLowAtMinDominance, ms, 1);
}

int32_t TCoarticulationRulesMap::SetWindowHighAtMinDominance(int32_t ms) {
    return SetAtLeast(windowHighAtMinDominance, ms, 1);
}

int32_t TCoarticulationRulesMap::SetWindowLowAtMaxDominance(int32_t ms) {
    return SetAtLeast(windowLowAtMaxDominance, ms, 0);
}

int32_t TCoarticulationRulesMap::SetWindowHighAtMaxDominance(int32_t ms) {
    return SetAtLeast(windowHighAtMaxDominance, ms, 0);
}

int32_t TCoarticulationRulesMap::SetWindowExponent(double exponent) {
    if (!(exponent > 0.0)) return eetArgumentFailure;
    windowExponent = exponent;
    return eetSuccess;
}

double TCoarticulationRulesMap::Deformability(int32_t index) const {
    if (!RuleIndex::IsIndex(index)) throw eetRangeFailure;
    return deformability[index];
}

int32_t TCoarticulationRulesMap::OnsetOffset(int32_t index) const {
    if (!RuleIndex::IsIndex(index)) throw eetRangeFailure;
    return onsetOffset[index];
}

TSubstitution TCoarticulationRulesMap::Substitution(int32_t index) const {
    if (!RuleIndex::IsIndex(index)) throw eetRangeFailure;
    return substitution[index];
}

int32_t TCoarticulationRulesMap::OnsetOffset(const TSegment& segment) const {
    return OnsetOffset(segment.Phoneme());
}

int32_t TCoarticulationRulesMap::SetDeformability(int32_t index, double x) {
    if (!RuleIndex::IsIndex(index)) return eetRangeFailure;
    if (!(x >= 0.0 && x <= 1.0)) return eetArgumentFailure;
    deformability[index] = x;
    return eetSuccess;
}

int32_t TCoarticulationRulesMap::SetOnsetOffset(int32_t index, int32_t ms) {
    if (!RuleIndex::IsIndex(index)) return eetRangeFailure;
    onsetOffset[index] = ms;
    return eetSuccess;
}

int32_t TCoarticulationRulesMap::SetSubstitutionPhoneme(int32_t index, int32_t phoneme) {
    if (!RuleIndex::IsIndex(index)) return eetRangeFailure;
    if (!RuleIndex::IsIndex(phoneme)) return eetArgumentFailure;
    substitution[index].phoneme = phoneme;
    return eetSuccess;
}

int32_t TCoarticulationRulesMap::SetSubstitutionDuration(int32_t index, int32_t ms) {
    if (!RuleIndex::IsIndex(index)) return eetRangeFailure;
    if (ms < kMinSubstitutionDuration) return eetArgumentFailure;
    substitution[index].duration = ms;
    return eetSuccess;
}

bool TCoarticulationRulesMap::Validate() const {
    if (minKeySpacing < 1 || shortSilenceMaxDuration < 1 || rampTime < 1 || fastRampTime < 1 ||
        windowLowAtMinDominance < 1 || windowHighAtMinDominance < 1)
        return false;
    if (windowLowAtMaxDominance < 0 || windowHighAtMaxDominance < 0) return false;
    if (!(windowExponent > 0.0)) return false;
    if (!(windowLowAtMaxDominance < windowHighAtMaxDominance) ||
        !(windowLowAtMinDominance < windowHighAtMinDominance) ||
        !(windowLowAtMaxDominance <= windowLowAtMinDominance) ||
        !(windowHighAtMaxDominance <= windowHighAtMinDominance))
        return false;
    for (int32_t i = 0; i < RuleIndex::kCount; ++i) {
        if (!(deformability[i] >= 0.0 && deformability[i] <= 1.0)) return false;
        if (!RuleIndex::IsIndex(substitution[i].phoneme)) return false;
        if (substitution[i].duration < kMinSubstitutionDuration) return false;
    }
    return true;
}

namespace {

struct TDefaultRow {
    double deformability;
    int32_t onsetOffset;
    int32_t substitutionPhoneme;
    int32_t substitutionDuration;
};

// Rows in phoneme index order, iy .. FLAP.
const TDefaultRow kDefaultRows[RuleIndex::kCount] = {
    {0.3, -32, 15, 43},   {0.3, -32, 15, 43},   {0.3, -32, 15, 43},  {0.3, -32, 15, 43},
    {0.3, -32, 15, 43},   {0.3, -32, 15, 43},   {0.3, -32, 15, 43},  {0.3, -32, 15, 43},
    {0.3, -32, 15, 43},   {0.3, -32, 15, 43},   {0.4, -32, 15, 43},  {0.4, -32, 15, 43},
    {0.4, -32, 15, 43},   {0.4, -32, 15, 43},   {0.25, -32, 15, 43}, {0.2, -32, 15, 43},
    {0.55, -32, 15, 43},  {0.25, -32, 15, 43},  {0.35, -32, 15, 43}, {0.25, -32, 15, 43},
    {0.06, -64, 15, 43},  {0.06, -32, 15, 43},  {0.06, -32, 15, 43}, {0.06, -32, 15, 43},
    {0.0, -32, 15, 43},   {0.55, -32, 15, 43},  {0.55, -32, 15, 43}, {0.65, -32, 15, 43},
    {0.45, -32, 15, 43},  {0.2, -32, 15, 43},   {0.2, -32, 15, 43},  {0.9, -32, 41, 500},
    {0.0, -64, 15, 43},   {0.55, -64, 15, 43},  {0.25, -32, 15, 43}, {0.9, -32, 15, 43},
    {0.0, -64, 15, 43},   {0.55, -64, 15, 43},  {0.9, -32, 15, 43},  {0.25, -32, 15, 43},
    {0.9, -32, 40, 2000}, {0.9, -32, 40, 2000}, {0.55, -32, 15, 43},
};

} // namespace

TLabeledCoarticulationRulesMap DefaultCoarticulationRules() {
    TLabeledCoarticulationRulesMap map;
    map.SetMergeHhIntoNext(true);
    map.SetFlapEnabled(true);
    map.SetShortSilenceEnabled(true);
    map.SetMinKeySpacing(16);
    map.SetShortSilenceMaxDuration(1000);
    map.SetRampTime(300);
    map.SetFastRampTime(80);
    map.SetWindowLowAtMaxDominance(0);
    map.SetWindowLowAtMinDominance(20);
    map.SetWindowHighAtMaxDominance(20);
    map.SetWindowHighAtMinDominance(162);
    map.SetWindowExponent(1.3);
    for (int32_t i = 0; i < RuleIndex::kCount; ++i) {
        const TDefaultRow& row = kDefaultRows[i];
        map.SetDeformability(i, row.deformability);
        map.SetOnsetOffset(i, row.onsetOffset);
        map.SetSubstitutionPhoneme(i, row.substitutionPhoneme);
        map.SetSubstitutionDuration(i, row.substitutionDuration);
    }
    map.SetLabel(0);
    return map;
}

} // namespace Vantrix
