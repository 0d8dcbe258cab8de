#include "gestures_map.h"

#include <cmath>

#include "errors.h"

namespace Vantrix {

namespace {

bool IsVariant(int32_t v) {
    return v >= 0 && v < kGestureVariantCount;
}
bool IsPart(int32_t p) {
    return p >= 0 && p < kGesturePartCount;
}
bool IsMirrorPart(int32_t p) {
    return p == egpEyebrowMirror || p == egpBlinkMirror;
}

bool SpreadsValid(const TGesturePartRecord& r) {
    return r.startSpread >= 0 && r.peakSpread >= 0 && r.endSpread >= 0;
}

bool NumbersFinite(const TGesturePartRecord& r) {
    return std::isfinite(r.amplitude) && std::isfinite(r.probability);
}

// Latest start and earliest end the record's offsets can give.
int64_t LatestStart(const TGesturePartRecord& r) {
    return int64_t(r.startCentre) + r.startSpread;
}
int64_t EarliestEnd(const TGesturePartRecord& r) {
    return int64_t(r.endCentre) - r.endSpread;
}

int32_t CheckMainPart(const TGesturePartRecord& r) {
    if (!NumbersFinite(r)) return eetArgumentFailure;
    if (r.IsAllZero()) return eetSuccess;
    if (!SpreadsValid(r) || LatestStart(r) >= 0 || EarliestEnd(r) < 1) return eetArgumentFailure;
    if (!(r.probability > 0.0 && r.probability <= 1.0)) return eetArgumentFailure;
    return eetSuccess;
}

// The mirror's jitters land on the mirrored part's keys, so the sums must keep the keys apart.
int32_t CheckMirrorPart(const TGesturePartRecord& q, const TGesturePartRecord& mirrored) {
    if (!NumbersFinite(q)) return eetArgumentFailure;
    if (q.IsAllZero()) return eetSuccess;
    if (!(q.amplitude >= 0.0) || !SpreadsValid(q)) return eetArgumentFailure;
    if (LatestStart(mirrored) + LatestStart(q) >= 0) return eetArgumentFailure;
    if (EarliestEnd(mirrored) + EarliestEnd(q) < 1) return eetArgumentFailure;
    return eetSuccess;
}

int32_t CheckPartPair(const TPartPair& pair, const TGesturePartRecord& r) {
    if (pair.first == 0 && pair.second == 0) return eetSuccess;
    if (r.IsAllZero() || pair.first < 0 || pair.second < 0) return eetArgumentFailure;
    return eetSuccess;
}

int32_t CheckHeadRecord(const THeadRecord& r) {
    if (!(r.probability >= 0.0 && r.probability <= 1.0)) return eetArgumentFailure;
    if (!std::isfinite(r.centre) || !(r.spread >= 0.0) || !std::isfinite(r.spread))
        return eetArgumentFailure;
    if (r.channel < 4 || r.channel > 6) return eetArgumentFailure;
    return eetSuccess;
}

int32_t CheckGazeRecord(const TGazeRecord& r) {
    if (!(r.weight >= 0.0) || !std::isfinite(r.weight)) return eetArgumentFailure;
    if (!std::isfinite(r.centre) || !(r.spread >= 0.0) || !std::isfinite(r.spread))
        return eetArgumentFailure;
    if (r.firstChannel < 7 || r.lastChannel > 10 || r.firstChannel > r.lastChannel)
        return eetArgumentFailure;
    return eetSuccess;
}

bool Positive(double x) {
    return x > 0.0 && std::isfinite(x);
}
bool NonNegative(double x) {
    return x >= 0.0 && std::isfinite(x);
}

int32_t SetAtLeast(int32_t& field, int32_t value, int32_t least) {
    if (value < least) return eetArgumentFailure;
    field = value;
    return eetSuccess;
}

int32_t SetIf(double& field, double value, bool ok) {
    if (!ok) return eetArgumentFailure;
    field = value;
    return eetSuccess;
}

} // namespace

bool TGesturePartRecord::IsAllZero() const {
    return startCentre == 0 && startSpread == 0 && peakCentre == 0 && peakSpread == 0 &&
           endCentre == 0 && endSpread == 0 && (amplitude == 0.0 || probability == 0.0);
}

// --- Speech-gesture fields ---

double TSpeechGesturesMap::VariantWeight(int32_t variant, int32_t type) const {
    if (!IsVariant(variant) || type < 0 || type >= kActionTypeCount) throw eetRangeFailure;
    return variantWeight[variant][type];
}

const TIntensityRange& TSpeechGesturesMap::IntensityRange(int32_t variant) const {
    if (!IsVariant(variant)) throw eetRangeFailure;
    return intensityRange[variant];
}

const TGesturePartRecord& TSpeechGesturesMap::Part(int32_t variant, int32_t p) const {
    if (!IsVariant(variant) || !IsPart(p)) throw eetRangeFailure;
    return part[variant][p];
}

const TPartPair& TSpeechGesturesMap::PartPair(int32_t variant, int32_t p) const {
    if (!IsVariant(variant) || !IsPart(p)) throw eetRangeFailure;
    return partPair[variant][p];
}

int32_t TSpeechGesturesMap::SetIsolationDistance(int32_t ms) {
    return SetAtLeast(isolationDistance, ms, 1);
}
int32_t TSpeechGesturesMap::SetCrowdingDistance(int32_t ms) {
    return SetAtLeast(crowdingDistance, ms, 1);
}
int32_t TSpeechGesturesMap::SetRateDurationLow(int32_t ms) {
    return SetAtLeast(rateDurationLow, ms, 0);
}
int32_t TSpeechGesturesMap::SetRateDurationHigh(int32_t ms) {
    return SetAtLeast(rateDurationHigh, ms, 0);
}
int32_t TSpeechGesturesMap::SetRateFactorLow(double factor) {
    return SetIf(rateFactorLow, factor, Positive(factor));
}
int32_t TSpeechGesturesMap::SetRateFactorHigh(double factor) {
    return SetIf(rateFactorHigh, factor, Positive(factor));
}

int32_t TSpeechGesturesMap::SetVariantWeight(int32_t variant, int32_t type, double weight) {
    if (!IsVariant(variant) || type < 0 || type >= kActionTypeCount) return eetRangeFailure;
    return SetIf(variantWeight[variant][type], weight, NonNegative(weight));
}

int32_t TSpeechGesturesMap::SetIntensityRange(int32_t variant, double lo, double hi) {
    if (!IsVariant(variant)) return eetRangeFailure;
    if (!(Positive(lo) && std::isfinite(hi) && lo <= hi)) return eetArgumentFailure;
    intensityRange[variant] = {lo, hi};
    return eetSuccess;
}

int32_t TSpeechGesturesMap::SetPart(int32_t variant, int32_t p, const TGesturePartRecord& record) {
    if (!IsVariant(variant) || !IsPart(p)) return eetRangeFailure;
    const int32_t err =
        IsMirrorPart(p) ? CheckMirrorPart(record, part[variant][p - 1]) : CheckMainPart(record);
    if (err) return err;
    part[variant][p] = record;
    return eetSuccess;
}

int32_t TSpeechGesturesMap::SetPartPair(int32_t variant, int32_t p, const TPartPair& pair) {
    if (!IsVariant(variant) || !IsPart(p)) return eetRangeFailure;
    if (int32_t err = CheckPartPair(pair, part[variant][p])) return err;
    partPair[variant][p] = pair;
    return eetSuccess;
}

// --- Head, gaze and blink fields ---

const THeadRecord& TSpeechGesturesMap::HeadRecord(int32_t i) const {
    if (i < 0 || i >= kHeadRecordCount) throw eetRangeFailure;
    return headRecord[i];
}

const TGazeRecord& TSpeechGesturesMap::GazeRecord(int32_t i) const {
    if (i < 0 || i >= kGazeRecordCount) throw eetRangeFailure;
    return gazeRecord[i];
}

const TGesturePartRecord& TSpeechGesturesMap::BlinkRecord(int32_t i) const {
    if (i < 0 || i >= kBlinkRecordCount) throw eetRangeFailure;
    return blinkRecord[i];
}

int32_t TSpeechGesturesMap::SpareInterval(int32_t i) const {
    if (i < 0 || i >= kSpareIntervalCount) throw eetRangeFailure;
    return spareInterval[i];
}

double TSpeechGesturesMap::SpareShare(int32_t i) const {
    if (i < 0 || i >= kSpareShareCount) throw eetRangeFailure;
    return spareShare[i];
}

int32_t TSpeechGesturesMap::SetHeadHoldMin(int32_t ms) {
    return SetAtLeast(headHoldMin, ms, 0);
}
int32_t TSpeechGesturesMap::SetHeadHoldMax(int32_t ms) {
    return SetAtLeast(headHoldMax, ms, 0);
}
int32_t TSpeechGesturesMap::SetHeadMoveMin(int32_t ms) {
    return SetAtLeast(headMoveMin, ms, 1);
}
int32_t TSpeechGesturesMap::SetHeadMoveMax(int32_t ms) {
    return SetAtLeast(headMoveMax, ms, 1);
}
int32_t TSpeechGesturesMap::SetGazeHoldMin(int32_t ms) {
    return SetAtLeast(gazeHoldMin, ms, 0);
}
int32_t TSpeechGesturesMap::SetGazeHoldMax(int32_t ms) {
    return SetAtLeast(gazeHoldMax, ms, 0);
}
int32_t TSpeechGesturesMap::SetGazeMoveMin(int32_t ms) {
    return SetAtLeast(gazeMoveMin, ms, 1);
}
int32_t TSpeechGesturesMap::SetGazeMoveMax(int32_t ms) {
    return SetAtLeast(gazeMoveMax, ms, 1);
}
int32_t TSpeechGesturesMap::SetPauseBlinkMinSilence(int32_t ms) {
    return SetAtLeast(pauseBlinkMinSilence, ms, 0);
}
int32_t TSpeechGesturesMap::SetPauseBlinkExclusion(int32_t ms) {
    return SetAtLeast(pauseBlinkExclusion, ms, 1);
}
int32_t TSpeechGesturesMap::SetPauseBlinkProbability(double p) {
    return SetIf(pauseBlinkProbability, p, p >= 0.0 && p <= 1.0);
}
int32_t TSpeechGesturesMap::SetPauseBlinkDelayMin(int32_t ms) {
    return SetAtLeast(pauseBlinkDelayMin, ms, 0);
}
int32_t TSpeechGesturesMap::SetPauseBlinkDelayMax(int32_t ms) {
    return SetAtLeast(pauseBlinkDelayMax, ms, 0);
}
int32_t TSpeechGesturesMap::SetEndBlinkDistance(int32_t ms) {
    return SetAtLeast(endBlinkDistance, ms, 0);
}
int32_t TSpeechGesturesMap::SetEndBlinkDelayMin(int32_t ms) {
    return SetAtLeast(endBlinkDelayMin, ms, 0);
}
int32_t TSpeechGesturesMap::SetEndBlinkDelayMax(int32_t ms) {
    return SetAtLeast(endBlinkDelayMax, ms, 0);
}
int32_t TSpeechGesturesMap::SetMaxBlinkGap(int32_t ms) {
    return SetAtLeast(maxBlinkGap, ms, 1);
}
int32_t TSpeechGesturesMap::SetHeadGazeBlinkRateBlend(double share) {
    return SetIf(headGazeBlinkRateBlend, share, NonNegative(share));
}

int32_t TSpeechGesturesMap::SetHeadRecord(int32_t i, const THeadRecord& record) {
    if (i < 0 || i >= kHeadRecordCount) return eetRangeFailure;
    if (int32_t err = CheckHeadRecord(record)) return err;
    headRecord[i] = record;
    return eetSuccess;
}

int32_t TSpeechGesturesMap::SetGazeRecord(int32_t i, const TGazeRecord& record) {
    if (i < 0 || i >= kGazeRecordCount) return eetRangeFailure;
    if (int32_t err = CheckGazeRecord(record)) return err;
    gazeRecord[i] = record;
    return eetSuccess;
}

int32_t TSpeechGesturesMap::SetBlinkRecord(int32_t i, const TGesturePartRecord& record) {
    if (i < 0 || i >= kBlinkRecordCount) return eetRangeFailure;
    const int32_t err = i == 0 ? CheckMainPart(record) : CheckMirrorPart(record, blinkRecord[0]);
    if (err) return err;
    blinkRecord[i] = record;
    return eetSuccess;
}

int32_t TSpeechGesturesMap::SetSpareInterval(int32_t i, int32_t ms) {
    if (i < 0 || i >= kSpareIntervalCount) return eetRangeFailure;
    return SetAtLeast(spareInterval[i], ms, 1);
}

int32_t TSpeechGesturesMap::SetSpareShare(int32_t i, double share) {
    if (i < 0 || i >= kSpareShareCount) return eetRangeFailure;
    return SetIf(spareShare[i], share, Positive(share));
}

bool TSpeechGesturesMap::Validate() const {
    if (isolationDistance < 1 || crowdingDistance < 1 || crowdingDistance >= isolationDistance)
        return false;
    if (rateDurationLow < 0 || rateDurationHigh < 0 || rateDurationLow > rateDurationHigh)
        return false;
    if (!Positive(rateFactorLow) || !Positive(rateFactorHigh)) return false;
    for (int32_t v = 0; v < kGestureVariantCount; ++v) {
        for (int32_t t = 0; t < kActionTypeCount; ++t)
            if (!NonNegative(variantWeight[v][t])) return false;
        const TIntensityRange& range = intensityRange[v];
        if (!(Positive(range.lo) && std::isfinite(range.hi) && range.lo <= range.hi)) return false;
        for (int32_t p = 0; p < kGesturePartCount; ++p) {
            const int32_t err = IsMirrorPart(p) ? CheckMirrorPart(part[v][p], part[v][p - 1])
                                                : CheckMainPart(part[v][p]);
            if (err || CheckPartPair(partPair[v][p], part[v][p])) return false;
        }
    }

    if (headHoldMin < 0 || headHoldMin > headHoldMax) return false;
    if (headMoveMin < 1 || headMoveMin > headMoveMax) return false;
    if (gazeHoldMin < 0 || gazeHoldMin > gazeHoldMax) return false;
    if (gazeMoveMin < 1 || gazeMoveMin > gazeMoveMax) return false;
    if (pauseBlinkMinSilence < 0 || pauseBlinkExclusion < 1) return false;
    if (!(pauseBlinkProbability >= 0.0 && pauseBlinkProbability <= 1.0)) return false;
    if (pauseBlinkDelayMin < 0 || pauseBlinkDelayMin > pauseBlinkDelayMax) return false;
    if (endBlinkDistance < 0 || endBlinkDelayMin < 0 || endBlinkDelayMax < 0) return false;
    if (maxBlinkGap < 1 || !NonNegative(headGazeBlinkRateBlend)) return false;
    for (const THeadRecord& r : headRecord)
        if (CheckHeadRecord(r)) return false;
    // Two records on one channel would key it twice at each pose time.
    if (headRecord[0].channel == headRecord[1].channel ||
        headRecord[0].channel == headRecord[2].channel ||
        headRecord[1].channel == headRecord[2].channel)
        return false;
    for (const TGazeRecord& r : gazeRecord)
        if (CheckGazeRecord(r)) return false;
    if (CheckMainPart(blinkRecord[0]) || CheckMirrorPart(blinkRecord[1], blinkRecord[0]))
        return false;
    for (int32_t ms : spareInterval)
        if (ms < 1) return false;
    for (double share : spareShare)
        if (!Positive(share)) return false;
    return true;
}

// --- The built-in map ---

namespace {

struct TPartRow {
    int32_t variant;
    int32_t part;
    TGesturePartRecord record;
};

// Variant 0 and every part not listed stay all zero.
const TPartRow kDefaultParts[] = {
    {1, 0, {-180, 45, 0, 0, 315, 45, 0.7, 0.5}},  {1, 1, {0, 15, 0, 15, 0, 15, 1.0, 0.5}},
    {1, 2, {-90, 30, 0, 0, 180, 30, 1.0, 0.7}},   {1, 3, {0, 0, 0, 0, 0, 0, 1.0, 0.7}},
    {1, 4, {-225, 45, 0, 0, 495, 45, 5.0, 1.0}},  {2, 0, {-180, 45, -45, 0, 270, 45, 0.7, 0.7}},
    {2, 1, {0, 15, 0, 15, 0, 15, 1.0, 0.7}},      {2, 2, {-90, 30, -60, 0, 150, 30, 1.0, 0.6}},
    {2, 3, {0, 0, 0, 0, 0, 0, 1.0, 0.6}},         {2, 4, {-225, 45, 0, 0, 540, 45, -3.0, 1.0}},
    {3, 0, {-90, 45, -45, 0, 270, 45, 0.2, 0.1}}, {3, 1, {0, 15, 0, 15, 0, 15, 1.0, 0.1}},
    {3, 2, {-90, 30, 0, 0, 180, 30, 1.0, 0.1}},   {3, 3, {0, 0, 0, 0, 0, 0, 1.0, 0.1}},
    {3, 4, {-225, 45, 0, 0, 495, 45, 2.0, 1.0}},  {4, 0, {-135, 45, 0, 0, 315, 45, 0.5, 0.2}},
    {4, 1, {0, 15, 0, 15, 0, 15, 1.0, 0.2}},      {4, 2, {-90, 30, 0, 0, 180, 30, 1.0, 0.1}},
    {4, 3, {0, 0, 0, 0, 0, 0, 1.0, 0.1}},         {4, 4, {-225, 45, 0, 0, 495, 45, 3.0, 1.0}},
    {5, 0, {-135, 45, 0, 0, 315, 45, 0.5, 1.0}},  {5, 1, {0, 15, 0, 15, 0, 15, 1.0, 1.0}},
    {5, 2, {-90, 30, 0, 0, 180, 30, 1.0, 0.1}},   {5, 3, {0, 0, 0, 0, 0, 0, 1.0, 0.1}},
    {6, 0, {-135, 45, 0, 0, 315, 45, 0.2, 0.2}},  {6, 1, {0, 15, 0, 15, 0, 15, 1.0, 0.2}},
    {6, 2, {-90, 30, 0, 0, 180, 30, 1.0, 0.1}},   {6, 3, {0, 0, 0, 0, 0, 0, 1.0, 0.1}},
    {6, 4, {0, 0, 0, 0, 0, 0, 0.0, 1.0}},         {6, 5, {-180, 45, 0, 0, 405, 45, 2.0, 1.0}},
    {7, 0, {-135, 45, 0, 0, 315, 45, 0.2, 0.2}},  {7, 1, {0, 15, 0, 15, 0, 15, 1.0, 0.2}},
    {7, 2, {-90, 30, 0, 0, 180, 30, 1.0, 0.1}},   {7, 3, {0, 0, 0, 0, 0, 0, 1.0, 0.1}},
    {7, 6, {-180, 45, 0, 0, 405, 45, 3.0, 1.0}},
};

// Rows variant 0..7, columns first, last, crowded, isolated, ordinary.
const double kDefaultWeights[kGestureVariantCount][kActionTypeCount] = {
    {0, 0, 0, 0, 0},  {10, 8, 0, 10, 4}, {3, 0.1, 0, 10, 4}, {2, 3, 10, 2, 2},
    {4, 5, 0, 5, 10}, {1, 1, 8, 1, 2},   {3, 2, 4, 4, 5},    {3, 2, 4, 4, 5},
};

void Require(int32_t result) {
    if (result != eetSuccess) throw eetCatastrophicFailure;
}

} // namespace

TLabeledSpeechGesturesMap DefaultSpeechGesturesMap() {
    TLabeledSpeechGesturesMap map;
    Require(map.SetIsolationDistance(1000));
    Require(map.SetCrowdingDistance(450));
    Require(map.SetRateDurationLow(65));
    Require(map.SetRateDurationHigh(130));
    Require(map.SetRateFactorLow(0.8));
    Require(map.SetRateFactorHigh(2.0));
    for (int32_t v = 0; v < kGestureVariantCount; ++v) {
        for (int32_t t = 0; t < kActionTypeCount; ++t)
            Require(map.SetVariantWeight(v, t, kDefaultWeights[v][t]));
        if (v == 5)
            Require(map.SetIntensityRange(v, 0.5, 0.7));
        else if (v == 6)
            Require(map.SetIntensityRange(v, 0.5, 1.0));
        else
            Require(map.SetIntensityRange(v, 0.75, 1.0));
    }
    // Rows are listed mirrored part after its main part, as the mirror check needs.
    for (const TPartRow& row : kDefaultParts)
        Require(map.SetPart(row.variant, row.part, row.record));

    Require(map.SetHeadHoldMin(750));
    Require(map.SetHeadHoldMax(3000));
    Require(map.SetHeadMoveMin(525));
    Require(map.SetHeadMoveMax(1275));
    Require(map.SetGazeHoldMin(300));
    Require(map.SetGazeHoldMax(1800));
    Require(map.SetGazeMoveMin(40));
    Require(map.SetGazeMoveMax(120));
    Require(map.SetPauseBlinkMinSilence(1000));
    Require(map.SetPauseBlinkExclusion(4000));
    Require(map.SetPauseBlinkProbability(0.75));
    Require(map.SetPauseBlinkDelayMin(500));
    Require(map.SetPauseBlinkDelayMax(750));
    Require(map.SetEndBlinkDistance(4000));
    Require(map.SetEndBlinkDelayMin(500));
    Require(map.SetEndBlinkDelayMax(1000));
    Require(map.SetMaxBlinkGap(7000));
    Require(map.SetHeadGazeBlinkRateBlend(0.5));
    Require(map.SetHeadRecord(0, {0.5, 2.0, 2.0, 4}));
    Require(map.SetHeadRecord(1, {0.6666, 1.5, 1.0, 5}));
    Require(map.SetHeadRecord(2, {0.6666, 2.0, 1.0, 6}));
    Require(map.SetGazeRecord(0, {0.0, 0.0, 0.0, 7, 10}));
    Require(map.SetGazeRecord(1, {0.4, 0.6, 0.0, 7, 8}));
    Require(map.SetGazeRecord(2, {0.4, -0.6, 0.0, 7, 8}));
    Require(map.SetGazeRecord(3, {0.2, 1.0, 0.0, 9, 10}));
    Require(map.SetBlinkRecord(0, {-90, 50, 0, 0, 180, 50, 1.0, 1.0}));
    Require(map.SetBlinkRecord(1, {0, 0, 0, 0, 0, 0, 1.0, 1.0}));
    Require(map.SetSpareInterval(0, 5000));
    Require(map.SetSpareInterval(1, 3500));
    Require(map.SetSpareShare(0, 0.5));
    Require(map.SetSpareShare(1, 0.3));
    map.SetLabel(0);
    return map;
}

} // namespace Vantrix
