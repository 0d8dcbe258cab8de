// Frame-synchronous Viterbi search over phoneme models with a beam and partial traceback.
#pragma once

#include <cstdint>
#include <vector>

#include "frames.h"
#include "grammar.h"
#include "phoneme_models.h"
#include "phonemes.h"
#include "words.h"

namespace Vantrix {

struct TDecodeOptions {
    bool wordOutput = false;
    bool phonemeOutput = true;
    // Transcript mode: receives every committed word with the pronunciation the search chose.
    TPronunciationList* collector = nullptr;
    // Each utterance crosses exactly one arc, from the node the previous utterance reached.
    bool wordByWord = false;
    // Flag bytes that replace the rows' own, one per row in order (a re-marked copy).
    const std::vector<uint8_t>* flags = nullptr;
};

// What one commit hands over: a word (with its chosen pronunciation), a phoneme, or both.
struct TSegmentUnit {
    const TWordModel* word = nullptr;
    int32_t phoneme = -1; // class, or -1
};

// Search state for one analysis: keeps its buffers and the running phoneme index between calls.
class TDecoder {
public:
    explicit TDecoder(double acousticWeight = 1.0);

    // Expands the grammar and directs the output; the grammar must outlive the search.
    void Prepare(const TGrammar& grammar, TPhonemeList* phonemes, TWordList* words,
                 const TDecodeOptions& options);
    // Resets the search for an utterance whose first frame is frameOffset.
    void BeginUtterance(int32_t startNode, int32_t frameOffset);
    // Scores one row under the given flag byte; true when the row ends the utterance.
    bool ProcessFrame(const FrameProbabilities& row, uint8_t flags);
    // Traces the utterance back, commits what is left and returns the node reached. Throws
    // TError "Error #000002: ..." when no path reached any node at the final frame.
    int32_t EndUtterance();

    // Backpointer records alive (not yet committed), their peak, and the frame slot capacity.
    int32_t LiveRecords() const { return liveRecords; }
    int32_t PeakLiveRecords() const { return peakLiveRecords; }
    int32_t FrameSlotCapacity() const { return int32_t(slotHead.size()); }
    // Utterances whose traceback started from a node other than a final one.
    int32_t EarlyEnds() const { return earlyEnds; }
    // Index the next appended phoneme carries (1 for the first of the analysis).
    int32_t NextSegmentIndex() const { return nextSegmentIndex; }

    const TPhonemeModels& Models() const { return models; }

private:
    friend void appendSegment(TDecoder& decoder, const TSegmentUnit& unit, int32_t startFrame,
                              int32_t endFrame);

    struct Record {
        int32_t prev;  // older record on the same path, -1 at the root
        int32_t refs;  // states, nodes and records holding it
        int32_t frame; // first frame after the segment it ends
        int32_t model; // word model
        int16_t phoneme;
        bool wordEnd;
        int32_t slotNext; // records of the same frame, or the free list
        int32_t slotPrev;
    };

    void ClearActiveStates();
    void UpdateWord(int32_t model, const int32_t* acoustic, int32_t& best, bool& alive);
    int32_t NewRecord(int32_t model, int32_t phoneme, bool wordEnd, int32_t frame, int32_t prev);
    void FreeRecord(int32_t r);
    void Retain(int32_t r) {
        if (r >= 0) ++records[size_t(r)].refs;
    }
    // Drops one hold; a record nobody holds any more is freed with its unheld predecessors.
    void Release(int32_t r) {
        if (r >= 0 && (--records[size_t(r)].refs > 0 || r == root)) return;
        if (r >= 0) FreeChain(r);
    }
    void FreeChain(int32_t r);
    void EnsureSlots(int32_t frame);
    void CommitConverged();
    void Commit(int32_t r, int32_t startFrame);
    void ResetRecords();

    TPhonemeModels models;

    // Output of the current search.
    const TGrammar* grammar = nullptr;
    TPhonemeList* phonemeList = nullptr;
    TWordList* wordList = nullptr;
    TDecodeOptions options;
    bool phonemeRecords = false; // records at phoneme boundaries inside words too
    int32_t nextSegmentIndex = 1;

    // Expanded network: word models and their states in flat arrays. A model's first state
    // holds its entry; the phoneme states follow.
    std::vector<TWordModel> wordModels;
    std::vector<int32_t> modelBegin; // per model, plus one past the end
    std::vector<int32_t> modelLastPhoneme;
    std::vector<int32_t> nodeModelBegin; // models leaving each node: a range of nodeModels
    std::vector<int32_t> nodeModels;
    std::vector<int8_t> stateClass;
    std::vector<uint8_t> stateKind;
    std::vector<int16_t> statePhoneme;
    std::vector<int32_t> stateScore;
    std::vector<int32_t> stateBp;

    // Models with a reachable state, in no particular order.
    std::vector<int32_t> active;
    std::vector<uint8_t> isActive;

    // Node tokens of the current frame.
    std::vector<int32_t> nodeScore;
    std::vector<int32_t> nodeModel;
    std::vector<int32_t> nodeBp;
    std::vector<int32_t> nodeRecord;
    std::vector<uint8_t> nodeTouched;
    std::vector<int32_t> touched;

    // Utterance.
    int32_t frameOffset = 0;
    int32_t frame = 0;          // frames of the utterance seen so far
    int32_t sinkNode = -1;      // final node whose arcs stay closed (word by word)
    int32_t threshold = 0;      // pruning threshold, in the units of the frame being scored
    int32_t shift = 0;          // best score of the previous frame, subtracted from this one
    int32_t wordStartFrame = 0; // start of the first word not yet committed
    int32_t acoustic[kPhonemeClassCount];

    // Backpointer records: a pool with a free list, linked per frame slot.
    std::vector<Record> records;
    std::vector<int32_t> slotHead;
    int32_t freeRecords = -1;
    int32_t root = -1;
    int32_t oldestSlot = 0;
    int32_t liveRecords = 0;
    int32_t peakLiveRecords = 0;
    int32_t earlyEnds = 0;
    std::vector<int32_t> chain;
};

// Runs the search over all rows, utterance by utterance (a row flagged 128 ends one); the
// result is 0. Throws TError for a failed traceback or append.
int32_t decodeUtterances(TDecoder& decoder, const TGrammar& grammar,
                         const FrameProbabilitiesVector& rows, TPhonemeList& phonemes,
                         TWordList& words, const TDecodeOptions& options);

// The commit step: frames of the current utterance become ms on the 16 ms grid.
void appendSegment(TDecoder& decoder, const TSegmentUnit& unit, int32_t startFrame,
                   int32_t endFrame);

// Free phoneme loop over the rows: phonemes only.
int32_t decodePhonemeLoop(TDecoder& decoder, const FrameProbabilitiesVector& rows,
                          TPhonemeList& phonemes);

// Two-pass alignment of the rows to the words (in transcript order) at 16000 or 8000 Hz: the
// words go to the word list, their phonemes to the phoneme list.
int32_t alignTranscript(TDecoder& decoder, const FrameProbabilitiesVector& rows,
                        const TPronunciationList& words, uint32_t sampleRate,
                        TPhonemeList& phonemes, TWordList& wordList);

} // namespace Vantrix
