// The recognizer's 41 phoneme classes and the per-class scores of the search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Vantrix {

constexpr int32_t kPhonemeClassCount = 41;
constexpr int32_t kSilenceClass = 0;
// Longest chain of states a phoneme model has.
constexpr int32_t kMaxModelStates = 3;

// One row of the model table. The duration of the last state is geometric: exit * stay^(d-1).
struct PhonemeModel {
    const char* name;
    double prior;
    int32_t states;
    double stay;
    double exit;
    double loopProbability;
};

// In the classifier's output order: class index = row index.
extern const PhonemeModel kPhonemeModels[kPhonemeClassCount];

// Class of an exact phoneme name; -1 when the name is not a class name.
int32_t PhonemeClassOf(const char* name, size_t length);
inline int32_t PhonemeClassOf(const std::string& name) {
    return PhonemeClassOf(name.data(), name.size());
}

// Per-class constants of the search and the acoustic score of a classifier byte.
class TPhonemeModels {
public:
    explicit TPhonemeModels(double acousticWeight = 1.0);

    int32_t States(int32_t cls) const { return kPhonemeModels[cls].states; }
    // w * score(prior), truncated toward zero.
    int32_t PriorScore(int32_t cls) const { return priorScore[cls]; }
    int32_t StayScore(int32_t cls) const { return stayScore[cls]; }
    int32_t ExitScore(int32_t cls) const { return exitScore[cls]; }
    int32_t LoopScore(int32_t cls) const { return loopScore[cls]; }

    // a_i for score byte b = -24 ln(posterior): w * b * (-8192 / (24 ln 10)) - P_i, truncated.
    int32_t AcousticScore(int32_t cls, uint8_t b) const { return acoustic[cls][b]; }

private:
    int32_t priorScore[kPhonemeClassCount];
    int32_t stayScore[kPhonemeClassCount];
    int32_t exitScore[kPhonemeClassCount];
    int32_t loopScore[kPhonemeClassCount];
    int32_t acoustic[kPhonemeClassCount][256];
};

} // namespace Vantrix
