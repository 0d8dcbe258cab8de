#include "run_analysis.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "long_sound.h"
#include "paths.h"
#include "sound_input.h"
#include "voxtrail.h"

#ifdef VOXTRAIL_WITH_WORDS
#include <sndfile.h>

#include "word_recognizer.h"
#endif

#ifndef VOXTRAIL_INSTALLED_DATA
#define VOXTRAIL_INSTALLED_DATA ""
#endif
// The installed data relative to the installed tool: "../share/voxtrail/KvParlo/Data".
#ifndef VOXTRAIL_DATA_FROM_BIN
#define VOXTRAIL_DATA_FROM_BIN ""
#endif
#ifndef VOXTRAIL_SOURCE_DATA
#define VOXTRAIL_SOURCE_DATA ""
#endif

namespace Vantrix {

namespace {

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    text = buffer.str();
    return true;
}

// Reads a transcript file; false, with the reason in error, for anything that is not a
// readable text file (a folder reads as empty, a NUL byte would cut the text short).
bool ReadTranscript(const std::string& path, std::string& text, std::string& error) {
    const char* problem = nullptr;
    if (IsDirectory(path))
        problem = "is a folder, not a text file";
    else if (!ReadFile(path, text))
        problem = "cannot be read";
    else if (text.find('\0') != std::string::npos)
        problem = "holds a NUL byte: it is not a text file";
    if (!problem) return true;
    error = "the transcript file '" + path + "' " + problem;
    return false;
}

// The sound's name with its extension replaced by .txt.
std::string TranscriptBeside(const std::string& sound) {
    const size_t slash = sound.find_last_of('/');
    const size_t dot = sound.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? sound.substr(0, dot) : sound) + ".txt";
}

std::string ErrorText(uint32_t code) {
    char text[1024] = {};
    VoxtrailGetErrorString(code, sizeof text, text);
    return text;
}

// The failure's detail (the engine appends it in brackets); the message when there is none.
std::string DetailOf(uint32_t code) {
    const std::string text = ErrorText(code);
    const size_t open = text.rfind(" [");
    if (open == std::string::npos || text.back() != ']') return text;
    return text.substr(open + 2, text.size() - open - 3);
}

// An analysis failure in the user's terms: which of their inputs, and what is wrong with it,
// with the engine's code name for reference.
std::string AnalysisFailure(uint32_t code, const std::string& sound, const std::string& config) {
    const std::string text = ErrorText(code);
    const std::string name = " (" + text.substr(0, text.find(':')) + ")";
    const std::string detail = DetailOf(code);
    switch (code) {
    case VOXTRAIL_CONFIG_PARSE_ERROR:
        return "the configuration file '" + config + "' is invalid: " + detail + name;
    case VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR:
        return "cannot read the sound '" + sound + "': " + detail + name;
    case VOXTRAIL_ANALYSIS_FAILED_ERR:
        return "the analysis of '" + sound + "' failed: " + detail + name;
    case VOXTRAIL_INVALID_PARAMETER_ERR:
        return detail + name;
    default:
        return sound + ": " + text;
    }
}

void Warn(const std::string& sound, const std::string& text, bool several) {
    if (several)
        std::fprintf(stderr, "voxtrail: %s: %s\n", sound.c_str(), text.c_str());
    else
        std::fprintf(stderr, "voxtrail: %s\n", text.c_str());
}

// Runs the engine on path (the user's sound, or a piece of it in a temporary file) with
// transcript (nullptr: the phoneme loop) into result; sound names it in messages.
int RunEngine(const TOptions& options, const std::string& sound, const std::string& path,
              const std::string& where, const char* transcript, TAnalysisResult& result,
              std::string& error) {
    VOXTRAIL_ANALYSIS_SETTINGS settings = {};
    settings.size = sizeof settings;
    settings.framesPerSecond = options.fps;
    settings.fastFlag = options.fast ? 1 : 0;
    settings.randomSeed = options.seed;
    settings.configFile = options.config.empty() ? nullptr : options.config.c_str();

    VOXTRAIL_ANALYSIS* analysis = nullptr;
    uint32_t code = VoxtrailGetAnalysis(&analysis, path.c_str(), transcript, &settings);
    if (code == VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR && path == sound) {
        // libsndfile did not know it either (or it would not have come here unconverted).
        error = "cannot read the sound '" + sound + "': " + UnreadableReason(sound, DetailOf(code));
        return kExitFailure;
    }
    if (code != VOXTRAIL_NOERR) {
        error = AnalysisFailure(code, sound, options.config) + where;
        return kExitFailure;
    }
    // A warning of the engine rides on the success message, until the next call.
    const std::string success = ErrorText(VOXTRAIL_NOERR);
    const size_t warning = success.find(" [warning: ");
    if (warning != std::string::npos && success.back() == ']')
        Warn(sound, success.substr(warning + 2, success.size() - warning - 3) + where,
             options.sounds.size() > 1);

    code = ReadAnalysis(analysis, result);
    VoxtrailFreeAnalysis(&analysis);
    if (code != VOXTRAIL_NOERR) {
        error = "reading the analysis failed: " + ErrorText(code);
        return kExitFailure;
    }
    return 0;
}

#ifdef VOXTRAIL_WITH_WORDS
// The recognised words of the file at path (the user's sound, or a piece of it) into result;
// false with error when the recogniser cannot run. One recogniser serves the whole run: loading
// its model costs more than recognising a short line.
IWordRecognizer* SharedRecognizer(std::string& problem) {
    static std::unique_ptr<IWordRecognizer> recognizer;
    if (!recognizer) recognizer = CreatePocketSphinxRecognizer("", problem);
    return recognizer.get();
}

bool RecognizeWords(const std::string& sound, const std::string& path, TAnalysisResult& result,
                    std::string& error) {
    std::string problem;
    IWordRecognizer* recognizer = SharedRecognizer(problem);
    TWordRecognition recognition;
    if (!recognizer || !recognizer->Recognize(path, recognition, problem)) {
        // The user knows their sound, not the temporary file it was read from.
        for (size_t at = problem.find(path); !path.empty() && at != std::string::npos;
             at = problem.find(path, at + sound.size()))
            problem.replace(at, path.size(), sound);
        error = "word recognition failed for '" + sound + "': " + problem;
        return false;
    }
    result.wordSource = recognition.recognizer;
    for (const TRecognizedWord& word : recognition.words)
        result.recognizedWords.push_back({word.text, word.start, word.end});
    return true;
}

// Telephone-rate sounds keep the phoneme loop unless words were asked for: the recogniser's
// model hears them no better than the loop does.
bool WordsSuit(const TOptions& options, const std::string& path) {
    if (options.recognizerChosen) return true;
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return true;
    sf_close(file);
    return !PrefersPhonemeLoop(info.samplerate);
}
#endif

// Nothing was recognised: a closed mouth rather than the phoneme loop's guesses in noise.
void CloseMouth(TAnalysisResult& result) {
    result.phonemes = {{40, 0.0, result.duration}};
    result.words.clear();
    for (TResultTrack& track : result.speechTargets)
        track.keys.clear();
}

// One piece of a sound (the whole of it when it is short) with its text, as the engine reads
// it at path; sndfile: libsndfile reads that file; where says which piece in messages (empty
// for a whole sound).
int AnalysePiece(const TOptions& options, const std::string& sound, const std::string& path,
                 bool sndfile, const std::string& where, bool haveText, std::string text,
                 TAnalysisResult& result, std::string& error) {
    const bool several = options.sounds.size() > 1;
    const bool hasWords = text.find_first_not_of(" \t\r\n") != std::string::npos;

    result = {};
    result.soundPath = sound;
    result.framesPerSecond = options.fps;
    result.shapes = options.shapes;
    bool recognized = false;
    if (haveText) {
        result.wordSource = hasWords ? "transcript" : "none";
    } else if (options.recognizer == "words" && sndfile) {
#ifdef VOXTRAIL_WITH_WORDS
        if (WordsSuit(options, path)) {
            if (!RecognizeWords(sound, path, result, error)) return kExitFailure;
            recognized = true;
        }
        for (const TResultWord& word : result.recognizedWords)
            text += (text.empty() ? "" : " ") + word.text;
#endif
    }
    const std::string source = result.wordSource;
    const std::vector<TResultWord> heard = result.recognizedWords;
    const char* transcript =
        text.find_first_not_of(" \t\r\n") != std::string::npos ? text.c_str() : nullptr;
    if (const int status = RunEngine(options, sound, path, where, transcript, result, error))
        return status;
    result.soundPath = sound;
    result.framesPerSecond = options.fps;
    result.shapes = options.shapes;
    result.wordSource = source;
    result.recognizedWords = heard;

    if (recognized && !transcript) {
        CloseMouth(result);
    } else if (transcript && hasWords && result.words.empty()) {
        // The engine falls back to finding phonemes alone; the user should know the text went
        // unused.
        Warn(sound,
             "warning: no word of the transcript could be aligned; the phonemes were found "
             "without it" +
                 where,
             several);
    }
    return 0;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

} // namespace

void PreloadWordRecognizer(const TOptions& options) {
#ifdef VOXTRAIL_WITH_WORDS
    // A failure here is reported by each sound's own attempt.
    std::string ignored;
    if (options.recognizer == "words" && !options.haveText && options.textFile.empty())
        SharedRecognizer(ignored);
#else
    (void)options;
#endif
}

std::string DataFolder(const TOptions& options) {
    if (!options.data.empty()) return options.data;
    if (const char* env = std::getenv("VOXTRAIL_DATA"); env && *env) return env;
    return InstalledFolder(VOXTRAIL_DATA_FROM_BIN, VOXTRAIL_INSTALLED_DATA, VOXTRAIL_SOURCE_DATA);
}

int AnalyseSound(const TOptions& options, const std::string& sound, TAnalysisResult& result,
                 std::string& error) {
    std::string text;
    bool haveText = false;
    if (!options.textFile.empty()) {
        if (!ReadTranscript(options.textFile, text, error)) return kExitFailure;
        haveText = true;
    } else if (options.haveText) {
        text = options.text;
        haveText = true;
    } else if (const std::string beside = TranscriptBeside(sound); IsRegularFile(beside)) {
        if (!ReadTranscript(beside, text, error)) return kExitFailure;
        haveText = true;
    }

    TPreparedSound prepared;
    if (!PrepareSound(sound, prepared, error)) {
        error = "cannot read the sound '" + sound + "': " + error;
        return kExitFailure;
    }
    const std::vector<TSoundPiece>& pieces = prepared.pieces;
    if (pieces.size() == 1) {
        TTempFile temp;
        std::string path;
        if (!PiecePath(prepared, 0, temp, path, error)) return kExitFailure;
        return AnalysePiece(options, sound, path, pieces[0].sndfile, "", haveText, text, result,
                            error);
    }

    // A long sound: each piece with its share of the transcript, then one result.
    std::vector<double> speech, offsets;
    for (const TSoundPiece& piece : pieces) {
        speech.push_back(piece.speech);
        offsets.push_back(piece.offset);
    }
    const std::vector<std::string> texts = SplitTranscript(text, speech);
    std::vector<TAnalysisResult> results(pieces.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::string where = " (in the piece from " + Seconds(pieces[i].offset) + " to " +
                                  Seconds(pieces[i].offset + pieces[i].duration) + ")";
        TTempFile temp;
        std::string path;
        if (!PiecePath(prepared, i, temp, path, error)) return kExitFailure;
        if (const int status = AnalysePiece(options, sound, path, true, where, haveText, texts[i],
                                            results[i], error))
            return status;
    }
    result = JoinResults(results, offsets, prepared.duration);
    return 0;
}

} // namespace Vantrix
