// Lip synching: timed phonemes to one key track per speech target.
#pragma once

#include <cstdint>

#include "coarticulation_rules.h"
#include "influence.h"
#include "segments.h"
#include "track_mapper.h"
#include "tracks.h"

namespace Vantrix {

class TPhonemeList;

class ALipSynching {
public:
    virtual ~ALipSynching() = 0;

    // Builds the speech-target tracks of a phoneme list into tracks (rest track 0 first).
    // Returns 0 or the error kind of the failing step, traced; never throws. fast shortens the
    // ramps into silences and keeps short silences as silences.
    int32_t Run(const TPhonemeList& phonemes, TTrackList& tracks, bool fast);

    const TSegmentList& Segments() const { return segments; }
    const TInfluenceModel& Influence() const { return influence; }
    const TCoarticulationRulesMap& Rules() const { return rules; }

protected:
    // Throws eetDataFailure for an invalid map or rules, eetRangeFailure for inverted
    // dominance bounds.
    ALipSynching(const TPhonemesToTracksMap& map, const TCoarticulationRulesMap& rules);

private:
    void EditList(bool fast);
    void ApplyOnsetOffsets();
    void ComputeWeights();
    void LayKeyTriplets(bool fast);
    void WidenAroundWeakSegments();
    void SpaceKeys();
    void FlattenHandles();
    void BuildTracks(TTrackList& tracks);

    TPhonemesToTracksMap map;
    TCoarticulationRulesMap rules;
    TSegmentList segments;
    // Dominance matrix and its bounds.
    TInfluenceModel influence;
};

class TLipSynching : public ALipSynching {
public:
    // Copies the map and the rules; throws as ALipSynching's constructor.
    TLipSynching(const TPhonemesToTracksMap& map, const TCoarticulationRulesMap& rules)
        : ALipSynching(map, rules) {}
};

} // namespace Vantrix
