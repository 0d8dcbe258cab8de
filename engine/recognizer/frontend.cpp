#include "frontend.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <kissfft/kiss_fftr.h>

#include "errors.h"

namespace Vantrix {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Below this the high-pass state is flushed to zero, so silence after sound stays exact.
constexpr float kFilterFloor = 1.1920929e-7f;
// Columns of a row of the transposed warped-cosine matrix: 13 used, padded for vector lanes.
constexpr int32_t kWarpStride = 16;
// Two doubles in one vector register (generic compiler vector extension).
typedef double TPair __attribute__((vector_size(16)));

struct TFftFree {
    void operator()(kiss_fftr_state* plan) const { kiss_fftr_free(plan); }
};

// Cube root. Within [1e-300, 1e300] (where cubes cannot overflow): a bit-level first guess (within
// about 5%) refined by two Halley steps (cubic convergence) to double precision's last bits;
// several times faster than the library's cbrt, which dominated the per-frame cost.
inline double cubeRoot(double x) {
    if (!(x >= 1e-300 && x <= 1e300)) return std::cbrt(x);
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits = bits / 3 + 0x2A9F7893782DA1CEull;
    double y;
    std::memcpy(&y, &bits, sizeof y);
    for (int i = 0; i < 2; ++i) {
        const double y3 = y * y * y;
        y *= (y3 + 2.0 * x) / (2.0 * y3 + x);
    }
    return y;
}

bool isPowerOfTwo(uint32_t x) {
    return x != 0 && (x & (x - 1)) == 0;
}

// Predictor a[1..order] from autocorrelation r[0..order] (x[n] ~ sum a[i] x[n - i]).
void levinsonDurbin(const double* r, int32_t order, double* a) {
    if (order > kMaxPredictionOrder) throw eetCatastrophicFailure;
    double previous[kMaxPredictionOrder + 1];
    for (int32_t i = 0; i <= order; ++i)
        a[i] = 0.0;
    double error = r[0];
    for (int32_t i = 1; i <= order; ++i) {
        // Once the error is not positive the remaining coefficients stay 0.
        if (!(error > 0.0)) break;
        double acc = r[i];
        for (int32_t j = 1; j < i; ++j)
            acc -= a[j] * r[i - j];
        const double k = acc / error;
        std::copy(a, a + i, previous);
        a[i] = k;
        for (int32_t j = 1; j < i; ++j)
            a[j] = previous[j] - k * previous[i - j];
        error *= 1.0 - k * k;
    }
}

// Cepstrum c[1..order] of the all-pole model a[1..order].
void predictorCepstrum(const double* a, int32_t order, double* c) {
    for (int32_t p = 1; p <= order; ++p) {
        double sum = a[p];
        for (int32_t k = 1; k < p; ++k)
            sum += (double(k) / p) * c[k] * a[p - k];
        c[p] = sum;
    }
}

} // namespace

TFrontEndParameters makeFrontEndParameters(uint32_t sampleRate, uint32_t frameShift,
                                           uint32_t windowSize, uint32_t upperFrequency) {
    if (frameShift == 0 || frameShift % 2 != 0) throw eetCatastrophicFailure;
    if (!isPowerOfTwo(windowSize) || windowSize < frameShift || windowSize < 4)
        throw eetCatastrophicFailure;
    if (upperFrequency == 0 || uint64_t(upperFrequency) * 2 > sampleRate)
        throw eetCatastrophicFailure;
    TFrontEndParameters p;
    p.sampleRate = sampleRate;
    p.frameShift = frameShift;
    p.windowSize = windowSize;
    p.upperFrequency = upperFrequency;
    p.binCount = uint32_t(std::floor(double(windowSize) * upperFrequency / sampleRate + 0.5));
    if (p.binCount == 0) throw eetCatastrophicFailure;
    p.warpingRate = 2.0 * p.binCount * double(sampleRate) / windowSize;
    return p;
}

TFrontEndParameters frontEndParameters(uint32_t sampleRate) {
    if (sampleRate == 16000) return makeFrontEndParameters(16000, 256, 512, 8000);
    if (sampleRate == 8000) return makeFrontEndParameters(8000, 128, 256, 3500);
    throw eetCatastrophicFailure;
}

// ---- Framing ----

TFramer::TFramer(const TFrontEndParameters& p, const double* samples, uint32_t count)
    : samples(samples), count(samples ? count : 0), shift(p.frameShift),
      kept(p.windowSize - p.frameShift), history(p.windowSize - p.frameShift, 0.0f) {
    const double pole = std::exp(-2.0 * kPi * kDcCornerHz / p.sampleRate);
    a = float(pole);
    c = float(1.0 / std::sqrt(pole));
    g = float((1.0 - pole) / std::sqrt(pole));

    // The first h samples are placed unfiltered at the end of the kept part, less their mean.
    const uint32_t h = kept / 2;
    const uint32_t primed = std::min(h, this->count);
    double sum = 0.0;
    for (uint32_t i = 0; i < primed; ++i) {
        // 16-bit truncation; resampled sounds may overshoot, so saturate rather than wrap.
        const double s = std::trunc(samples[i]);
        history[kept - h + i] = float(std::min(32767.0, std::max(-32768.0, s)));
        sum += history[kept - h + i];
    }
    const float mean = primed ? float(sum / primed) : 0.0f;
    for (uint32_t i = 0; i < primed; ++i)
        history[kept - h + i] -= mean;
    position = h;
    counter = h;
}

int64_t TFramer::FrameCount(const TFrontEndParameters& p, uint32_t count) {
    // Full steps keep the counter at h; after them each step loses (shift - samples read).
    const uint64_t h = (p.windowSize - p.frameShift) / 2;
    const uint64_t remaining = count > h ? count - h : 0;
    return int64_t(remaining / p.frameShift + (h + remaining % p.frameShift) / p.frameShift);
}

bool TFramer::Next(float* frame) {
    if (stopped) return false;
    const uint32_t available = count > position ? count - position : 0;
    const uint32_t read = std::min(shift, available);
    counter += int64_t(read) - int64_t(shift);
    if (counter < 0) {
        stopped = true;
        return false;
    }
    std::copy(history.begin(), history.end(), frame);
    const double* in = samples + position;
    float s = filterState;
    float* out = frame + kept;
    for (uint32_t i = 0; i < shift; ++i) {
        const float x = i < read ? float(in[i]) : 0.0f;
        s = a * s + g * x;
        if (std::fabs(s) < kFilterFloor) s = 0.0f;
        out[i] = c * x - s;
    }
    filterState = s;
    position += read;
    std::copy(frame + shift, frame + shift + kept, history.begin());
    return true;
}

// ---- Per-frame analysis ----

struct TFrameAnalyser::TState {
    std::unique_ptr<kiss_fftr_state, TFftFree> plan;
    std::vector<float> hann;
    std::vector<float> power;           // N-point symmetric power spectrum
    std::vector<kiss_fft_cpx> spectrum; // N / 2 + 1 bins
    std::vector<double> kernel;
    int32_t kernelHarmonic = 0;     // n the kernel was built for
    std::vector<double> compressed; // Q[j], j < K
    std::vector<double> warp;       // K rows of kWarpStride: the transposed matrix
};

TFrameAnalyser::TFrameAnalyser(const TFrontEndParameters& p) : parameters(p), state(new TState) {
    const uint32_t n = p.windowSize;
    const uint32_t bins = p.binCount;
    TState& s = *state;
    s.plan.reset(kiss_fftr_alloc(int(n), 0, nullptr, nullptr));
    if (!s.plan) throw eetCatastrophicFailure;
    s.hann.resize(n);
    for (uint32_t i = 0; i < n; ++i)
        s.hann[i] = float(0.5 - 0.5 * std::cos(2.0 * kPi * i / (n - 1)));
    s.power.assign(n, 0.0f);
    s.spectrum.resize(n / 2 + 1);
    s.kernel.reserve(n);
    s.compressed.assign(bins, 0.0);

    const double alpha =
        1.0211 * std::sqrt((2.0 / kPi) * std::atan(7.6e-5 * p.warpingRate)) - 0.19877;
    s.warp.assign(size_t(bins) * kWarpStride, 0.0);
    for (uint32_t j = 0; j < bins; ++j) {
        const double omega = j * kPi / bins;
        const double theta =
            omega + 2.0 * std::atan(alpha * std::sin(omega) / (1.0 - alpha * std::cos(omega)));
        const double slope =
            (1.0 - alpha * alpha) / (1.0 + alpha * alpha - 2.0 * alpha * std::cos(omega));
        for (int32_t m = 0; m < kCepstrumRows; ++m)
            s.warp[size_t(j) * kWarpStride + m] = std::cos(m * theta) * slope;
    }
}

TFrameAnalyser::~TFrameAnalyser() = default;

double TFrameAnalyser::WarpEntry(int32_t m, int32_t j) const {
    return state->warp.at(size_t(j) * kWarpStride + size_t(m));
}

int32_t TFrameAnalyser::FindPitchLag() {
    TState& s = *state;
    const int32_t half = int32_t(parameters.windowSize / 2);
    // The transform of the symmetric power spectrum is real: the autocorrelation.
    kiss_fftr(s.plan.get(), s.power.data(), s.spectrum.data());
    const int32_t first =
        std::min(half, std::max(1, int32_t(parameters.sampleRate / kHighestPitchHz)));
    const int32_t last = std::max(first, half - 1);
    int32_t best = first;
    for (int32_t lag = first + 1; lag <= last; ++lag)
        if (s.spectrum[size_t(lag)].r > s.spectrum[size_t(best)].r) best = lag;
    return best;
}

void TFrameAnalyser::SmoothAndCompress() {
    TState& s = *state;
    const int32_t half = int32_t(parameters.windowSize / 2);
    const int32_t n =
        std::max(1, int32_t(std::floor(double(parameters.windowSize) / pitchLag + 0.5)));
    kernelLength = 2 * n - 1;
    if (n != s.kernelHarmonic) {
        s.kernel.resize(size_t(kernelLength));
        double total = 0.0;
        for (int32_t i = 0; i < kernelLength; ++i) {
            s.kernel[size_t(i)] = 0.5 - 0.5 * std::cos(2.0 * kPi * (i + 0.5) / kernelLength);
            total += s.kernel[size_t(i)];
        }
        for (double& v : s.kernel)
            v /= total;
        s.kernelHarmonic = n;
    }
    const float* p = s.power.data();
    const double* v = s.kernel.data();
    const int32_t bins = int32_t(parameters.binCount);
    for (int32_t j = 0; j < bins; ++j) {
        const int32_t from = std::max(0, j - n + 1);
        const int32_t to = std::min(half, j + n);
        double sum = 0.0;
        for (int32_t i = from; i < to; ++i)
            sum += p[i] * v[n - 1 + j - i];
        s.compressed[size_t(j)] = cubeRoot(sum);
    }
}

void TFrameAnalyser::Analyse(float* frame, float features[kFeatureCount]) {
    TState& s = *state;
    const uint32_t n = parameters.windowSize;
    const uint32_t half = n / 2;

    // Four partial sums break the chain of dependent additions.
    double sums[4] = {0.0, 0.0, 0.0, 0.0};
    for (uint32_t i = 0; i < n; i += 4) {
        for (uint32_t k = 0; k < 4; ++k) {
            frame[i + k] *= s.hann[i + k];
            sums[k] += double(frame[i + k]) * frame[i + k];
        }
    }
    const double energy = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    features[0] = float(std::log(energy / n + 0.5));

    kiss_fftr(s.plan.get(), frame, s.spectrum.data());
    for (uint32_t k = 0; k <= half; ++k) {
        const double re = s.spectrum[k].r, im = s.spectrum[k].i;
        s.power[k] = float(re * re + im * im);
    }
    for (uint32_t k = 1; k < half; ++k)
        s.power[n - k] = s.power[k];

    // The autocorrelation transform overwrites the spectrum, not the power it reads.
    pitchLag = FindPitchLag();
    SmoothAndCompress();

    // Eight two-lane sums hold the 13 (padded to 16) outputs in registers across all bins.
    TPair acc[kWarpStride / 2] = {};
    const double* w = s.warp.data();
    const double* q = s.compressed.data();
    for (uint32_t j = 0; j < parameters.binCount; ++j, w += kWarpStride) {
        const TPair qj = {q[j], q[j]};
        for (int32_t m = 0; m < kWarpStride / 2; ++m) {
            TPair wm;
            std::memcpy(&wm, w + 2 * m, sizeof wm);
            acc[m] += wm * qj;
        }
    }
    double r[kWarpStride];
    for (int32_t m = 0; m < kWarpStride / 2; ++m) {
        r[2 * m] = acc[m][0];
        r[2 * m + 1] = acc[m][1];
    }

    double a[kPredictionOrder + 1];
    double c[kPredictionOrder + 1] = {};
    levinsonDurbin(r, kPredictionOrder, a);
    predictorCepstrum(a, kPredictionOrder, c);
    for (int32_t i = 1; i <= kPredictionOrder; ++i)
        features[i] = float(c[i]);
}

// ---- Whole sound ----

int32_t computeFrameProperties(const double* samples, uint32_t count, uint32_t sampleRate,
                               FramePropertiesVector& frames) {
    const TFrontEndParameters p = frontEndParameters(sampleRate);
    const int64_t frameCount = TFramer::FrameCount(p, count);
    frames = FramePropertiesVector();
    if (frameCount == 0) return eetSuccess;
    // One allocation for the whole sound: the vector copies itself on every widening.
    frames.Include(1);
    frames.Include(int32_t(frameCount));

    TFramer framer(p, samples, count);
    TFrameAnalyser analyser(p);
    std::vector<float> buffer(p.windowSize);
    // Records trail the analysis by one frame; the first step writes into scratch.
    FrameProperties scratch;
    FrameProperties previous;
    int32_t step = 0;
    while (framer.Next(buffer.data())) {
        FrameProperties& target = step == 0 ? scratch : frames.At(step);
        target = previous;
        target.flags = step == 0 ? kFrameFlagScratch : kFrameFlagNone;
        analyser.Analyse(buffer.data(), previous.features);
        ++step;
    }
    if (step != frameCount) throw eetCatastrophicFailure;
    FrameProperties& last = frames.At(step);
    last = previous;
    last.flags = kFrameFlagLast;
    return eetSuccess;
}

int32_t computeFrameProperties(const TDigitalAudio& sound, FramePropertiesVector& frames) {
    return computeFrameProperties(sound.getSamples(), sound.getSampleCount(), sound.getSampleRate(),
                                  frames);
}

int32_t normaliseFrameProperties(FramePropertiesVector& frames, int32_t featureCount) {
    if (frames.IsEmpty()) return eetRangeFailure;
    if (featureCount < 1 || featureCount > kFeatureCount) return eetArgumentFailure;
    const int32_t low = frames.Low(), high = frames.High();
    // Compared in single precision: a silent frame's energy is exactly float(ln 0.5).
    const float silence = float(std::log(0.5));

    double mean[kFeatureCount] = {};
    double sigma[kFeatureCount];
    int64_t active = 0;
    for (int32_t i = low; i <= high; ++i) {
        const FrameProperties& f = frames.At(i);
        if (!(f.features[0] > silence)) continue;
        ++active;
        for (int32_t d = 0; d < featureCount; ++d)
            mean[d] += f.features[d];
    }
    for (int32_t d = 0; d < featureCount; ++d) {
        mean[d] = active ? mean[d] / active : 0.0;
        sigma[d] = 0.0;
    }
    for (int32_t i = low; i <= high; ++i) {
        const FrameProperties& f = frames.At(i);
        if (!(f.features[0] > silence)) continue;
        for (int32_t d = 0; d < featureCount; ++d) {
            const double e = f.features[d] - mean[d];
            sigma[d] += e * e;
        }
    }
    for (int32_t d = 0; d < featureCount; ++d) {
        sigma[d] = active ? std::sqrt(sigma[d] / active) : 1.0;
        // A feature constant over the active frames is only centred.
        if (!(sigma[d] > 0.0)) sigma[d] = 1.0;
    }
    for (int32_t i = low; i <= high; ++i) {
        FrameProperties& f = frames.At(i);
        for (int32_t d = 0; d < featureCount; ++d)
            f.features[d] = float((f.features[d] - mean[d]) / sigma[d]);
        f.flags = i == high ? kFrameFlagLast : kFrameFlagNone;
    }
    return eetSuccess;
}

} // namespace Vantrix
