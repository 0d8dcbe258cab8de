#include "emphasis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "animation_types.h"
#include "audio_chunky_buffer.h"
#include "rounding.h"

namespace Vantrix {

double QuickSelect(double* a, int32_t n, int32_t k) {
    int32_t l = 0;
    int32_t ir = n - 1;
    for (;;) {
        if (ir <= l + 1) {
            if (ir == l + 1 && a[ir] < a[l]) std::swap(a[l], a[ir]);
            return a[k];
        }
        const int32_t mid = (l + ir) >> 1;
        std::swap(a[mid], a[l + 1]);
        // Order a[l] <= a[l+1] <= a[ir]; a[l+1] becomes the pivot and both ends sentinels.
        if (a[l] > a[ir]) std::swap(a[l], a[ir]);
        if (a[l + 1] > a[ir]) std::swap(a[l + 1], a[ir]);
        if (a[l] > a[l + 1]) std::swap(a[l], a[l + 1]);
        int32_t i = l + 1;
        int32_t j = ir;
        const double pivot = a[l + 1];
        for (;;) {
            do
                ++i;
            while (a[i] < pivot);
            do
                --j;
            while (a[j] > pivot);
            if (j < i) break;
            std::swap(a[i], a[j]);
        }
        a[l + 1] = a[j];
        a[j] = pivot;
        if (j >= k) ir = j - 1;
        if (j <= k) l = j + 1;
    }
}

void TEmphasis::MeasureSamples(double* x, int32_t n, std::vector<double>& amplitudes,
                               double& energy, double& peak) {
    energy = 0.0;
    peak = 0.0;
    if (n <= 0) return;
    double sum = 0.0;
    for (int32_t i = 0; i < n; ++i)
        sum += x[i];
    const double mean = sum / n;
    for (int32_t i = 0; i < n; ++i)
        x[i] -= mean;

    amplitudes.clear();
    if (n > 6) {
        int32_t previous = 0;
        for (int32_t k = 3; k <= n - 4; ++k) {
            const double v = x[k];
            // Non-short-circuit tests: most samples are no extremum, and this branch alone
            // predicts well.
            const bool aboveNeighbours = (v > 0.0) & (v > x[k - 1]) & (v > x[k + 1]);
            const bool belowNeighbours = (v < 0.0) & (v < x[k - 1]) & (v < x[k + 1]);
            if (!(aboveNeighbours | belowNeighbours)) continue;
            const double before = (x[k - 2] + x[k - 3]) * 0.5;
            const double after = (x[k + 2] + x[k + 3]) * 0.5;
            const bool isExtremum =
                aboveNeighbours ? v > before && v > after : v < before && v < after;
            if (!isExtremum) continue;
            energy += v * v * double(k - previous);
            amplitudes.push_back(std::fabs(v));
            previous = k;
        }
    }

    const int32_t c = int32_t(amplitudes.size());
    if (c == 0) return;
    int32_t q = int32_t(std::floor(0.75 * c));
    if (q == c) q = c - 1;
    q = std::max(q, 0);
    QuickSelect(amplitudes.data(), c, q);
    double top = 0.0;
    for (int32_t i = q; i < c; ++i)
        top += amplitudes[size_t(i)];
    peak = top / (c - q);
}

namespace {

// Samples first..first+n-1 of the buffer. A one-chunk buffer maps index i to sample
// i - first index of its chunk, so a checked range is copied in one go instead of paying the
// chunk search per sample.
void ReadSamples(TAudioChunkyBuffer& buffer, int32_t first, int32_t n, double* out) {
    const int32_t last = first + n - 1;
    if (buffer.Count() == 1 && first >= buffer.getFirstIndex() && last <= buffer.getLastIndex()) {
        const TDigitalAudio& chunk = buffer[0];
        const int64_t offset = int64_t(first) - buffer.getFirstIndex();
        if (offset + n <= int64_t(chunk.getSampleCount())) {
            std::copy_n(chunk.getSample(uint32_t(offset)), n, out);
            return;
        }
    }
    for (int32_t j = 0; j < n; ++j)
        out[j] = buffer.getSample(first + j);
}

} // namespace

int32_t TEmphasis::Measure(const TDigitalAudio& audio, TPhonemeList& phonemes) {
    TAudioChunkyBuffer buffer(audio);
    const double rate = buffer.getSampleRate();
    const int32_t firstIndex = buffer.getFirstIndex();
    const int32_t lastIndex = buffer.getLastIndex();
    std::vector<double> samples;
    std::vector<double> amplitudes;

    for (int32_t i = 0; i < phonemes.Count(); ++i) {
        const TPhoneme& phoneme = phonemes[i];
        double energy = 0.0;
        double peak = 0.0;
        if (phoneme.IsVowel()) {
            if (lastIndex < firstIndex) throw eetArgumentFailure;
            const int32_t s =
                std::clamp(nearest(phoneme.StartMs() * rate / 1000.0), firstIndex, lastIndex);
            const int32_t e =
                std::clamp(nearest(phoneme.EndMs() * rate / 1000.0), firstIndex, lastIndex);
            if (s > e) throw eetArgumentFailure;
            const int32_t n = e - s + 1;
            samples.resize(size_t(n));
            double* x = samples.data();
            ReadSamples(buffer, s, n, x);
            MeasureSamples(x, n, amplitudes, energy, peak);
        }
        if (int32_t err = phonemes.SetEmphasisA(i, energy)) throw EErrorType(err);
        if (int32_t err = phonemes.SetEmphasisB(i, peak)) throw EErrorType(err);
    }
    return eetSuccess;
}

namespace {

// A NaN figure (only from non-finite samples) ranks as 0 so that the ordering stays strict.
double RankValue(double x) {
    return std::isnan(x) ? 0.0 : x;
}

} // namespace

int32_t TEmphasis::Select(TPhonemeList& phonemes, int32_t first) {
    if (first < 0) return eetDataFailure;
    TOrderedList energies;
    TOrderedList peaks;
    for (int32_t i = first; i < phonemes.Count(); ++i) {
        TPhoneme& phoneme = phonemes[i];
        phoneme.SetGestureFlag(false);
        if (!phoneme.IsVowel()) continue;
        energies.AppendUnordered({RankValue(phoneme.EmphasisA()), i});
        peaks.AppendUnordered({RankValue(phoneme.EmphasisB()), i});
    }
    energies.Order();
    peaks.Order();

    const int32_t n = energies.Count();
    double tE = std::numeric_limits<double>::max();
    double tP = std::numeric_limits<double>::max();
    if (n == 1) {
        tE = ceilingShare * energies[0].value;
        tP = ceilingShare * peaks[0].value;
    } else if (n >= 2) {
        const double eMax = energies[n - 1].value;
        const double pMax = peaks[n - 1].value;
        if (n <= 3) {
            tE = energyShareFew * eMax;
            tP = peakShareFew * pMax;
        } else {
            tE = (energies[n - 2].value + energies[n - 3].value) * energyShareMany * 0.5;
            tP = (peaks[n - 2].value + peaks[n - 3].value) * peakShareMany * 0.5;
            const int32_t a = std::clamp(nearest(n * energyRankShare), 0, n - 2);
            const int32_t b = std::clamp(nearest(n * peakRankShare), 0, n - 2);
            tE = std::max(tE, energies[a].value);
            tP = std::max(tP, peaks[b].value);
        }
        tE = std::min(tE, ceilingShare * eMax);
        tP = std::min(tP, ceilingShare * pMax);
    }

    if (int32_t err = phonemes.SetEnergyThreshold(tE)) throw EErrorType(err);
    if (int32_t err = phonemes.SetPeakThreshold(tP)) throw EErrorType(err);
    for (int32_t i = first; i < phonemes.Count(); ++i) {
        TPhoneme& phoneme = phonemes[i];
        phoneme.SetGestureFlag(phoneme.EmphasisA() > tE || phoneme.EmphasisB() > tP);
    }
    return eetSuccess;
}

} // namespace Vantrix
