// recognizers/words/word_recognizer.h
#pragma once
#include <memory>
#include <string>
#include <vector>
namespace Vantrix {
struct TRecognizedWord {
    std::string text; // as the recogniser's dictionary spells it, lower case, no "(2)" variants
    double start = 0; // seconds from the start of the sound
    double end = 0;
};
struct TWordRecognition {
    std::string recognizer;             // e.g. "pocketsphinx en-us" (said in the JSON output)
    std::vector<TRecognizedWord> words; // in time order; fillers, noise and <s> </s> removed
};
// A word recogniser: one interface, so others can be added later.
class IWordRecognizer {
public:
    virtual ~IWordRecognizer() = default;
    // Recognises the words of a sound file (anything libsndfile reads; mixed to mono and brought
    // to the model's rate). false with a message naming the cause in the user's terms.
    virtual bool Recognize(const std::string& soundPath, TWordRecognition& out,
                           std::string& error) = 0;
};
// The PocketSphinx recogniser with Debian's en-us model; modelFolder empty: the installed
// model (/usr/share/pocketsphinx/model/en-us or $VOXTRAIL_WORDS_MODEL). nullptr, with error
// naming the missing file and the package that provides it ("pocketsphinx-en-us"), when the
// model is missing.
std::unique_ptr<IWordRecognizer> CreatePocketSphinxRecognizer(const std::string& modelFolder,
                                                              std::string& error);
// Whether sounds at this rate (Hz) are better served by the free phoneme loop than by words:
// true below 16000, where the engine takes its 8 kHz path and the recogniser hears worse.
bool PrefersPhonemeLoop(int sampleRate);
} // namespace Vantrix
