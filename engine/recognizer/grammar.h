// Search grammars: nodes joined by word arcs, and their expansion into word models.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vantrix {

// A word and its pronunciations (phoneme names joined by single spaces), in transcript order.
struct TWordPronunciations {
    std::string word;
    std::vector<std::string> pronunciations;
};
using TPronunciationList = std::vector<TWordPronunciations>;

// Probability of the optional pause ("<SIL>") offered around transcript words.
constexpr double kOptionalSilenceProbability = 0.01;

// A word of the grammar's vocabulary with the pronunciations the models can spell.
struct TGrammarWord {
    std::string text;
    std::vector<std::string> pronunciations;   // normalised: names joined by single spaces
    std::vector<std::vector<int8_t>> phonemes; // classes, one sequence per pronunciation
};

struct TGrammarArc {
    int32_t from;
    int32_t to;
    int32_t word;  // index into the vocabulary
    int32_t score; // score of the arc's probability
    bool silence;  // an optional pause: committed but not listed as a word
};

// One pronunciation of one arc: the unit the search scores.
struct TWordModel {
    int32_t from;
    int32_t to;
    int32_t word;
    int32_t pronunciation;
    int32_t entryScore; // arc score + pronunciation score
    bool silence;
};

class TGrammar {
public:
    // New node; its index. Nodes are numbered in creation order.
    int32_t AddNode(bool final = false);
    void SetFinal(int32_t node, bool final = true);
    void SetStartNode(int32_t node) { startNode = node; }

    // Adds a word; pronunciations naming anything but the 41 classes, or nothing at all, are
    // left out. The word's index, or -1 when no pronunciation is left.
    int32_t AddWord(const TWordPronunciations& word);
    // An arc from one node to another naming a word, weighted by probability.
    void AddArc(int32_t from, int32_t to, int32_t word, double probability, bool silence = false);

    int32_t NodeCount() const { return int32_t(finalNodes.size()); }
    int32_t StartNode() const { return startNode; }
    bool IsFinal(int32_t node) const { return finalNodes[size_t(node)] != 0; }
    const std::vector<TGrammarArc>& Arcs() const { return arcs; }
    const std::vector<TGrammarWord>& Words() const { return words; }
    const TGrammarWord& Word(int32_t i) const { return words[size_t(i)]; }

    // One model per pronunciation of every arc's word, in arc order; every entry score gets
    // pronunciationScore added.
    void Expand(std::vector<TWordModel>& models, int32_t pronunciationScore = 0) const;

private:
    int32_t startNode = 0;
    std::vector<uint8_t> finalNodes;
    std::vector<TGrammarArc> arcs;
    std::vector<TGrammarWord> words;
};

// Without a transcript: one node with an arc back to itself per class, weighted by its loop
// probability.
TGrammar BuildPhonemeLoopGrammar();

// The words in order; with silenceProbability above 0 an optional "<SIL>" (p) is offered at
// every node, before each word (1 - p) and after the last. Words without a usable
// pronunciation are left out. Node indices grow along the chain; the last node is final.
TGrammar BuildLinearGrammar(const TPronunciationList& words, double silenceProbability);

} // namespace Vantrix
