#include "track_manager.h"

#include "emphasis.h"
#include "errors.h"
#include "gestures.h"
#include "lip_sync.h"

namespace Vantrix {

const char* const kTrackManagerVersion = "TrackManager version 27";
const char* const kTrackManagerDescription =
    "application layer which calls phoneme segmentation engine and then uses the results to "
    "generate animation data";

ATrackManager::ATrackManager() {
    speechTracks.SetStale(true);
    gestureTracks.SetStale(true);
}

TTrackManager::TTrackManager() {
    trackMapper.Attach(this);
    rulesMapper.Attach(this);
    gesturesMapper.Attach(this);
    phonemes.Attach(this);
    phonemes.SetNotAnalysed(true);
    speechTracks.SetStale(true);
    gestureTracks.SetStale(true);
    recognizer = std::make_unique<TPhonemeRecognizer>(dataPaths);
}

TTrackManager::~TTrackManager() {
    phonemes.Detach(this);
    gesturesMapper.Detach(this);
    rulesMapper.Detach(this);
    trackMapper.Detach(this);
}

int32_t TTrackManager::SetDataFolder(const char* folder) {
    if (!folder) return eetArgumentFailure;
    return dataPaths.SetDataFolder(folder);
}

int32_t TTrackManager::SetFastFlag(bool on) {
    fastFlag = on;
    return eetSuccess;
}

int32_t TTrackManager::SetInput(TDigitalAudio& newSound, const char* newTranscript) {
    sound = &newSound;
    transcript.assign(newTranscript ? newTranscript : "");
    // A rate the resampler refuses stays as it is; the recognizer then declines the sound.
    sound->normaliseSampleRate();
    phonemes.Clear();
    words.Clear();
    failureDetail.clear();
    const int32_t result = recognizePhonemes(*recognizer, *sound, transcript, phonemes, words,
                                             &failureDetail, &transcriptMisfit);
    phonemes.SetNotAnalysed(false);
    phonemes.Notify();
    return result;
}

int32_t TTrackManager::GenerateSpeechTracks() {
    if (phonemes.NotAnalysed()) return eetDataFailure;
    TLipSynching lipSynching(trackMapper.Current(), rulesMapper.Current());
    const int32_t result = lipSynching.Run(phonemes, speechTracks, fastFlag);
    if (result != eetSuccess) throw EErrorType(result);
    speechTracks.SetStale(false);
    return result;
}

int32_t TTrackManager::GenerateGestureTracks(int32_t seed) {
    if (phonemes.NotAnalysed()) return eetDataFailure;
    if (!sound) return eetWrongState;
    try {
        TEmphasis emphasis;
        if (int32_t err = emphasis.Measure(*sound, phonemes)) throw EErrorType(err);
        if (int32_t err = emphasis.Select(phonemes, 0)) throw EErrorType(err);
        TGesturesGenerator generator(gesturesMapper.Current());
        if (int32_t err = generator.Run(phonemes, gestureTracks, seed)) throw EErrorType(err);
    } catch (EErrorType kind) {
        return TraceCaught(kind);
    }
    gestureTracks.SetStale(false);
    return eetSuccess;
}

void TTrackManager::OnNotify(ANotificationServer& server) {
    switch (server.Kind()) {
    case 1:
    case 2:
    case 3:
        speechTracks.SetStale(true);
        break;
    case 4:
        gestureTracks.SetStale(true);
        break;
    default:
        break;
    }
}

} // namespace Vantrix
