#include "head_motion.h"

#include <algorithm>

#include "rounding.h"

namespace Vantrix {

namespace {

int32_t PoseTime(int64_t t) {
    if (t < INT32_MIN || t > INT32_MAX) throw eetRangeFailure;
    return int32_t(t);
}

bool IsSilence(const TPhoneme& phoneme) {
    return phoneme.Id() == kSilenceId;
}

} // namespace

void AppendEasedKey(TKeyList& keys, int32_t t, double value) {
    TKey key(t, value);
    key.SetOutHandle({kHandleNone, 0.0, 0.0});
    if (keys.IsEmpty()) {
        key.SetInHandle({kHandleNone, 0.0, 0.0});
    } else {
        TKey& previous = keys.Last();
        if (t <= previous.TimeMs()) throw eetArgumentFailure;
        const double d = (double(t) - previous.TimeMs()) / 3.0;
        previous.SetOutHandle({kHandlePoint, previous.TimeMs() + d, previous.Value()});
        key.SetInHandle({kHandlePoint, t - d, key.Value()});
    }
    if (int32_t err = keys.Append(key)) throw EErrorType(err);
}

THeadGazeBlink::THeadGazeBlink(const TSpeechGesturesMap& map) : map(map) {
    if (!map.Validate()) throw eetDataFailure;
}

const TKeyList& THeadGazeBlink::HeadGazeKeys(int32_t channel) const {
    if (channel < egcHeadBend || channel > egcRightEyeUpDown) throw eetRangeFailure;
    return headGaze[channel];
}

const TKeyList& THeadGazeBlink::GazeShiftKeys(int32_t channel) const {
    if (channel < egcLeftEyeSideSide || channel > egcRightEyeUpDown) throw eetRangeFailure;
    return gazeShift[channel];
}

const TKeyList& THeadGazeBlink::BlinkKeys(int32_t channel) const {
    if (channel < egcBlinkLeft || channel > egcBlinkRight) throw eetRangeFailure;
    return blink[channel];
}

void THeadGazeBlink::Clear() {
    for (int32_t g = 0; g < kGestureTrackCount; ++g) {
        headGaze[g].Clear();
        gazeShift[g].Clear();
        blink[g].Clear();
    }
    lastHead = {};
    lastGaze = {};
}

int32_t THeadGazeBlink::Run(const TPhonemeList& phonemes, double rate, int32_t seed,
                            const TEmphasisActionList& actions) {
    try {
        Clear();
        random.Seed(seed);
        int32_t start = 0;
        int32_t end = 0;
        if (!phonemes.IsEmpty()) {
            const TPhoneme& first = phonemes[0];
            const TPhoneme& last = phonemes.Last();
            start = IsSilence(first) ? first.EndMs() : 0;
            end = IsSilence(last) ? last.StartMs() : last.EndMs();
        }
        HeadMotion(start, end, rate);
        Gaze(0, phonemes.EndTime());
        Blinks(phonemes, end, actions);
        return eetSuccess;
    } catch (EErrorType kind) {
        return TraceCaught(kind);
    }
}

void THeadGazeBlink::AddHeadPose(const THeadPose& pose, bool atT1, bool atT2) {
    const int32_t times[2] = {pose.t1, pose.t2};
    const bool flags[2] = {atT1, atT2};
    for (int32_t k = 0; k < 2; ++k) {
        if (!flags[k]) continue;
        for (int32_t i = 0; i < kHeadRecordCount; ++i) {
            const int32_t channel = map.HeadRecord(i).channel;
            const double v = pose.value[i];
            AppendEasedKey(headGaze[channel], times[k], v);
            // The eyes counter the head so that the gaze stays on its target.
            if (channel == egcHeadBend) {
                AppendEasedKey(headGaze[egcLeftEyeUpDown], times[k], -v);
                AppendEasedKey(headGaze[egcRightEyeUpDown], times[k], -v);
            } else if (channel == egcHeadTwist) {
                AppendEasedKey(headGaze[egcLeftEyeSideSide], times[k], -v);
                AppendEasedKey(headGaze[egcRightEyeSideSide], times[k], -v);
            }
        }
    }
    lastHead = pose;
}

void THeadGazeBlink::HeadMotion(int32_t from, int32_t to, double rate) {
    const int32_t holdMin = std::max(nearest(map.HeadHoldMin() * rate), 0);
    const int32_t holdMax = std::max(nearest(map.HeadHoldMax() * rate), holdMin);
    const int32_t moveMin = std::max(nearest(map.HeadMoveMin() * rate), 1);
    const int32_t moveMax = std::max(nearest(map.HeadMoveMax() * rate), moveMin);

    THeadPose neutral = {};
    neutral.t1 = neutral.t2 = PoseTime(int64_t(from) + 1);
    AddHeadPose(neutral, false, true);

    while (LastHeadTime() + moveMax + holdMax <= to) {
        THeadPose pose = {};
        for (int32_t i = 0; i < kHeadRecordCount; ++i) {
            const THeadRecord& r = map.HeadRecord(i);
            double v = 0.0;
            if (random.Chance(r.probability)) {
                v = random.Uniform(r.centre - r.spread, r.centre + r.spread);
                // Side-side and twist go either way; a bend keeps its sign.
                if (i > 0 && random.Chance(0.5)) v = -v;
            }
            pose.value[i] = v;
        }
        const int32_t hold = random.UniformInt(holdMin, holdMax);
        const int32_t move = random.UniformInt(moveMin, moveMax);
        pose.t1 = PoseTime(LastHeadTime() + move);
        pose.t2 = PoseTime(int64_t(pose.t1) + hold);
        AddHeadPose(pose, true, pose.t2 != pose.t1);
    }

    neutral = {};
    neutral.t1 = neutral.t2 = PoseTime(LastHeadTime() + random.UniformInt(moveMin, moveMax));
    AddHeadPose(neutral, true, false);

    for (int32_t g = egcHeadBend; g <= egcRightEyeUpDown; ++g)
        CleanPoseKeys(headGaze[g]);
}

void THeadGazeBlink::CleanPoseKeys(TKeyList& keys) {
    for (int32_t i = 1; i + 1 < keys.Count();) {
        const double v = keys[i].Value();
        if (v == keys[i - 1].Value() && v == keys[i + 1].Value())
            keys.RemoveKeyKeepingSlopes(i);
        else
            ++i;
    }
    if (keys.Count() >= 2 && keys[0].Value() == 0.0 && keys[1].Value() == 0.0)
        keys.RemoveKeyKeepingSlopes(0);
    const int32_t n = keys.Count();
    if (n >= 2 && keys[n - 1].Value() == 0.0 && keys[n - 2].Value() == 0.0)
        keys.RemoveKeyKeepingSlopes(n - 1);
    if (keys.Count() < 3) keys.Clear();
}

} // namespace Vantrix
