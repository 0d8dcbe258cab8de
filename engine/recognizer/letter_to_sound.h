// Letter-to-sound: a context model learnt from an aligned lexicon, predicting the phonemes of
// words the pronunciation dictionary lacks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trie_pool.h"

namespace Vantrix {

// Entries longer than this many letter units mark the lexicon as damaged.
constexpr int32_t kMaxLexiconWordUnits = 128;
// Memory the context trie may take before the lexicon counts as damaged.
constexpr size_t kMaxContextTrieBytes = size_t(1) << 30;

class TLetterToSound {
public:
    explicit TLetterToSound(size_t maxTrieBytes = kMaxContextTrieBytes);

    // Learns the model from an aligned lexicon file, replacing what was learnt before. Throws
    // eetCatastrophicFailure for an unreadable file, one without entries, an entry whose group
    // count differs from its letter-unit count, or a model too large.
    void Learn(const std::string& lexiconPath);

    // The predicted pronunciation of an upper-case spelling: non-empty phone groups joined by
    // single spaces. Letter runs the lexicon never contains lose leading letters until known.
    std::string Pronounce(std::string_view spelling) const;

    // Sorted letter-unit and phone-group inventories ("" is the empty group).
    const std::vector<std::string>& Units() const { return units; }
    const std::vector<std::string>& Groups() const { return groups; }
    size_t NodeCount() const { return nodeCount; }
    size_t PoolBlockCount() const { return pool.BlockCount(); }

private:
    struct TCountCell;
    struct TChildTable;
    struct TContextNode;

    void Clear();
    TContextNode* ChildFor(TContextNode* parent, int32_t key);
    TContextNode* NewNode(int32_t key);
    TChildTable* NewTable(uint32_t capacity);
    static void PutInTable(TChildTable* table, TContextNode* node);
    void AddSample(TContextNode* node, int32_t group);
    static int32_t Decision(const TContextNode* node);
    const TContextNode* FindChild(const TContextNode* parent, int32_t key) const;
    int32_t UnitIndex(std::string_view run) const;

    TTriePool pool;
    std::vector<std::string> units, groups;
    std::vector<TContextNode*> roots; // one per letter unit: the first context element
    size_t nodeCount = 0;
};

// Predicted pronunciations of upper-case spellings, one per spelling: what Learn followed by
// Pronounce gives, but learning only the trie paths that these spellings' contexts reach. Throws
// as Learn does.
std::vector<std::string> PronounceFromLexicon(const std::string& lexiconPath,
                                              const std::vector<std::string_view>& spellings,
                                              size_t maxTrieBytes = kMaxContextTrieBytes);

// The context of position i among n letter units: u[i], then alternately the next unit to the
// left and to the right, with -1 once for each word edge (n + 2 entries).
void BuildContext(const int32_t* unitIndices, int32_t n, int32_t i, std::vector<int32_t>& context);
// Element k of that context.
int32_t ContextElement(const int32_t* unitIndices, int32_t n, int32_t i, int32_t k);

} // namespace Vantrix
