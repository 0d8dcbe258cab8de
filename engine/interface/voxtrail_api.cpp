// The library interface: lifecycle, analysis, queries and the last-error record, each call
// under the one process-wide lock, no exception ever leaving.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include <sys/stat.h>

#include "analysis.h"
#include "digital_audio.h"
#include "errors.h"
#include "lock.h"
#include "speech_target_config.h"
#include "trace.h"
#include "track_manager.h"
#include "voxtrail.h"

namespace Vantrix {
namespace {

constexpr size_t kLastMessageSize = 1024;
constexpr size_t kUnknownCodeTextSize = 64;
constexpr const char* kVersionBanner = "Vantrix Voxtrail version 1.5.0\n";
constexpr const char* kMisfitWarning =
    "warning: the transcript does not seem to match the sound; its words may be placed wrongly";

struct TErrorRow {
    uint32_t code;
    const char* message;
};

const TErrorRow kErrorTable[] = {
    {VOXTRAIL_NOERR, "VOXTRAIL_NOERR: success (not an error)"},
    {VOXTRAIL_ERROR, "VOXTRAIL_ERROR: generic error"},
    {VOXTRAIL_STARTUP_FAILED_ERR, "VOXTRAIL_STARTUP_FAILED_ERR: VoxtrailStartupLibrary() failed "
                                  "[internal error] or was never called"},
    {VOXTRAIL_SHUTDOWN_FAILED_ERR,
     "VOXTRAIL_SHUTDOWN_FAILED_ERR: VoxtrailShutdownLibrary() failed, either because "
     "VoxtrailStartupLibrary() was never called or because VoxtrailShutdownLibrary() has "
     "already been called"},
    {VOXTRAIL_CORE_DATA_NOT_FOUND_ERR, "VOXTRAIL_CORE_DATA_NOT_FOUND_ERR: the Voxtrail data "
                                       "files could not be found [invalid path or missing files]"},
    {VOXTRAIL_NULL_PARAMETER_ERR,
     "VOXTRAIL_NULL_PARAMETER_ERR: one or more of the parameters are NULL"},
    {VOXTRAIL_INVALID_PARAMETER_ERR,
     "VOXTRAIL_INVALID_PARAMETER_ERR: one or more of the parameters is invalid"},
    {VOXTRAIL_INVALID_ANALYSIS_ERR,
     "VOXTRAIL_INVALID_ANALYSIS_ERR: the analysis object pointer is invalid"},
    {VOXTRAIL_ANALYSIS_FAILED_ERR, "VOXTRAIL_ANALYSIS_FAILED_ERR: analysis failed [the sound file "
                                   "cannot be analyzed or an internal error occurred]"},
    {VOXTRAIL_INVALID_INDEX_ERR, "VOXTRAIL_INVALID_INDEX_ERR: one or more of the indices (track, "
                                 "key, frame, word, phoneme) are invalid (out of range)"},
    {VOXTRAIL_INVALID_TIME_ERR,
     "VOXTRAIL_INVALID_TIME_ERR: the time parameter is invalid (out of range)"},
    {VOXTRAIL_INTERNAL_ERR,
     "VOXTRAIL_INTERNAL_ERR: a serious internal error occurred in Voxtrail; please alert Vantrix "
     "by sending mail with a description of how the error was triggered to "
     "support@voxtrail.org"},
    {VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR,
     "VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR: could not open the specified sound file"},
    {VOXTRAIL_STARTUP_NOT_CALLED,
     "VOXTRAIL_STARTUP_NOT_CALLED: VoxtrailStartupLibrary() has not been called"},
    {VOXTRAIL_CONFIG_PARSE_ERROR,
     "VOXTRAIL_CONFIG_PARSE_ERROR: the configuration file specified in the "
     "VOXTRAIL_ANALYSIS_SETTINGS structure is invalid"},
};

const char* StandardMessage(uint32_t code) {
    for (const TErrorRow& row : kErrorTable)
        if (row.code == code) return row.message;
    return nullptr;
}

// The most recent result of any call but the error-text one.
struct TLastError {
    uint32_t code = VOXTRAIL_NOERR;
    char message[kLastMessageSize] = {};
} gLastError;

// Present while the library is started.
struct TLibrary {
    std::unique_ptr<TTrackManager> driver;
    std::unique_ptr<TAnalysisRegistry> registry;
} gLibrary;

// Copies at most size bytes of text, always ending with NUL within them.
void CopyCut(char* buffer, size_t size, const char* text) {
    const size_t n = std::min(std::strlen(text), size - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    buffer[size - 1] = '\0';
}

// The text for code as the error-text function gives it; false for a code outside the table.
bool TextOfCode(uint32_t code, char (&scratch)[kUnknownCodeTextSize], const char*& text) {
    if (const char* message = StandardMessage(code)) {
        text = message;
        return true;
    }
    std::snprintf(scratch, sizeof scratch, "unknown Voxtrail error code: %d", int32_t(code));
    text = scratch;
    return false;
}

// Records code (and its detail, when given) as the last error and returns it. Never throws.
uint32_t Record(uint32_t code, const char* detail = nullptr) {
    gLastError.message[0] = '\0';
    gLastError.code = VOXTRAIL_NOERR;
    char scratch[kUnknownCodeTextSize];
    const char* text;
    TextOfCode(code, scratch, text);
    CopyCut(gLastError.message, kLastMessageSize, text);
    gLastError.code = code;
    if (detail) {
        size_t used = std::strlen(gLastError.message);
        for (const char* piece : {" [", detail, "]"}) {
            CopyCut(gLastError.message + used, kLastMessageSize - used, piece);
            used += std::strlen(gLastError.message + used);
        }
    }
    return code;
}

// Runs body under the library lock; anything thrown becomes VOXTRAIL_INTERNAL_ERR.
template <typename TBody> uint32_t Locked(TBody&& body) noexcept {
    std::optional<TCriticalSection> lock;
    try {
        lock.emplace();
    } catch (...) {
        // Without the lock the last-error record may not be touched.
        return VOXTRAIL_INTERNAL_ERR;
    }
    try {
        return body();
    } catch (...) {
        return Record(VOXTRAIL_INTERNAL_ERR);
    }
}

bool Started() {
    return gLibrary.driver != nullptr;
}

// Null pointer, not registered, or not whole: the handle check of every query and of free.
// On success the handle is replaced by the analysis it stands for.
uint32_t CheckHandle(VOXTRAIL_ANALYSIS*& analysis) {
    if (!analysis) return VOXTRAIL_NULL_PARAMETER_ERR;
    VOXTRAIL_ANALYSIS* found = gLibrary.registry ? gLibrary.registry->Find(analysis) : nullptr;
    if (!found || !found->IsWhole()) return VOXTRAIL_INVALID_ANALYSIS_ERR;
    analysis = found;
    return VOXTRAIL_NOERR;
}

bool FileOpensForReading(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

bool IsFolder(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Steps 5-14 of an analysis; analysisOut and soundFile are not null.
uint32_t RunAnalysis(TTrackManager& driver, VOXTRAIL_ANALYSIS** analysisOut, const char* soundFile,
                     const char* transcript, const VOXTRAIL_ANALYSIS_SETTINGS* settings) {
    if (settings) {
        if (settings->size != int32_t(sizeof(VOXTRAIL_ANALYSIS_SETTINGS)) ||
            settings->framesPerSecond <= 0 ||
            (settings->configFile && !FileOpensForReading(settings->configFile)))
            return Record(VOXTRAIL_INVALID_PARAMETER_ERR);
        if (settings->framesPerSecond > VOXTRAIL_MAX_FRAMES_PER_SECOND) {
            char detail[96];
            std::snprintf(detail, sizeof detail,
                          "%d frames per second is above the %d an analysis accepts",
                          int(settings->framesPerSecond), VOXTRAIL_MAX_FRAMES_PER_SECOND);
            return Record(VOXTRAIL_INVALID_PARAMETER_ERR, detail);
        }
        // A folder opens for reading here but holds no configuration.
        if (settings->configFile && IsFolder(settings->configFile))
            return Record(
                VOXTRAIL_INVALID_PARAMETER_ERR,
                ("the configuration file " + std::string(settings->configFile) + " is a folder")
                    .c_str());
    }

    *analysisOut = nullptr;
    auto analysis = std::make_unique<VOXTRAIL_ANALYSIS>();

    try {
        analysis->sound = std::make_unique<TDigitalAudio>(soundFile);
    } catch (const TDigitalAudioError& error) {
        return Record(VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR, error.what());
    }
    if (!isAudioUsable(*analysis->sound)) {
        // The loader has refused every other unusable fact; what is left is the length.
        char detail[96];
        std::snprintf(detail, sizeof detail,
                      "the sound is longer than the 300 s an analysis accepts (it lasts %.3f s)",
                      analysis->sound->getDurationMs() / 1000.0);
        return Record(VOXTRAIL_ANALYSIS_FAILED_ERR, detail);
    }

    int32_t seed = int32_t(uint32_t(std::time(nullptr)));
    driver.SetFastFlag(false);
    driver.GetTrackMapper().ResetToDefault();

    if (settings) {
        analysis->framesPerSecond = settings->framesPerSecond;
        if (settings->randomSeed != -1) seed = settings->randomSeed;
        driver.SetFastFlag(settings->fastFlag != 0);
        if (settings->configFile) {
            std::string detail;
            const uint32_t code = ParseSpeechTargetConfiguration(
                analysis->customMap, analysis->customMapLabel, settings->configFile,
                &driver.GetTrackMapper(), detail);
            if (code != VOXTRAIL_NOERR)
                return Record(code, detail.empty() ? nullptr : detail.c_str());
        }
    }

    if (driver.SetInput(*analysis->sound, transcript) != eetSuccess) {
        const std::string& detail = driver.FailureDetail();
        return Record(VOXTRAIL_ANALYSIS_FAILED_ERR, detail.empty() ? nullptr : detail.c_str());
    }
    if (driver.GenerateSpeechTracks() != eetSuccess ||
        driver.GenerateGestureTracks(seed) != eetSuccess)
        return Record(VOXTRAIL_ANALYSIS_FAILED_ERR);

    *analysis->speechTracks = driver.SpeechTracks();
    *analysis->gestureTracks = driver.GestureTracks();
    *analysis->words = driver.Words();
    *analysis->phonemes = driver.Phonemes();
    // The copy must not call back into the driver.
    analysis->phonemes->Detach(&driver);

    if (SampleFrameRange(*analysis) != eetSuccess || SampleSpeechFrames(*analysis) != eetSuccess ||
        SampleGestureFrames(*analysis) != eetSuccess)
        return Record(VOXTRAIL_ANALYSIS_FAILED_ERR);

    analysis->validityTag = analysis.get();
    *analysisOut = gLibrary.registry->Append(analysis.get());
    analysis.release();
    // The result stands, but the caller learns that the words were forced onto other speech.
    if (driver.TranscriptMisfit() >= kTranscriptMisfitWarning) {
        Trace("%s\n", kMisfitWarning);
        return Record(VOXTRAIL_NOERR, kMisfitWarning);
    }
    return Record(VOXTRAIL_NOERR);
}

// Key of the interface's track trackIndex; speech tracks hide the rest track.
uint32_t GetKey(VOXTRAIL_ANALYSIS* analysis, bool speech, int32_t trackIndex, int32_t keyIndex,
                double* time, double* value, double* inSlope, double* outSlope) {
    if (uint32_t code = CheckHandle(analysis)) return Record(code);
    if (!time) return Record(VOXTRAIL_NULL_PARAMETER_ERR);
    const TTrackList& tracks = speech ? *analysis->speechTracks : *analysis->gestureTracks;
    const int32_t offset = speech ? 1 : 0;
    if (trackIndex < 0 || trackIndex >= tracks.Count() - offset)
        return Record(VOXTRAIL_INVALID_INDEX_ERR);
    const TKeyList& keys = tracks[trackIndex + offset].Keys();
    if (!keys.IsIndex(keyIndex)) return Record(VOXTRAIL_INVALID_INDEX_ERR);
    if (!value || !inSlope || !outSlope) return Record(VOXTRAIL_NULL_PARAMETER_ERR);
    const TKey& key = keys[keyIndex];
    *time = key.TimeMs() / 1000.0;
    *value = key.Value();
    *inSlope = key.InSlope();
    *outSlope = key.OutSlope();
    return Record(VOXTRAIL_NOERR);
}

uint32_t GetNumKeys(VOXTRAIL_ANALYSIS* analysis, bool speech, int32_t trackIndex, int32_t* count) {
    if (uint32_t code = CheckHandle(analysis)) return Record(code);
    if (!count) return Record(VOXTRAIL_NULL_PARAMETER_ERR);
    const TTrackList& tracks = speech ? *analysis->speechTracks : *analysis->gestureTracks;
    const int32_t offset = speech ? 1 : 0;
    if (trackIndex < 0 || trackIndex >= tracks.Count() - offset)
        return Record(VOXTRAIL_INVALID_INDEX_ERR);
    *count = tracks[trackIndex + offset].Keys().Count();
    return Record(VOXTRAIL_NOERR);
}

// Count queries: the handle, then the output pointer.
template <typename TCount>
uint32_t GetCount(VOXTRAIL_ANALYSIS* analysis, int32_t* count, TCount countOf) {
    if (uint32_t code = CheckHandle(analysis)) return Record(code);
    if (!count) return Record(VOXTRAIL_NULL_PARAMETER_ERR);
    *count = countOf(*analysis);
    return Record(VOXTRAIL_NOERR);
}

// Per-item queries: the handle, the output pointer, then the index.
template <typename TList, typename TRead>
uint32_t GetItem(VOXTRAIL_ANALYSIS* analysis, const TList& (*listOf)(const VOXTRAIL_ANALYSIS&),
                 int32_t index, bool outputPresent, TRead read) {
    if (uint32_t code = CheckHandle(analysis)) return Record(code);
    if (!outputPresent) return Record(VOXTRAIL_NULL_PARAMETER_ERR);
    const TList& list = listOf(*analysis);
    if (!list.IsIndex(index)) return Record(VOXTRAIL_INVALID_INDEX_ERR);
    return Record(read(list[index]));
}

const TPhonemeList& PhonemesOf(const VOXTRAIL_ANALYSIS& a) {
    return *a.phonemes;
}
const TWordList& WordsOf(const VOXTRAIL_ANALYSIS& a) {
    return *a.words;
}

} // namespace
} // namespace Vantrix

using namespace Vantrix;

extern "C" {

VOXTRAIL_API uint32_t VoxtrailGetErrorString(uint32_t code, int32_t bufferSize, char* buffer) {
    return Locked([&]() -> uint32_t {
        if (!buffer) return VOXTRAIL_NULL_PARAMETER_ERR;
        if (bufferSize < 1) return VOXTRAIL_INVALID_PARAMETER_ERR;
        char scratch[kUnknownCodeTextSize];
        const char* text;
        const bool known = TextOfCode(code, scratch, text);
        if (known && code == gLastError.code && gLastError.message[0] != '\0')
            text = gLastError.message;
        CopyCut(buffer, size_t(bufferSize), text);
        return known ? VOXTRAIL_NOERR : VOXTRAIL_INVALID_PARAMETER_ERR;
    });
}

VOXTRAIL_API uint32_t VoxtrailGetVersion(int32_t bufferSize, char* buffer) {
    return Locked([&]() -> uint32_t {
        if (!buffer) return VOXTRAIL_NULL_PARAMETER_ERR;
        if (bufferSize < 1) return VOXTRAIL_INVALID_PARAMETER_ERR;
        CopyCut(buffer, size_t(bufferSize), VOXTRAIL_VERSION_TEXT);
        return VOXTRAIL_NOERR;
    });
}

VOXTRAIL_API uint32_t VoxtrailStartupLibrary(const char* dataFolder) {
    return Locked([&]() -> uint32_t {
        if (!dataFolder) return Record(VOXTRAIL_NULL_PARAMETER_ERR);
        if (Started()) return Record(VOXTRAIL_ERROR);
        // Installed only once complete: a failed start-up leaves the library as it was, so
        // the caller can retry with another folder at once.
        auto driver = std::make_unique<TTrackManager>();
        auto registry = std::make_unique<TAnalysisRegistry>();
        if (driver->SetDataFolder(dataFolder) != eetSuccess)
            return Record(VOXTRAIL_STARTUP_FAILED_ERR);
        if (!driver->GetDataPaths().DataPresent()) return Record(VOXTRAIL_CORE_DATA_NOT_FOUND_ERR);
        gLibrary.driver = std::move(driver);
        gLibrary.registry = std::move(registry);
        Trace("%s", kVersionBanner);
        return Record(VOXTRAIL_NOERR);
    });
}

VOXTRAIL_API uint32_t VoxtrailShutdownLibrary(void) {
    return Locked([&]() -> uint32_t {
        if (!Started()) return Record(VOXTRAIL_SHUTDOWN_FAILED_ERR);
        for (VOXTRAIL_ANALYSIS* analysis : gLibrary.registry->Entries()) {
            if (!analysis->IsWhole()) continue;
            analysis->validityTag = nullptr;
            delete analysis;
        }
        gLibrary.registry.reset();
        gLibrary.driver.reset();
        return Record(VOXTRAIL_NOERR);
    });
}

VOXTRAIL_API uint32_t VoxtrailGetAnalysis(VOXTRAIL_ANALYSIS** analysisOut, const char* soundFile,
                                          const char* transcript,
                                          const VOXTRAIL_ANALYSIS_SETTINGS* settings) {
    return Locked([&]() -> uint32_t {
        // A failed call never leaves the caller holding a stale pointer.
        if (analysisOut) *analysisOut = nullptr;
        if (!Started()) return Record(VOXTRAIL_STARTUP_NOT_CALLED);
        if (!gLibrary.driver->GetDataPaths().DataPresent())
            return Record(VOXTRAIL_CORE_DATA_NOT_FOUND_ERR);
        if (!analysisOut || !soundFile) return Record(VOXTRAIL_NULL_PARAMETER_ERR);
        try {
            return RunAnalysis(*gLibrary.driver, analysisOut, soundFile, transcript, settings);
        } catch (...) {
            Trace("WARNING: unhandled exception in VoxtrailGetAnalysis()\n");
            *analysisOut = nullptr;
            return Record(VOXTRAIL_ANALYSIS_FAILED_ERR);
        }
    });
}

VOXTRAIL_API uint32_t VoxtrailFreeAnalysis(VOXTRAIL_ANALYSIS** analysisInOut) {
    return Locked([&]() -> uint32_t {
        if (!analysisInOut) return Record(VOXTRAIL_NOERR);
        VOXTRAIL_ANALYSIS* analysis = *analysisInOut;
        if (uint32_t code = CheckHandle(analysis)) return Record(code);
        gLibrary.registry->Unlink(*analysisInOut);
        analysis->validityTag = nullptr;
        delete analysis;
        *analysisInOut = nullptr;
        return Record(VOXTRAIL_NOERR);
    });
}

VOXTRAIL_API uint32_t VoxtrailGetNumSpeechTargets(VOXTRAIL_ANALYSIS* analysis, int32_t* count) {
    return Locked([&] {
        return GetCount(analysis, count,
                        [](const VOXTRAIL_ANALYSIS& a) { return a.speechTracks->Count() - 1; });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetNumSpeechTargetKeys(VOXTRAIL_ANALYSIS* analysis,
                                                     int32_t trackIndex, int32_t* count) {
    return Locked([&] { return GetNumKeys(analysis, true, trackIndex, count); });
}

VOXTRAIL_API uint32_t VoxtrailGetSpeechTargetKey(VOXTRAIL_ANALYSIS* analysis, int32_t trackIndex,
                                                 int32_t keyIndex, double* time, double* value,
                                                 double* inSlope, double* outSlope) {
    return Locked([&] {
        return GetKey(analysis, true, trackIndex, keyIndex, time, value, inSlope, outSlope);
    });
}

VOXTRAIL_API uint32_t VoxtrailGetNumGestures(VOXTRAIL_ANALYSIS* analysis, int32_t* count) {
    return Locked([&] {
        return GetCount(analysis, count,
                        [](const VOXTRAIL_ANALYSIS& a) { return a.gestureTracks->Count(); });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetNumGestureKeys(VOXTRAIL_ANALYSIS* analysis, int32_t trackIndex,
                                                int32_t* count) {
    return Locked([&] { return GetNumKeys(analysis, false, trackIndex, count); });
}

VOXTRAIL_API uint32_t VoxtrailGetGestureKey(VOXTRAIL_ANALYSIS* analysis, int32_t trackIndex,
                                            int32_t keyIndex, double* time, double* value,
                                            double* inSlope, double* outSlope) {
    return Locked([&] {
        return GetKey(analysis, false, trackIndex, keyIndex, time, value, inSlope, outSlope);
    });
}

VOXTRAIL_API uint32_t VoxtrailGetNumPhonemes(VOXTRAIL_ANALYSIS* analysis, int32_t* count) {
    return Locked([&] {
        return GetCount(analysis, count,
                        [](const VOXTRAIL_ANALYSIS& a) { return a.phonemes->Count(); });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetPhonemeId(VOXTRAIL_ANALYSIS* analysis, int32_t phonemeIndex,
                                           int32_t* id) {
    return Locked([&] {
        return GetItem(analysis, PhonemesOf, phonemeIndex, id != nullptr,
                       [&](const TPhoneme& phoneme) {
                           if (phoneme.Id() < 0 || phoneme.Id() >= kPhonemeIdCount)
                               return VOXTRAIL_INTERNAL_ERR;
                           *id = phoneme.Id();
                           return VOXTRAIL_NOERR;
                       });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetPhonemeStartTime(VOXTRAIL_ANALYSIS* analysis, int32_t phonemeIndex,
                                                  double* seconds) {
    return Locked([&] {
        return GetItem(analysis, PhonemesOf, phonemeIndex, seconds != nullptr,
                       [&](const TPhoneme& phoneme) {
                           *seconds = phoneme.StartMs() / 1000.0;
                           return VOXTRAIL_NOERR;
                       });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetPhonemeEndTime(VOXTRAIL_ANALYSIS* analysis, int32_t phonemeIndex,
                                                double* seconds) {
    return Locked([&] {
        return GetItem(analysis, PhonemesOf, phonemeIndex, seconds != nullptr,
                       [&](const TPhoneme& phoneme) {
                           *seconds = phoneme.EndMs() / 1000.0;
                           return VOXTRAIL_NOERR;
                       });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetNumWords(VOXTRAIL_ANALYSIS* analysis, int32_t* count) {
    return Locked([&] {
        return GetCount(analysis, count,
                        [](const VOXTRAIL_ANALYSIS& a) { return a.words->Count(); });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetWordText(VOXTRAIL_ANALYSIS* analysis, int32_t wordIndex,
                                          int32_t bufferSize, char* buffer) {
    return Locked([&] {
        return GetItem(analysis, WordsOf, wordIndex, buffer != nullptr, [&](const TWord& word) {
            if (bufferSize < 1) return VOXTRAIL_INVALID_PARAMETER_ERR;
            CopyCut(buffer, size_t(bufferSize), word.Text().c_str());
            return VOXTRAIL_NOERR;
        });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetWordStartTime(VOXTRAIL_ANALYSIS* analysis, int32_t wordIndex,
                                               double* seconds) {
    return Locked([&] {
        return GetItem(analysis, WordsOf, wordIndex, seconds != nullptr, [&](const TWord& word) {
            *seconds = word.StartMs() / 1000.0;
            return VOXTRAIL_NOERR;
        });
    });
}

VOXTRAIL_API uint32_t VoxtrailGetWordEndTime(VOXTRAIL_ANALYSIS* analysis, int32_t wordIndex,
                                             double* seconds) {
    return Locked([&] {
        return GetItem(analysis, WordsOf, wordIndex, seconds != nullptr, [&](const TWord& word) {
            *seconds = word.EndMs() / 1000.0;
            return VOXTRAIL_NOERR;
        });
    });
}

} // extern "C"
