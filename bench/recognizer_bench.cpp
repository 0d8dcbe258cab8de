// Front end and classifier costs. The "cpu_s_per_audio_s" counter is CPU seconds spent per
// second of audio analysed.
#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "classifier.h"
#include "frontend.h"
#include "matvec.h"

using namespace Vantrix;

namespace {

constexpr double kAudioSeconds = 10.0;

benchmark::Counter PerAudioSecond() {
    return benchmark::Counter(kAudioSeconds, benchmark::Counter::kIsIterationInvariantRate |
                                                 benchmark::Counter::kInvert);
}

// Voiced harmonics with a wandering pitch, plus noise and a pause: speech-like work for the
// pitch search and the predictor.
std::vector<double> SpeechLike(uint32_t rate) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<double> x(size_t(kAudioSeconds * rate));
    double phase = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double f0 = 120.0 + 40.0 * std::sin(2.0 * M_PI * 0.7 * t);
        phase += 2.0 * M_PI * f0 / rate;
        double v = 0.0;
        for (int h = 1; h <= 10; ++h)
            v += std::sin(h * phase) / h;
        const bool pause = std::fmod(t, 2.5) > 2.2;
        x[i] = pause ? 0.0 : std::round(5000.0 * v + noise(rng));
    }
    return x;
}

void BM_FrontEnd(benchmark::State& state) {
    const uint32_t rate = uint32_t(state.range(0));
    const std::vector<double> x = SpeechLike(rate);
    for (auto _ : state) {
        FramePropertiesVector frames;
        computeFrameProperties(x.data(), uint32_t(x.size()), rate, frames);
        normaliseFrameProperties(frames);
        benchmark::DoNotOptimize(frames.At(1).features[0]);
    }
    state.counters["cpu_s_per_audio_s"] = PerAudioSecond();
}
BENCHMARK(BM_FrontEnd)->Arg(16000)->Arg(8000)->Unit(benchmark::kMillisecond);

// A network of the shipped shape: bias, 13 inputs, S state and S hidden units, 41 classes.
TNetworkWeights RealisticNetwork(int32_t stateUnits = 256) {
    TNetworkLayout l;
    l.stateCount = stateUnits;
    l.firstInput = 1;
    l.inputEnd = 14;
    l.firstComputed = 14 + stateUnits;
    l.firstOutput = l.firstComputed + stateUnits;
    l.unitCount = l.firstOutput + 41;
    TNetworkWeights net(l);
    std::mt19937 rng(11);
    std::normal_distribution<float> weight(0.0f, 0.1f);
    net.InitialUnits()[0] = 1.0f;
    const size_t count = size_t(l.ComputedCount()) * size_t(l.firstComputed);
    for (size_t i = 0; i < count; ++i)
        net.Weights()[i] = weight(rng);
    return net;
}

FramePropertiesVector RandomFrames(int32_t count) {
    std::mt19937 rng(13);
    std::normal_distribution<float> value(0.0f, 1.0f);
    FramePropertiesVector frames;
    frames.Include(1);
    frames.Include(count);
    for (int32_t i = 1; i <= count; ++i)
        for (float& f : frames.At(i).features)
            f = value(rng);
    frames.At(count).flags = kFrameFlagLast;
    return frames;
}

// Argument: state units (the shipped size and the alternatives weighed against it).
void BM_BothNetworks(benchmark::State& state) {
    const TNetworkWeights net = RealisticNetwork(int32_t(state.range(0)));
    const FramePropertiesVector frames = RandomFrames(int32_t(kAudioSeconds * 1000 / 16));
    for (auto _ : state) {
        FrameProbabilitiesVector forward, backward;
        runNetwork(net, ndForward, frames, forward);
        runNetwork(net, ndBackward, frames, backward);
        mergeDirections(41, forward, backward);
        benchmark::DoNotOptimize(forward.At(0).scores[0]);
    }
    state.counters["cpu_s_per_audio_s"] = PerAudioSecond();
}
BENCHMARK(BM_BothNetworks)->Arg(128)->Arg(256)->Arg(384)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_MatVec(benchmark::State& state) {
    const bool vector = state.range(0) != 0;
    if (vector && !cpuHasAvx2Fma()) {
        state.SkipWithError("no AVX2/FMA");
        return;
    }
    const TMatVecRoutine routine = vector ? matVecAvx2Fma : matVecPortable;
    const int32_t rows = 297, cols = 270; // the realistic network's product
    std::vector<float> w(size_t(rows) * cols, 0.01f), x(size_t(cols), 0.5f);
    std::vector<float> out(static_cast<size_t>(rows));
    for (auto _ : state) {
        routine(rows, cols, w.data(), x.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(vector ? "avx2/fma" : "portable");
}
BENCHMARK(BM_MatVec)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
