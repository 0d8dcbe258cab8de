#include "grammar.h"

#include "dictionary.h"
#include "errors.h"
#include "log_score.h"
#include "phoneme_models.h"

namespace Vantrix {

namespace {

// Classes of a pronunciation; false when it is empty or names an unknown phoneme.
bool ParsePronunciation(const std::string& text, std::vector<int8_t>& classes,
                        std::string& normalised) {
    classes.clear();
    normalised.clear();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        size_t begin = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i == begin) break;
        int32_t cls = PhonemeClassOf(text.data() + begin, i - begin);
        if (cls < 0) return false;
        classes.push_back(int8_t(cls));
        if (!normalised.empty()) normalised += ' ';
        normalised.append(text, begin, i - begin);
    }
    return !classes.empty();
}

} // namespace

int32_t TGrammar::AddNode(bool final) {
    finalNodes.push_back(final ? 1 : 0);
    return NodeCount() - 1;
}

void TGrammar::SetFinal(int32_t node, bool final) {
    if (node < 0 || node >= NodeCount()) throw eetRangeFailure;
    finalNodes[size_t(node)] = final ? 1 : 0;
}

int32_t TGrammar::AddWord(const TWordPronunciations& word) {
    TGrammarWord entry;
    entry.text = word.word;
    std::vector<int8_t> classes;
    std::string normalised;
    for (const std::string& pronunciation : word.pronunciations) {
        if (!ParsePronunciation(pronunciation, classes, normalised)) continue;
        entry.pronunciations.push_back(normalised);
        entry.phonemes.push_back(classes);
    }
    if (entry.phonemes.empty()) return -1;
    words.push_back(std::move(entry));
    return int32_t(words.size()) - 1;
}

void TGrammar::AddArc(int32_t from, int32_t to, int32_t word, double probability, bool silence) {
    if (from < 0 || from >= NodeCount() || to < 0 || to >= NodeCount() || word < 0 ||
        word >= int32_t(words.size()))
        throw eetRangeFailure;
    arcs.push_back({from, to, word, LogScore(probability), silence});
}

void TGrammar::Expand(std::vector<TWordModel>& models, int32_t pronunciationScore) const {
    models.clear();
    for (const TGrammarArc& arc : arcs) {
        const TGrammarWord& word = words[size_t(arc.word)];
        for (int32_t p = 0; p < int32_t(word.phonemes.size()); ++p)
            models.push_back(
                {arc.from, arc.to, arc.word, p, arc.score + pronunciationScore, arc.silence});
    }
}

TGrammar BuildPhonemeLoopGrammar() {
    TGrammar grammar;
    int32_t node = grammar.AddNode(true);
    grammar.SetStartNode(node);
    for (int32_t cls = 0; cls < kPhonemeClassCount; ++cls) {
        const PhonemeModel& model = kPhonemeModels[cls];
        int32_t word = grammar.AddWord({model.name, {model.name}});
        grammar.AddArc(node, node, word, model.loopProbability);
    }
    return grammar;
}

TGrammar BuildLinearGrammar(const TPronunciationList& words, double silenceProbability) {
    TGrammar grammar;
    const bool pauses = silenceProbability > 0.0;
    const int32_t silence =
        pauses ? grammar.AddWord({kSilenceWord, {kSilencePronunciation}}) : -1;
    // The pause returns to the node it leaves, so every word has one model per pronunciation.
    const double wordProbability = pauses ? 1.0 - silenceProbability : 1.0;
    int32_t node = grammar.AddNode();
    grammar.SetStartNode(node);
    for (const TWordPronunciations& entry : words) {
        const int32_t word = grammar.AddWord(entry);
        if (word < 0) continue;
        const int32_t next = grammar.AddNode();
        if (pauses) grammar.AddArc(node, node, silence, silenceProbability, true);
        grammar.AddArc(node, next, word, wordProbability);
        node = next;
    }
    if (pauses) grammar.AddArc(node, node, silence, silenceProbability, true);
    grammar.SetFinal(node);
    return grammar;
}

} // namespace Vantrix
