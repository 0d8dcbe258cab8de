#include "gestures.h"

#include <algorithm>

#include "errors.h"

namespace Vantrix {

namespace {

const TSpeechGesturesMap& Validated(const TSpeechGesturesMap& map) {
    if (!map.Validate()) throw eetDataFailure;
    return map;
}

} // namespace

TGesturesGenerator::TGesturesGenerator(const TSpeechGesturesMap& map)
    : map(Validated(map)), actions(map), headGazeBlink(map) {}

double TGesturesGenerator::RateFactor(const TPhonemeList& phonemes, int32_t first,
                                      int32_t last) const {
    if (first < 0 || last >= phonemes.Count()) throw eetRangeFailure;
    const double lo = map.RateDurationLow();
    const double hi = map.RateDurationHigh();
    const double fLo = map.RateFactorLow();
    const double fHi = map.RateFactorHigh();
    if (lo > hi || lo < 0.0 || fLo < 0.0 || fHi <= 0.0) throw eetDataFailure;

    double sum = 0.0;
    int32_t count = 0;
    for (int32_t k = first; k <= last; ++k) {
        const TPhoneme& phoneme = phonemes[k];
        if (phoneme.Id() == kSilenceId) continue;
        sum += double(phoneme.DurationMs());
        ++count;
    }
    const double d = count == 0 ? (lo + hi) * 0.5 : std::clamp(sum / count, lo, hi);
    if (lo == hi) return (fLo + fHi) * 0.5;
    return fLo + (fHi - fLo) * (d - lo) / (hi - lo);
}

int32_t TGesturesGenerator::Run(const TPhonemeList& phonemes, TTrackList& tracks, int32_t seed) {
    try {
        const double rate = RateFactor(phonemes, 0, phonemes.Count() - 1);

        actions.Random().Seed(seed);
        actions.Build(phonemes, rate);
        actions.ChooseVariants();
        actions.KeyActions();
        actions.ThinBlinks();

        // The idle motion follows only part of the speech rate.
        const double idleRate = 1.0 + (rate - 1.0) * map.HeadGazeBlinkRateBlend();
        if (int32_t err = headGazeBlink.Run(phonemes, idleRate, seed, actions))
            throw EErrorType(err);

        WriteTracks(tracks);
        return eetSuccess;
    } catch (EErrorType kind) {
        return TraceCaught(kind);
    }
}

void TGesturesGenerator::WriteTracks(TTrackList& tracks) const {
    tracks.Clear();
    TKeyList combined;
    for (int32_t g = 0; g < kGestureTrackCount; ++g) {
        TListOfKeyLists lists;
        for (const TEmphasisAction& action : actions)
            lists.Append(action.Keys(g), 1.0);
        if (g >= egcHeadBend) lists.Append(headGazeBlink.HeadGazeKeys(g), 1.0);
        if (g >= egcLeftEyeSideSide) lists.Append(headGazeBlink.GazeShiftKeys(g), 1.0);
        if (g == egcBlinkLeft || g == egcBlinkRight) lists.Append(headGazeBlink.BlinkKeys(g), 1.0);
        lists.Combine(false, combined);
        if (int32_t err = tracks.Append(TTrack(combined, g))) throw EErrorType(err);
    }
}

} // namespace Vantrix
