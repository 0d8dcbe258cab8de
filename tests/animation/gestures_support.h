// Builders and checks shared by the gesture-stage and lip-sync tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "gestures_actions.h"
#include "gestures_map.h"
#include "notification.h"
#include "phonemes.h"
#include "tracks.h"

namespace Vantrix {
namespace testing_support {

constexpr int32_t kSil = 40;
constexpr int32_t kAa = 5; // a vowel
constexpr int32_t kS = 16; // a consonant

struct TSeg {
    int32_t id;
    int32_t durationMs;
    bool emphasised = false;
};

// Contiguous segments from time 0.
inline TPhonemeList MakeList(const std::vector<TSeg>& segs) {
    TPhonemeList list;
    int32_t t = 0;
    for (const TSeg& s : segs) {
        EXPECT_EQ(list.AppendSegment(TPhoneme(s.id, t, t + s.durationMs, 0, s.emphasised)), 0);
        t += s.durationMs;
    }
    return list;
}

// Speech of 100 ms consonants with emphasised vowels starting at the given times (ascending,
// multiples of 100 ms), ending at endMs.
inline TPhonemeList SpeechWithEmphasisAt(const std::vector<int32_t>& times, int32_t endMs) {
    std::vector<TSeg> segs;
    size_t next = 0;
    for (int32_t t = 0; t < endMs; t += 100) {
        const bool hit = next < times.size() && times[next] == t;
        if (hit) ++next;
        segs.push_back({hit ? kAa : kS, 100, hit});
    }
    return MakeList(segs);
}

// Default map with every action type drawing the given variant, its blink certain if asked.
inline TSpeechGesturesMap ForcedVariantMap(int32_t variant, bool certainBlink = false) {
    TSpeechGesturesMap map = DefaultSpeechGesturesMap();
    for (int32_t v = 0; v < kGestureVariantCount; ++v)
        for (int32_t t = 0; t < kActionTypeCount; ++t)
            EXPECT_EQ(map.SetVariantWeight(v, t, v == variant ? 1.0 : 0.0), 0);
    TGesturePartRecord blink = map.Part(variant, egpBlink);
    blink.probability = certainBlink ? 1.0 : blink.probability;
    EXPECT_EQ(map.SetPart(variant, egpBlink, blink), 0);
    return map;
}

// Idle head and gaze that never leave 0 (their keys are cleaned away).
inline void SilenceIdleMotion(TSpeechGesturesMap& map) {
    for (int32_t i = 0; i < kHeadRecordCount; ++i) {
        THeadRecord r = map.HeadRecord(i);
        r.probability = 0.0;
        EXPECT_EQ(map.SetHeadRecord(i, r), 0);
    }
    for (int32_t i = 0; i < kGazeRecordCount; ++i) {
        TGazeRecord r = map.GazeRecord(i);
        r.weight = i == 0 ? 1.0 : 0.0;
        EXPECT_EQ(map.SetGazeRecord(i, r), 0);
    }
}

// Every track strictly ascending with finite values, slopes and handles.
inline void ExpectWellFormed(const TTrackList& tracks) {
    for (const TTrack& track : tracks) {
        const TKeyList& keys = track.Keys();
        for (int32_t i = 0; i < keys.Count(); ++i) {
            const TKey& key = keys[i];
            for (double x : {key.Value(), key.InSlope(), key.OutSlope(), key.InHandle().timeMs,
                             key.InHandle().value, key.OutHandle().timeMs, key.OutHandle().value})
                ASSERT_TRUE(std::isfinite(x)) << "track " << track.Index() << " key " << i;
            if (i > 0) {
                ASSERT_LT(keys[i - 1].TimeMs(), key.TimeMs()) << "track " << track.Index();
            }
        }
    }
}

inline bool SameKeys(const TKeyList& a, const TKeyList& b) {
    if (a.Count() != b.Count()) return false;
    for (int32_t i = 0; i < a.Count(); ++i) {
        const TKey& x = a[i];
        const TKey& y = b[i];
        if (x.TimeMs() != y.TimeMs() || x.Value() != y.Value() ||
            x.InHandle().value != y.InHandle().value || x.OutHandle().value != y.OutHandle().value)
            return false;
    }
    return true;
}

inline bool SameTracks(const TTrackList& a, const TTrackList& b) {
    if (a.Count() != b.Count()) return false;
    for (int32_t i = 0; i < a.Count(); ++i)
        if (a[i].Index() != b[i].Index() || !SameKeys(a[i].Keys(), b[i].Keys())) return false;
    return true;
}

// The idle-motion stage on its own: the default map and no speech-gesture actions.
class TIdleMotionTest : public ::testing::Test {
protected:
    TSpeechGesturesMap map = DefaultSpeechGesturesMap();
    TEmphasisActionList noActions{map};
};

class TCountingClient : public ANotificationClient {
public:
    void OnNotify(ANotificationServer& server) override { kinds += std::to_string(server.Kind()); }
    std::string kinds;
};

// A mapper's SelectDefault copies the first map labelled 0 and tells its clients; without one it
// changes nothing and tells nobody. The setter and getter reach one field of the map.
template <typename TMapper, typename TMap>
void ExpectSelectsTheFirstDefault(int32_t (TMap::*set)(int32_t), int32_t (TMap::*get)() const) {
    TMapper mapper;
    TCountingClient client;
    mapper.Attach(&client);
    const int32_t builtIn = (mapper.Current().*get)();
    EXPECT_EQ((mapper.Current().*set)(5), 0);
    EXPECT_EQ(mapper.SelectDefault(), 0);
    EXPECT_EQ((mapper.Current().*get)(), builtIn);
    EXPECT_EQ(client.kinds, std::to_string(mapper.Kind()));

    mapper.Maps()[0].SetLabel(4);
    (mapper.Current().*set)(5);
    EXPECT_EQ(mapper.SelectDefault(), 1);
    EXPECT_EQ((mapper.Current().*get)(), 5);
    EXPECT_EQ(client.kinds.size(), 1u);

    auto second = mapper.Maps()[0];
    second.SetLabel(0);
    for (int32_t value : {77, 88}) {
        EXPECT_EQ((second.*set)(value), 0);
        mapper.Maps().Append(second);
    }
    EXPECT_EQ(mapper.SelectDefault(), 0);
    EXPECT_EQ((mapper.Current().*get)(), 77);
    mapper.Detach(&client);
}

} // namespace testing_support
} // namespace Vantrix
