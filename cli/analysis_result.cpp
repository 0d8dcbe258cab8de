#include "analysis_result.h"

namespace Vantrix {

namespace {

const char* const kIdentityNames[41] = {
    "iy", "ih", "eh", "ey", "ae", "aa", "aw", "ay", "ah", "ao", "oy", "ow", "uh", "uw",
    "er", "ax", "s",  "sh", "z",  "zh", "f",  "th", "v",  "dh", "m",  "n",  "ng", "l",
    "r",  "w",  "y",  "hh", "b",  "d",  "jh", "g",  "p",  "t",  "k",  "ch", "sil"};

const char* const kGestureNames[11] = {
    "Raise Left Eyebrow",  "Raise Right Eyebrow", "Blink Left",       "Blink Right",
    "Head Bend",           "Head Side-Side",      "Head Twist",       "Left Eye Side-Side",
    "Right Eye Side-Side", "Left Eye Up-Down",    "Right Eye Up-Down"};

using CountQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t*);
using NumKeysQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t*);
using KeyQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t, double*, double*, double*,
                              double*);

uint32_t ReadTracks(VOXTRAIL_ANALYSIS* analysis, CountQuery count, NumKeysQuery numKeys,
                    KeyQuery getKey, bool named, std::vector<TResultTrack>& out) {
    int32_t tracks = 0;
    if (uint32_t code = count(analysis, &tracks)) return code;
    out.assign(size_t(tracks), {});
    for (int32_t t = 0; t < tracks; ++t) {
        TResultTrack& track = out[size_t(t)];
        if (named && GestureName(t)) track.name = GestureName(t);
        int32_t keys = 0;
        if (uint32_t code = numKeys(analysis, t, &keys)) return code;
        track.keys.resize(size_t(keys));
        for (int32_t k = 0; k < keys; ++k) {
            TResultKey& key = track.keys[size_t(k)];
            if (uint32_t code =
                    getKey(analysis, t, k, &key.time, &key.value, &key.inSlope, &key.outSlope))
                return code;
        }
    }
    return VOXTRAIL_NOERR;
}

} // namespace

const char* PhonemeIdentityName(int32_t id) {
    return id >= 0 && id < 41 ? kIdentityNames[id] : nullptr;
}

const char* GestureName(int32_t index) {
    return index >= 0 && index < 11 ? kGestureNames[index] : nullptr;
}

uint32_t ReadAnalysis(VOXTRAIL_ANALYSIS* analysis, TAnalysisResult& out) {
    int32_t phonemes = 0, words = 0;
    if (uint32_t code = VoxtrailGetNumPhonemes(analysis, &phonemes)) return code;
    out.phonemes.assign(size_t(phonemes), {});
    for (int32_t i = 0; i < phonemes; ++i) {
        TResultSegment& segment = out.phonemes[size_t(i)];
        if (uint32_t code = VoxtrailGetPhonemeId(analysis, i, &segment.id)) return code;
        if (uint32_t code = VoxtrailGetPhonemeStartTime(analysis, i, &segment.start)) return code;
        if (uint32_t code = VoxtrailGetPhonemeEndTime(analysis, i, &segment.end)) return code;
    }
    out.duration = out.phonemes.empty() ? 0.0 : out.phonemes.back().end;

    if (uint32_t code = VoxtrailGetNumWords(analysis, &words)) return code;
    out.words.assign(size_t(words), {});
    for (int32_t i = 0; i < words; ++i) {
        TResultWord& word = out.words[size_t(i)];
        char buffer[1024];
        if (uint32_t code = VoxtrailGetWordText(analysis, i, sizeof buffer, buffer)) return code;
        word.text = buffer;
        if (uint32_t code = VoxtrailGetWordStartTime(analysis, i, &word.start)) return code;
        if (uint32_t code = VoxtrailGetWordEndTime(analysis, i, &word.end)) return code;
    }

    if (uint32_t code =
            ReadTracks(analysis, VoxtrailGetNumSpeechTargets, VoxtrailGetNumSpeechTargetKeys,
                       VoxtrailGetSpeechTargetKey, false, out.speechTargets))
        return code;
    return ReadTracks(analysis, VoxtrailGetNumGestures, VoxtrailGetNumGestureKeys,
                      VoxtrailGetGestureKey, true, out.gestures);
}

} // namespace Vantrix
