#include "head_motion.h"

namespace Vantrix {

namespace {

int32_t PoseTime(int64_t t) {
    if (t < INT32_MIN || t > INT32_MAX) throw eetRangeFailure;
    return int32_t(t);
}

} // namespace

void THeadGazeBlink::AddGazePose(const TGazePose& pose, bool atT1, bool atT2) {
    const int32_t times[2] = {pose.t1, pose.t2};
    const bool flags[2] = {atT1, atT2};
    for (int32_t k = 0; k < 2; ++k) {
        if (!flags[k]) continue;
        for (int32_t c = egcLeftEyeSideSide; c <= egcRightEyeUpDown; ++c)
            AppendEasedKey(gazeShift[c], times[k], pose.value[c]);
    }
    lastGaze = pose;
}

void THeadGazeBlink::Gaze(int32_t from, int32_t to) {
    for (int32_t k = 0; k < kGazeRecordCount; ++k)
        gazeWeights[k] = map.GazeRecord(k).weight;
    const int32_t holdMin = map.GazeHoldMin();
    const int32_t holdMax = map.GazeHoldMax();
    const int32_t moveMin = map.GazeMoveMin();
    const int32_t moveMax = map.GazeMoveMax();

    TGazePose neutral = {};
    neutral.t1 = neutral.t2 = PoseTime(int64_t(from) + 1);
    AddGazePose(neutral, false, true);

    while (LastGazeTime() + moveMax + holdMax <= to) {
        TGazePose pose = {};
        const TGazeRecord& r = map.GazeRecord(random.Choose(gazeWeights, kGazeRecordCount));
        const double v = random.Uniform(r.centre - r.spread, r.centre + r.spread);
        for (int32_t c = r.firstChannel; c <= r.lastChannel; ++c)
            pose.value[c] = v;
        const int32_t hold = random.UniformInt(holdMin, holdMax);
        const int32_t move = random.UniformInt(moveMin, moveMax);
        pose.t1 = PoseTime(LastGazeTime() + move);
        pose.t2 = PoseTime(int64_t(pose.t1) + hold);
        AddGazePose(pose, true, pose.t2 != pose.t1);
    }

    neutral = {};
    neutral.t1 = neutral.t2 = PoseTime(LastGazeTime() + random.UniformInt(moveMin, moveMax));
    AddGazePose(neutral, true, false);

    for (int32_t c = egcLeftEyeSideSide; c <= egcRightEyeUpDown; ++c)
        CleanPoseKeys(gazeShift[c]);
}

} // namespace Vantrix
