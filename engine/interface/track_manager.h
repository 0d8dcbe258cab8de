// The analysis driver: segmentation of one sound, then its speech-target and gesture tracks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data_paths.h"
#include "digital_audio.h"
#include "gestures_mapper.h"
#include "notification.h"
#include "phonemes.h"
#include "recognizer.h"
#include "rules_mapper.h"
#include "track_mapper.h"
#include "tracks.h"
#include "words.h"

namespace Vantrix {

// Identification texts of the module; nothing reads them at run time.
extern const char* const kTrackManagerVersion;
extern const char* const kTrackManagerDescription;

class ATrackManager {
public:
    virtual ~ATrackManager() = default;
    virtual TTrackMapper& GetTrackMapper() { return trackMapper; }
    virtual TRulesMapper& GetRulesMapper() { return rulesMapper; }
    virtual TGesturesMapper& GetGesturesMapper() { return gesturesMapper; }
    virtual TDataPaths& GetDataPaths() { return dataPaths; }

protected:
    ATrackManager();

    TDataPaths dataPaths;
    TTrackMapper trackMapper;
    TRulesMapper rulesMapper;
    TGesturesMapper gesturesMapper;
    // Rest track first.
    TTrackList speechTracks;
    TTrackList gestureTracks;
};

class TTrackManager : public ANotificationClient, public ATrackManager {
public:
    // Attaches to the three mappers and the phoneme list; creates the recognizer.
    TTrackManager();
    ~TTrackManager() override;
    TTrackManager(const TTrackManager&) = delete;
    TTrackManager& operator=(const TTrackManager&) = delete;

    // Derives the six data-file paths from folder; 0 or an error kind.
    int32_t SetDataFolder(const char* folder);

    // Always 0.
    int32_t SetFastFlag(bool on);
    // Brings the sound to a recognizer rate and segments it (transcript may be null); the sound
    // must outlive the analysis. 0 or an error kind.
    int32_t SetInput(TDigitalAudio& sound, const char* transcript);
    // Rebuilds the speech-target tracks from the phonemes; 0, 3 before any segmentation, or
    // throws the lip synching's error kind.
    int32_t GenerateSpeechTracks();
    // Rebuilds the gesture tracks from the phonemes and the sound; 0 or an error kind.
    int32_t GenerateGestureTracks(int32_t seed);

    void OnNotify(ANotificationServer& server) override;

    const TTrackList& SpeechTracks() const { return speechTracks; }
    const TTrackList& GestureTracks() const { return gestureTracks; }
    const TPhonemeList& Phonemes() const { return phonemes; }
    const TWordList& Words() const { return words; }
    bool FastFlag() const { return fastFlag; }
    // What made the last SetInput fail, in the user's terms; empty when nothing is known.
    const std::string& FailureDetail() const { return failureDetail; }
    // How poorly the last aligned transcript fits its sound (see recognizePhonemes); NaN when
    // the last SetInput aligned none.
    double TranscriptMisfit() const { return transcriptMisfit; }

private:
    std::unique_ptr<TPhonemeRecognizer> recognizer;
    TDigitalAudio* sound = nullptr;
    std::string transcript;
    TPhonemeList phonemes;
    TWordList words;
    bool fastFlag = false;
    std::string failureDetail;
    double transcriptMisfit = 0.0;
};

} // namespace Vantrix
