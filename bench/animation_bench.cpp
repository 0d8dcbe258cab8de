// Cost of the animation stages over five minutes of synthetic speech at 16 kHz.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "digital_audio.h"
#include "emphasis.h"
#include "gestures.h"
#include "gestures_mapper.h"
#include "lip_sync.h"
#include "phonemes.h"
#include "rules_mapper.h"
#include "track_mapper.h"
#include "tracks.h"

namespace {

using namespace Vantrix;

constexpr int32_t kDurationMs = 300000;
constexpr uint32_t kRate = 16000;

// Syllables of consonant + vowel on the 16 ms frame grid, with a pause every few seconds, and a
// sound whose loudness varies per syllable.
struct TUtterance {
    TPhonemeList phonemes;
    std::vector<double> samples;

    TUtterance() {
        std::mt19937 gen(42);
        int32_t t = 0;
        int32_t sincePause = 0;
        while (t < kDurationMs - 2000) {
            int32_t id;
            int32_t frames;
            if (sincePause > 4000 && gen() % 4 == 0) {
                id = 40;
                frames = 20 + int32_t(gen() % 80);
                sincePause = 0;
            } else {
                const bool vowel = phonemes.Count() % 2 == 1;
                id = vowel ? int32_t(gen() % 16) : 16 + int32_t(gen() % 24);
                frames = vowel ? 5 + int32_t(gen() % 8) : 3 + int32_t(gen() % 5);
            }
            const int32_t duration = frames * 16;
            phonemes.AppendSegment(TPhoneme(id, t, t + duration));
            t += duration;
            sincePause += duration;
        }
        phonemes.AppendSegment(TPhoneme(40, t, kDurationMs));

        samples.resize(size_t(kDurationMs) * kRate / 1000);
        std::normal_distribution<double> noise(0.0, 150.0);
        for (const TPhoneme& p : phonemes) {
            const double loudness = p.Id() == 40 ? 0.0 : 1000.0 + double(gen() % 12000);
            const size_t s = size_t(p.StartMs()) * kRate / 1000;
            const size_t e = std::min(samples.size(), size_t(p.EndMs()) * kRate / 1000);
            for (size_t i = s; i < e; ++i)
                samples[i] =
                    std::round(loudness * std::sin(double(i) * 0.07) * std::sin(double(i) * 0.011) +
                               noise(gen));
        }
    }
};

const TUtterance& Utterance() {
    static const TUtterance utterance;
    return utterance;
}

void BM_Emphasis(benchmark::State& state) {
    const TUtterance& u = Utterance();
    const TDigitalAudio audio(kRate, uint32_t(u.samples.size()), u.samples.data());
    TPhonemeList phonemes = u.phonemes;
    TEmphasis emphasis;
    for (auto _ : state) {
        emphasis.Measure(audio, phonemes);
        emphasis.Select(phonemes, 0);
        benchmark::ClobberMemory();
    }
    int64_t marked = 0;
    for (const TPhoneme& p : phonemes)
        marked += p.GestureFlag();
    state.counters["phonemes"] = phonemes.Count();
    state.counters["emphasised"] = double(marked);
}
BENCHMARK(BM_Emphasis)->Unit(benchmark::kMillisecond);

void BM_Gestures(benchmark::State& state) {
    const TUtterance& u = Utterance();
    const TDigitalAudio audio(kRate, uint32_t(u.samples.size()), u.samples.data());
    TPhonemeList phonemes = u.phonemes;
    TEmphasis emphasis;
    emphasis.Measure(audio, phonemes);
    emphasis.Select(phonemes, 0);
    const TGesturesMapper mapper;
    TTrackList tracks;
    int32_t seed = 1;
    for (auto _ : state) {
        TGesturesGenerator generator(mapper.Current());
        benchmark::DoNotOptimize(generator.Run(phonemes, tracks, seed++));
    }
    int64_t keys = 0;
    for (const TTrack& track : tracks)
        keys += track.Keys().Count();
    state.counters["keys"] = double(keys);
}
BENCHMARK(BM_Gestures)->Unit(benchmark::kMillisecond);

// What the driver runs after lip synching: measure, select, then the gestures.
void BM_EmphasisAndGestures(benchmark::State& state) {
    const TUtterance& u = Utterance();
    const TDigitalAudio audio(kRate, uint32_t(u.samples.size()), u.samples.data());
    const TGesturesMapper mapper;
    TTrackList tracks;
    for (auto _ : state) {
        TPhonemeList phonemes = u.phonemes;
        TEmphasis emphasis;
        emphasis.Measure(audio, phonemes);
        emphasis.Select(phonemes, 0);
        TGesturesGenerator generator(mapper.Current());
        benchmark::DoNotOptimize(generator.Run(phonemes, tracks, 12345));
    }
}
BENCHMARK(BM_EmphasisAndGestures)->Unit(benchmark::kMillisecond);

void BM_LipSync(benchmark::State& state) {
    const TUtterance& u = Utterance();
    const TTrackMapper trackMapper;
    const TRulesMapper rulesMapper;
    TTrackList tracks;
    for (auto _ : state) {
        TLipSynching lipSync(trackMapper.Current(), rulesMapper.Current());
        benchmark::DoNotOptimize(lipSync.Run(u.phonemes, tracks, false));
    }
    int64_t keys = 0;
    for (const TTrack& track : tracks)
        keys += track.Keys().Count();
    state.counters["keys"] = double(keys);
}
BENCHMARK(BM_LipSync)->Unit(benchmark::kMillisecond);

// The whole animation stage of one analysis: speech-target tracks, emphasis, gesture tracks.
void BM_AnimationStage(benchmark::State& state) {
    const TUtterance& u = Utterance();
    const TDigitalAudio audio(kRate, uint32_t(u.samples.size()), u.samples.data());
    const TTrackMapper trackMapper;
    const TRulesMapper rulesMapper;
    const TGesturesMapper gesturesMapper;
    TTrackList speechTracks, gestureTracks;
    for (auto _ : state) {
        TPhonemeList phonemes = u.phonemes;
        TLipSynching lipSync(trackMapper.Current(), rulesMapper.Current());
        benchmark::DoNotOptimize(lipSync.Run(phonemes, speechTracks, false));
        TEmphasis emphasis;
        emphasis.Measure(audio, phonemes);
        emphasis.Select(phonemes, 0);
        TGesturesGenerator generator(gesturesMapper.Current());
        benchmark::DoNotOptimize(generator.Run(phonemes, gestureTracks, 12345));
    }
    state.counters["phonemes"] = u.phonemes.Count();
}
BENCHMARK(BM_AnimationStage)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
