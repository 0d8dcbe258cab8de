// The speech-gestures generator: emphasis actions plus idle head, gaze and blink motion, written
// as the eleven gesture tracks.
#pragma once

#include <cstdint>

#include "gestures_actions.h"
#include "gestures_map.h"
#include "head_motion.h"
#include "phonemes.h"
#include "tracks.h"

namespace Vantrix {

class AGesturesGenerator {
public:
    virtual ~AGesturesGenerator() = default;
    virtual int32_t Run(const TPhonemeList& phonemes, TTrackList& tracks, int32_t seed) = 0;
};

class TGesturesGenerator : public AGesturesGenerator {
public:
    // Throws eetDataFailure when the map fails validation.
    explicit TGesturesGenerator(const TSpeechGesturesMap& map);

    // Writes the gesture tracks 0..10 for the phonemes' emphasis marks; the same seed gives the
    // same tracks. 0 or the error kind caught; the tracks then hold what was written before.
    int32_t Run(const TPhonemeList& phonemes, TTrackList& tracks, int32_t seed) override;

    // Speech-rate factor over phonemes first..last: rateFactorLow for quick speech up to
    // rateFactorHigh for slow speech. Throws eetRangeFailure for a bad range and eetDataFailure
    // for inconsistent rate fields.
    double RateFactor(const TPhonemeList& phonemes, int32_t first, int32_t last) const;

    const TSpeechGesturesMap& Map() const { return map; }
    const TEmphasisActionList& Actions() const { return actions; }
    const THeadGazeBlink& HeadGazeBlink() const { return headGazeBlink; }

private:
    void WriteTracks(TTrackList& tracks) const;

    TSpeechGesturesMap map;
    TEmphasisActionList actions;
    THeadGazeBlink headGazeBlink;
};

} // namespace Vantrix
