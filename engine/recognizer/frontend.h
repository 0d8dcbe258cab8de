// Acoustic front end: one record of 13 features (log energy and 12 cepstral coefficients of a
// warped, pitch-smoothed, cube-root-compressed spectrum) per 16 ms frame of an 8 or 16 kHz sound.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "digital_audio.h"
#include "frames.h"

namespace Vantrix {

// Cosine rows (orders 0..12) of the warped transform, and the prediction order.
constexpr int32_t kCepstrumRows = 13;
constexpr int32_t kPredictionOrder = 12;
constexpr int32_t kMaxPredictionOrder = 64;
constexpr double kHighestPitchHz = 300.0;
constexpr double kDcCornerHz = 30.0;

// Framing and spectrum sizes for one rate.
struct TFrontEndParameters {
    uint32_t sampleRate = 0;
    uint32_t frameShift = 0;     // samples per frame step
    uint32_t windowSize = 0;     // frame length, also the FFT size N
    uint32_t upperFrequency = 0; // highest frequency used, F
    uint32_t binCount = 0;       // K = floor(N F / rate + 0.5)
    double warpingRate = 0.0;    // fs' = 2 K rate / N
};

// Derives K and fs'. Throws eetCatastrophicFailure unless the shift is even and positive, the
// window a power of two not below the shift, and F in (0, rate / 2].
TFrontEndParameters makeFrontEndParameters(uint32_t sampleRate, uint32_t frameShift,
                                           uint32_t windowSize, uint32_t upperFrequency);

// The engine's parameters: 16000 Hz (shift 256, window 512, F 8000) or 8000 Hz (128, 256,
// 3500). Throws eetCatastrophicFailure for any other rate.
TFrontEndParameters frontEndParameters(uint32_t sampleRate);

// Cuts a sound into overlapping frames with DC removal (a first-order high-pass at 30 Hz).
class TFramer {
public:
    // samples must outlive the framer.
    TFramer(const TFrontEndParameters& parameters, const double* samples, uint32_t count);

    // Writes the next windowSize samples into frame; false once framing has stopped.
    bool Next(float* frame);

    // Frames a sound of count samples yields.
    static int64_t FrameCount(const TFrontEndParameters& parameters, uint32_t count);

private:
    const double* samples;
    uint32_t count;
    uint32_t position;
    uint32_t shift;
    uint32_t kept; // window - shift samples carried to the next frame
    int64_t counter;
    float a, c, g; // high-pass pole, output gain, input gain
    float filterState = 0.0f;
    std::vector<float> history;
    bool stopped = false;
};

// Per-frame analysis; holds the FFT plan, the Hann window and the warped-cosine matrix so a
// sound builds them once.
class TFrameAnalyser {
public:
    explicit TFrameAnalyser(const TFrontEndParameters& parameters);
    ~TFrameAnalyser();
    TFrameAnalyser(const TFrameAnalyser&) = delete;
    TFrameAnalyser& operator=(const TFrameAnalyser&) = delete;

    // Features of one frame of windowSize samples; the frame is windowed in place.
    void Analyse(float* frame, float features[kFeatureCount]);

    // Pitch lag and smoothing-kernel length found for the last frame analysed.
    int32_t LastPitchLag() const { return pitchLag; }
    int32_t LastKernelLength() const { return kernelLength; }

    // Warped-cosine matrix entry cos(m theta_j) theta'_j.
    double WarpEntry(int32_t m, int32_t j) const;

private:
    struct TState;

    int32_t FindPitchLag();
    void SmoothAndCompress();

    TFrontEndParameters parameters;
    std::unique_ptr<TState> state;
    int32_t pitchLag = 0;
    int32_t kernelLength = 0;
};

// Fills frames (indices 1..number of frames) with the features of the sound, which must be at
// 16000 or 8000 Hz. Returns 0; throws eetCatastrophicFailure for another rate.
int32_t computeFrameProperties(const TDigitalAudio& sound, FramePropertiesVector& frames);
int32_t computeFrameProperties(const double* samples, uint32_t count, uint32_t sampleRate,
                               FramePropertiesVector& frames);

// Mean and variance normalisation of the first featureCount features over the active frames
// (energy above ln 0.5); then every flag is 0 but the last record's, which is 128. Returns 0,
// eetRangeFailure for an empty vector, eetArgumentFailure for a count outside 1..13.
int32_t normaliseFrameProperties(FramePropertiesVector& frames,
                                 int32_t featureCount = kFeatureCount);

} // namespace Vantrix
