// Idle life of a speaking figure: head drift between random poses, gaze shifts and blinks.
#pragma once

#include <cstdint>

#include "animation_types.h"
#include "gestures_actions.h"
#include "gestures_map.h"
#include "keys.h"
#include "phonemes.h"
#include "random.h"

namespace Vantrix {

struct THeadPose {
    double value[kHeadRecordCount];
    int32_t t1;
    int32_t t2;
};

struct TGazePose {
    double value[kGestureTrackCount];
    int32_t t1;
    int32_t t2;
};

class AHeadGazeBlink {
public:
    virtual ~AHeadGazeBlink() = default;
};

class THeadGazeBlink : public AHeadGazeBlink {
public:
    // Throws eetDataFailure when the map fails validation.
    explicit THeadGazeBlink(const TSpeechGesturesMap& map);

    // Head motion over the speech (timing scaled by rate), gaze over the whole sound, then the
    // blinks that the actions leave wanting; 0 or the error kind caught.
    int32_t Run(const TPhonemeList& phonemes, double rate, int32_t seed,
                const TEmphasisActionList& actions);

    // Key lists of the three families; throw eetRangeFailure outside 4..10, 7..10 and 2..3.
    const TKeyList& HeadGazeKeys(int32_t channel) const;
    const TKeyList& GazeShiftKeys(int32_t channel) const;
    const TKeyList& BlinkKeys(int32_t channel) const;

    // The stages of Run, each throwing its errors.
    void HeadMotion(int32_t from, int32_t to, double rate);
    void Gaze(int32_t from, int32_t to);
    void Blinks(const TPhonemeList& phonemes, int32_t end, const TEmphasisActionList& actions);

    TRandomGenerator& Random() { return random; }

    // Least distance between blink candidates: the latest end of a blink minus its earliest
    // start, over the blink record and its mirror.
    static int64_t BlinkSpacing(const TSpeechGesturesMap& map);
    // Thins candidates (action index, or -1 for idle) closer than or at minDistance: an action
    // blink wins over an idle one, two action blinks both stay.
    static void SpaceCandidates(TOrderedList& candidates, double minDistance);
    // Cleaning of a pose list: drops keys that repeat both neighbours, a leading or trailing
    // 0 that repeats its neighbour, and the whole list when fewer than 3 keys remain.
    static void CleanPoseKeys(TKeyList& keys);

private:
    void Clear();
    void AddHeadPose(const THeadPose& pose, bool atT1, bool atT2);
    void AddGazePose(const TGazePose& pose, bool atT1, bool atT2);
    // Time of the last pose: its t2, or its t1 when it had no hold.
    int64_t LastHeadTime() const { return lastHead.t2; }
    int64_t LastGazeTime() const { return lastGaze.t2; }
    void KeyIdleBlink(int32_t t);

    TSpeechGesturesMap map;
    TRandomGenerator random;
    TKeyList headGaze[kGestureTrackCount];
    TKeyList gazeShift[kGestureTrackCount];
    TKeyList blink[kGestureTrackCount];
    THeadPose lastHead = {};
    TGazePose lastGaze = {};
    double gazeWeights[kGazeRecordCount] = {};
};

// Adds a key after the list's last one with flat slopes where it meets its neighbour, so that
// the curve eases out of one pose into the next. Throws eetArgumentFailure when t is not after
// the last key.
void AppendEasedKey(TKeyList& keys, int32_t t, double value);

} // namespace Vantrix
