/* Voxtrail lip-sync analysis engine: public C interface. */
#ifndef VOXTRAIL_H
#define VOXTRAIL_H

#include <stdint.h>

/* Marks the interface functions exported from the shared library; everything else is hidden. */
#if defined(_WIN32)
#if defined(VOXTRAIL_BUILDING_LIBRARY)
#define VOXTRAIL_API __declspec(dllexport)
#else
#define VOXTRAIL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#define VOXTRAIL_API __attribute__((visibility("default")))
#else
#define VOXTRAIL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes returned by every function; messages via VoxtrailGetErrorString. */
#define VOXTRAIL_NOERR 0x00000000u
#define VOXTRAIL_ERROR 0x20001069u
#define VOXTRAIL_STARTUP_FAILED_ERR 0x2000106Au
#define VOXTRAIL_SHUTDOWN_FAILED_ERR 0x2000106Bu
#define VOXTRAIL_CORE_DATA_NOT_FOUND_ERR 0x2000106Cu
#define VOXTRAIL_NULL_PARAMETER_ERR 0x2000106Du
#define VOXTRAIL_INVALID_PARAMETER_ERR 0x2000106Eu
#define VOXTRAIL_INVALID_ANALYSIS_ERR 0x2000106Fu
#define VOXTRAIL_ANALYSIS_FAILED_ERR 0x20001070u
#define VOXTRAIL_INVALID_INDEX_ERR 0x20001071u
#define VOXTRAIL_INVALID_TIME_ERR 0x20001072u
#define VOXTRAIL_INTERNAL_ERR 0x20001073u
#define VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR 0x20001074u
#define VOXTRAIL_STARTUP_NOT_CALLED 0x20001075u
#define VOXTRAIL_CONFIG_PARSE_ERROR 0x20001076u

/* One analysis of one sound: phonemes, words, speech-target and gesture tracks. Opaque. */
typedef struct VOXTRAIL_ANALYSIS VOXTRAIL_ANALYSIS;

/* Highest framesPerSecond an analysis accepts: far beyond any scene's rate, while the per-frame
   tables it sizes stay small. A higher rate gives VOXTRAIL_INVALID_PARAMETER_ERR. */
#define VOXTRAIL_MAX_FRAMES_PER_SECOND 1000

/* Optional settings of an analysis; size must be sizeof(VOXTRAIL_ANALYSIS_SETTINGS). */
typedef struct {
    int32_t size;            /* sizeof(VOXTRAIL_ANALYSIS_SETTINGS) */
    int32_t framesPerSecond; /* 1 to VOXTRAIL_MAX_FRAMES_PER_SECOND; rate at which the tracks
                                are also sampled inside the engine (the keys do not depend on it) */
    int32_t fastFlag;        /* non-zero: the fast variant of lip synching */
    int32_t randomSeed;      /* seed of the gestures; -1 takes the current time */
    const char* configFile;  /* speech-target configuration file, or NULL for the built-in map */
} VOXTRAIL_ANALYSIS_SETTINGS;

/* Every function takes the library lock for its whole run, so any thread may call it.
   Times are seconds; slopes are value units per millisecond; indices count from 0. */

/* Starts the library with the folder of the six data files; the caller keeps dataFolder. */
VOXTRAIL_API uint32_t VoxtrailStartupLibrary(const char* dataFolder);

/* Stops the library and frees every analysis still held; their pointers become invalid. */
VOXTRAIL_API uint32_t VoxtrailShutdownLibrary(void);

/* Analyses soundFile (transcript and settings may be NULL); the caller owns *analysisOut and
   frees it with VoxtrailFreeAnalysis; *analysisOut is NULL on failure. When the transcript
   does not seem to match the sound, the analysis still succeeds and the message of
   VOXTRAIL_NOERR, read before any other call, ends with " [warning: ...]". */
VOXTRAIL_API uint32_t VoxtrailGetAnalysis(VOXTRAIL_ANALYSIS** analysisOut, const char* soundFile,
                                          const char* transcript,
                                          const VOXTRAIL_ANALYSIS_SETTINGS* settings);

/* Frees the analysis that the engine handed out and sets *analysisInOut to NULL. */
VOXTRAIL_API uint32_t VoxtrailFreeAnalysis(VOXTRAIL_ANALYSIS** analysisInOut);

/* Copies the message of code (with the detail of the last failure) into the caller's buffer. */
VOXTRAIL_API uint32_t VoxtrailGetErrorString(uint32_t code, int32_t bufferSize, char* buffer);

/* Copies the library's version, "MAJOR.MINOR.PATCH" (such as "1.5.0"), into the caller's buffer,
   cut to bufferSize - 1 bytes. May be called at any time, also before start-up; like
   VoxtrailGetErrorString it leaves the last-error record alone. VOXTRAIL_NULL_PARAMETER_ERR for
   a null buffer, VOXTRAIL_INVALID_PARAMETER_ERR for a bufferSize below 1. */
VOXTRAIL_API uint32_t VoxtrailGetVersion(int32_t bufferSize, char* buffer);

/* Speech-target tracks; the outputs are caller-owned. */
VOXTRAIL_API uint32_t VoxtrailGetNumSpeechTargets(VOXTRAIL_ANALYSIS* analysis, int32_t* count);
/* Number of keys of one speech-target track into the caller's count. */
VOXTRAIL_API uint32_t VoxtrailGetNumSpeechTargetKeys(VOXTRAIL_ANALYSIS* analysis,
                                                     int32_t trackIndex, int32_t* count);
/* One key of a speech-target track into the caller's four doubles. */
VOXTRAIL_API uint32_t VoxtrailGetSpeechTargetKey(VOXTRAIL_ANALYSIS* analysis, int32_t trackIndex,
                                                 int32_t keyIndex, double* time, double* value,
                                                 double* inSlope, double* outSlope);

/* Gesture tracks (eleven channels, in their fixed order); the outputs are caller-owned. */
VOXTRAIL_API uint32_t VoxtrailGetNumGestures(VOXTRAIL_ANALYSIS* analysis, int32_t* count);
/* Number of keys of one gesture track into the caller's count. */
VOXTRAIL_API uint32_t VoxtrailGetNumGestureKeys(VOXTRAIL_ANALYSIS* analysis, int32_t trackIndex,
                                                int32_t* count);
/* One key of a gesture track into the caller's four doubles. */
VOXTRAIL_API uint32_t VoxtrailGetGestureKey(VOXTRAIL_ANALYSIS* analysis, int32_t trackIndex,
                                            int32_t keyIndex, double* time, double* value,
                                            double* inSlope, double* outSlope);

/* Phoneme segments in time order; the outputs are caller-owned. */
VOXTRAIL_API uint32_t VoxtrailGetNumPhonemes(VOXTRAIL_ANALYSIS* analysis, int32_t* count);
/* Identity (0-40, 40 silence) of one segment into the caller's id. */
VOXTRAIL_API uint32_t VoxtrailGetPhonemeId(VOXTRAIL_ANALYSIS* analysis, int32_t phonemeIndex,
                                           int32_t* id);
/* Start of one segment into the caller's seconds. */
VOXTRAIL_API uint32_t VoxtrailGetPhonemeStartTime(VOXTRAIL_ANALYSIS* analysis, int32_t phonemeIndex,
                                                  double* seconds);
/* End of one segment into the caller's seconds. */
VOXTRAIL_API uint32_t VoxtrailGetPhonemeEndTime(VOXTRAIL_ANALYSIS* analysis, int32_t phonemeIndex,
                                                double* seconds);

/* Words of the transcript in time order; the outputs are caller-owned. */
VOXTRAIL_API uint32_t VoxtrailGetNumWords(VOXTRAIL_ANALYSIS* analysis, int32_t* count);
/* Text of one word into the caller's buffer, cut to bufferSize - 1 bytes. */
VOXTRAIL_API uint32_t VoxtrailGetWordText(VOXTRAIL_ANALYSIS* analysis, int32_t wordIndex,
                                          int32_t bufferSize, char* buffer);
/* Start of one word into the caller's seconds. */
VOXTRAIL_API uint32_t VoxtrailGetWordStartTime(VOXTRAIL_ANALYSIS* analysis, int32_t wordIndex,
                                               double* seconds);
/* End of one word into the caller's seconds. */
VOXTRAIL_API uint32_t VoxtrailGetWordEndTime(VOXTRAIL_ANALYSIS* analysis, int32_t wordIndex,
                                             double* seconds);

#ifdef __cplusplus
}
#endif

#endif /* VOXTRAIL_H */
