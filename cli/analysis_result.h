// An analysis copied out of the engine through the public interface, so that the renderings do
// not hold an engine handle and pieces of a long sound can be joined into one result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voxtrail.h"

namespace Vantrix {

struct TResultKey {
    double time = 0;
    double value = 0;
    double inSlope = 0; // value units per millisecond, as the engine gives them
    double outSlope = 0;
};

struct TResultTrack {
    std::string name; // empty when the track has no name (the built-in speech targets)
    std::vector<TResultKey> keys;
};

struct TResultSegment {
    int32_t id = 0; // phoneme identity 0-40 (40 silence)
    double start = 0;
    double end = 0;
};

struct TResultWord {
    std::string text;
    double start = 0;
    double end = 0;
};

struct TAnalysisResult {
    std::string soundPath; // as the user gave it
    double duration = 0;   // end of the last phoneme segment
    int32_t framesPerSecond = 30;
    std::string shapes;    // the mouth-shape set naming the speech targets, or empty
    std::string restShape; // the set's shape while every target is at rest
    // Where the words came from: "transcript", "none" (the phoneme loop), or the word
    // recogniser's name; recognizedWords holds what the recogniser heard.
    std::string wordSource = "none";
    std::vector<TResultWord> recognizedWords;
    std::vector<TResultSegment> phonemes;
    std::vector<TResultWord> words;
    std::vector<TResultTrack> speechTargets;
    std::vector<TResultTrack> gestures;
};

// Copies every phoneme, word and key of an analysis; 0 or the code of the first failing query.
// Gesture tracks get their channel names; speech targets are left unnamed.
uint32_t ReadAnalysis(VOXTRAIL_ANALYSIS* analysis, TAnalysisResult& out);

// Phoneme identity names, "iy" (0) to "sil" (40); nullptr outside.
const char* PhonemeIdentityName(int32_t id);
// Gesture channel names in track order; nullptr outside 0..10.
const char* GestureName(int32_t index);

} // namespace Vantrix
