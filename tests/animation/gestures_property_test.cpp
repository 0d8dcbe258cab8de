#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "digital_audio.h"
#include "emphasis.h"
#include "gestures.h"
#include "gestures_support.h"

namespace Vantrix {
namespace {

using namespace testing_support;

// Random valid phoneme lists with a matching random sound, through emphasis and gestures.
TEST(GesturesProperty, RandomInputsGiveWellFormedRepeatableTracks) {
    std::mt19937 gen(20240611);
    const int32_t seeds[] = {0, 1, -1, 123459876, INT32_MAX, INT32_MIN, 987654321, -55555};
    const TSpeechGesturesMap map = DefaultSpeechGesturesMap();
    for (int32_t trial = 0; trial < 40; ++trial) {
        std::vector<TSeg> segs;
        const int32_t count = 1 + int32_t(gen() % 300);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t id = int32_t(gen() % 41);
            // Mostly speech-like durations, now and then a long pause.
            const int32_t duration =
                gen() % 20 == 0 ? 16 + int32_t(gen() % 4000) : 16 + int32_t(gen() % 250);
            segs.push_back({id, duration});
        }
        TPhonemeList list = MakeList(segs);

        const uint32_t rate = trial % 2 ? 16000 : 8000;
        // The sound may end before the phonemes do.
        const uint32_t samples =
            uint32_t(double(list.EndTime()) * rate / 1000.0 * (trial % 5 == 0 ? 0.5 : 1.0));
        std::vector<double> wave(samples);
        std::normal_distribution<double> noise(0.0, 1.0);
        for (uint32_t i = 0; i < samples; ++i)
            wave[i] =
                std::round(3000.0 * std::sin(i * 0.05) * std::sin(i * 0.0003) + 200.0 * noise(gen));
        TEmphasis emphasis;
        if (samples > 0) {
            ASSERT_EQ(emphasis.Measure(TDigitalAudio(rate, samples, wave.data()), list), 0);
        }
        ASSERT_EQ(emphasis.Select(list, 0), 0);
        for (const TPhoneme& phoneme : list)
            ASSERT_TRUE(phoneme.IsVowel() || !phoneme.GestureFlag());

        const int32_t seed = seeds[trial % 8];
        TGesturesGenerator generator(map);
        TTrackList tracks;
        ASSERT_EQ(generator.Run(list, tracks, seed), 0) << "trial " << trial;
        ASSERT_EQ(tracks.Count(), kGestureTrackCount);
        for (int32_t g = 0; g < kGestureTrackCount; ++g)
            ASSERT_EQ(tracks[g].Index(), g);
        ExpectWellFormed(tracks);

        // Same seed, same tracks; over half a minute another seed moves something else.
        TTrackList again;
        ASSERT_EQ(TGesturesGenerator(map).Run(list, again, seed), 0);
        ASSERT_TRUE(SameTracks(tracks, again)) << "trial " << trial;
        ASSERT_EQ(generator.Run(list, again, seed ^ 1), 0);
        EXPECT_TRUE(list.EndTime() < 30000 || !SameTracks(tracks, again)) << "trial " << trial;
    }
}

} // namespace
} // namespace Vantrix
