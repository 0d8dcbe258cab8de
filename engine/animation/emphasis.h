// Emphasis detection: loudness figures per vowel, thresholds from their ranking, and the marks
// that place the speech gestures.
#pragma once

#include <cstdint>
#include <vector>

#include "digital_audio.h"
#include "phonemes.h"

namespace Vantrix {

class AEmphasis {
public:
    virtual ~AEmphasis() = default;
};

class TEmphasis : public AEmphasis {
public:
    TEmphasis() = default;

    double EnergyShareMany() const { return energyShareMany; }
    double PeakShareMany() const { return peakShareMany; }
    double EnergyRankShare() const { return energyRankShare; }
    double PeakRankShare() const { return peakRankShare; }
    double EnergyShareFew() const { return energyShareFew; }
    double PeakShareFew() const { return peakShareFew; }
    double CeilingShare() const { return ceilingShare; }

    // Stores every phoneme's energy (emphasis A) and peak (emphasis B), 0 for non-vowels; 0.
    // Throws eetArgumentFailure when a vowel's sample range is empty, and the errors of the
    // sample buffer and the phoneme setters.
    int32_t Measure(const TDigitalAudio& audio, TPhonemeList& phonemes);

    // Marks the phonemes from first on whose energy or peak exceeds its threshold, and stores
    // the thresholds on the list; 0, or eetDataFailure for a negative first. Setter errors are
    // thrown.
    int32_t Select(TPhonemeList& phonemes, int32_t first);

    // Energy and peak of n samples already read, in place (the mean is removed from x);
    // amplitudes is scratch space.
    static void MeasureSamples(double* x, int32_t n, std::vector<double>& amplitudes,
                               double& energy, double& peak);

private:
    double energyShareMany = 0.33;
    double peakShareMany = 0.65;
    double energyRankShare = 0.4;
    double peakRankShare = 0.6;
    double energyShareFew = 0.7;
    double peakShareFew = 0.8;
    double ceilingShare = 0.99;
};

// Quickselect (median-of-three partitioning, as published in Numerical Recipes): reorders
// a[0..n-1] so that a[k] holds the k-th smallest value, no larger value before it and no
// smaller one after it, and returns a[k]. Needs 0 <= k < n.
double QuickSelect(double* a, int32_t n, int32_t k);

} // namespace Vantrix
