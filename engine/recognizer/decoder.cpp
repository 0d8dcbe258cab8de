#include "decoder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "errors.h"
#include "log_score.h"
#include "trace.h"

namespace Vantrix {

namespace {

// Kinds of a phoneme state.
constexpr uint8_t kLastState = 1; // self-loop; entered with the exit score
constexpr uint8_t kBoundary = 2;  // first state of a phoneme after the word's first

constexpr int32_t kFrameSlotStep = 1024;
constexpr uint8_t kSkipFlag = 255;
constexpr uint8_t kEndFlag = 128;

// Before any frame has been scored only unreachable states are pruned; anything derived from
// kUnreachableScore stays below this.
constexpr int32_t kOpenThreshold = kUnreachableScore / 2;

} // namespace

TDecoder::TDecoder(double acousticWeight) : models(acousticWeight) {}

void TDecoder::Prepare(const TGrammar& newGrammar, TPhonemeList* phonemes, TWordList* words,
                       const TDecodeOptions& newOptions) {
    grammar = &newGrammar;
    phonemeList = phonemes;
    wordList = words;
    options = newOptions;

    newGrammar.Expand(wordModels);
    const int32_t modelCount = int32_t(wordModels.size());
    modelBegin.clear();
    modelLastPhoneme.clear();
    stateClass.clear();
    stateKind.clear();
    statePhoneme.clear();
    bool multiPhoneme = false;
    for (const TWordModel& model : wordModels) {
        const std::vector<int8_t>& classes =
            newGrammar.Word(model.word).phonemes[size_t(model.pronunciation)];
        multiPhoneme = multiPhoneme || classes.size() > 1;
        modelBegin.push_back(int32_t(stateClass.size()));
        modelLastPhoneme.push_back(int32_t(classes.size()) - 1);
        // The entry state.
        stateClass.push_back(0);
        stateKind.push_back(0);
        statePhoneme.push_back(-1);
        for (size_t k = 0; k < classes.size(); ++k) {
            const int32_t states = models.States(classes[k]);
            for (int32_t j = 0; j < states; ++j) {
                uint8_t kind = 0;
                if (j == states - 1) kind |= kLastState;
                if (j == 0 && k > 0) kind |= kBoundary;
                stateClass.push_back(classes[k]);
                stateKind.push_back(kind);
                statePhoneme.push_back(int16_t(k));
            }
        }
    }
    modelBegin.push_back(int32_t(stateClass.size()));
    phonemeRecords = options.phonemeOutput && multiPhoneme;

    stateScore.assign(stateClass.size(), kUnreachableScore);
    stateBp.assign(stateClass.size(), -1);
    isActive.assign(size_t(modelCount), 0);
    active.clear();

    const int32_t nodeCount = newGrammar.NodeCount();
    nodeModelBegin.assign(size_t(nodeCount) + 1, 0);
    for (const TWordModel& model : wordModels)
        ++nodeModelBegin[size_t(model.from) + 1];
    for (int32_t n = 0; n < nodeCount; ++n)
        nodeModelBegin[size_t(n) + 1] += nodeModelBegin[size_t(n)];
    nodeModels.assign(size_t(modelCount), 0);
    std::vector<int32_t> fill(nodeModelBegin.begin(), nodeModelBegin.end() - 1);
    for (int32_t m = 0; m < modelCount; ++m)
        nodeModels[size_t(fill[size_t(wordModels[size_t(m)].from)]++)] = m;

    nodeScore.assign(size_t(nodeCount), kUnreachableScore);
    nodeModel.assign(size_t(nodeCount), -1);
    nodeBp.assign(size_t(nodeCount), -1);
    nodeRecord.assign(size_t(nodeCount), -1);
    nodeTouched.assign(size_t(nodeCount), 0);
    touched.clear();
    ResetRecords();
}

void TDecoder::ClearActiveStates() {
    for (int32_t m : active) {
        for (int32_t s = modelBegin[size_t(m)]; s < modelBegin[size_t(m) + 1]; ++s) {
            stateScore[size_t(s)] = kUnreachableScore;
            stateBp[size_t(s)] = -1;
        }
        isActive[size_t(m)] = 0;
    }
    active.clear();
}

void TDecoder::ResetRecords() {
    for (int32_t n : touched) {
        nodeTouched[size_t(n)] = 0;
        nodeRecord[size_t(n)] = -1;
    }
    touched.clear();
    records.clear();
    freeRecords = -1;
    root = -1;
    slotHead.assign(size_t(kFrameSlotStep), -1);
    oldestSlot = 0;
    liveRecords = 0;
}

void TDecoder::EnsureSlots(int32_t slot) {
    while (size_t(slot) >= slotHead.size())
        slotHead.resize(slotHead.size() + kFrameSlotStep, -1);
}

int32_t TDecoder::NewRecord(int32_t model, int32_t phoneme, bool wordEnd, int32_t slot,
                            int32_t prev) {
    int32_t r;
    if (freeRecords >= 0) {
        r = freeRecords;
        freeRecords = records[size_t(r)].slotNext;
    } else {
        r = int32_t(records.size());
        records.push_back(Record());
    }
    Record& rec = records[size_t(r)];
    rec.prev = prev;
    rec.refs = 0;
    rec.frame = slot;
    rec.model = model;
    rec.phoneme = int16_t(phoneme);
    rec.wordEnd = wordEnd;
    rec.slotPrev = -1;
    rec.slotNext = slotHead[size_t(slot)];
    if (rec.slotNext >= 0) records[size_t(rec.slotNext)].slotPrev = r;
    slotHead[size_t(slot)] = r;
    Retain(prev);
    ++liveRecords;
    peakLiveRecords = std::max(peakLiveRecords, liveRecords);
    return r;
}

void TDecoder::FreeRecord(int32_t r) {
    Record& rec = records[size_t(r)];
    if (rec.slotPrev >= 0)
        records[size_t(rec.slotPrev)].slotNext = rec.slotNext;
    else
        slotHead[size_t(rec.frame)] = rec.slotNext;
    if (rec.slotNext >= 0) records[size_t(rec.slotNext)].slotPrev = rec.slotPrev;
    --liveRecords;
    rec.refs = 0;
    rec.model = -1;
    rec.slotPrev = -1;
    rec.slotNext = freeRecords;
    freeRecords = r;
}

void TDecoder::FreeChain(int32_t r) {
    // r is no longer held; it lets go of its predecessor in turn. The root stays.
    for (;;) {
        const int32_t prev = records[size_t(r)].prev;
        FreeRecord(r);
        if (prev < 0 || --records[size_t(prev)].refs > 0 || prev == root) return;
        r = prev;
    }
}

void TDecoder::BeginUtterance(int32_t node, int32_t offset) {
    if (grammar == nullptr) throw TError("decoder used before Prepare", eetWrongState);
    if (node < 0 || node >= grammar->NodeCount()) throw eetRangeFailure;
    ClearActiveStates();
    ResetRecords();
    root = int32_t(records.size());
    records.push_back(Record{-1, 0, 0, -1, -1, false, -1, -1});

    frameOffset = offset;
    frame = 0;
    wordStartFrame = 0;
    threshold = kOpenThreshold;
    shift = 0;
    sinkNode = -1;
    if (options.wordByWord) {
        const int32_t first = nodeModelBegin[size_t(node)];
        if (first < nodeModelBegin[size_t(node) + 1])
            sinkNode = wordModels[size_t(nodeModels[size_t(first)])].to;
    }

    for (int32_t i = nodeModelBegin[size_t(node)]; i < nodeModelBegin[size_t(node) + 1]; ++i) {
        const int32_t m = nodeModels[size_t(i)];
        const int32_t entry = modelBegin[size_t(m)];
        stateScore[size_t(entry)] = wordModels[size_t(m)].entryScore;
        stateBp[size_t(entry)] = root;
        Retain(root);
        isActive[size_t(m)] = 1;
        active.push_back(m);
    }
}

void TDecoder::UpdateWord(int32_t m, const int32_t* a, int32_t& best, bool& alive) {
    const int32_t begin = modelBegin[size_t(m)];
    const int32_t end = modelBegin[size_t(m) + 1];
    int32_t* score = stateScore.data();
    int32_t* bp = stateBp.data();
    const int8_t* cls = stateClass.data();
    const uint8_t* kind = stateKind.data();
    alive = false;
    // Last state first, so every state still sees its predecessor's old score.
    for (int32_t s = end - 1; s > begin; --s) {
        const int32_t c = cls[s];
        const int32_t prevScore = score[s - 1];
        const int32_t prevBp = bp[s - 1];
        int32_t newScore;
        int32_t newBp;
        bool entered;
        if (kind[s] & kLastState) {
            const int32_t stay = models.StayScore(c) + score[s];
            const int32_t enter = models.ExitScore(c) + prevScore;
            // A tie keeps the self-loop.
            entered = enter > stay;
            newScore = entered ? enter : stay;
            newBp = entered ? prevBp : bp[s];
        } else {
            newScore = prevScore;
            newBp = prevBp;
            entered = true;
        }
        newScore += a[c];
        if (newScore < threshold) {
            if (bp[s] >= 0) {
                Release(bp[s]);
                bp[s] = -1;
            }
            score[s] = kUnreachableScore;
            continue;
        }
        if (entered && phonemeRecords && (kind[s] & kBoundary))
            newBp = NewRecord(m, statePhoneme[size_t(s)] - 1, false, frame, prevBp);
        if (newBp != bp[s]) {
            Retain(newBp);
            Release(bp[s]);
            bp[s] = newBp;
        }
        score[s] = newScore;
        alive = true;
        if (newScore > best) best = newScore;
    }
    // The entry has been taken up by the first state.
    if (bp[begin] >= 0) {
        Release(bp[begin]);
        bp[begin] = -1;
    }
    score[begin] = kUnreachableScore;
}

bool TDecoder::ProcessFrame(const FrameProbabilities& row, uint8_t flags) {
    if (grammar == nullptr || root < 0)
        throw TError("decoder used outside an utterance", eetWrongState);
    if (flags == kSkipFlag) {
        ++frame;
        return false;
    }
    if (row.scores.size() != size_t(kPhonemeClassCount))
        throw TError("frame scores do not match the phoneme models", eetDataFailure);
    const bool last = (flags & kEndFlag) != 0;
    EnsureSlots(frame + 1);

    // Scores are kept relative to the previous frame's best, so they never drift toward the
    // unreachable mark however long the utterance.
    const uint8_t* bytes = row.scores.data();
    for (int32_t c = 0; c < kPhonemeClassCount; ++c)
        acoustic[c] = models.AcousticScore(c, bytes[c]) - shift;

    for (int32_t n : touched) {
        nodeTouched[size_t(n)] = 0;
        Release(nodeRecord[size_t(n)]);
        nodeRecord[size_t(n)] = -1;
    }
    touched.clear();

    int32_t best = kUnreachableScore;
    size_t kept = 0;
    for (size_t i = 0; i < active.size(); ++i) {
        const int32_t m = active[i];
        bool alive;
        UpdateWord(m, acoustic, best, alive);
        if (!alive) {
            isActive[size_t(m)] = 0;
            continue;
        }
        active[kept++] = m;
        const int32_t lastState = modelBegin[size_t(m) + 1] - 1;
        const int32_t score = stateScore[size_t(lastState)];
        if (score <= kUnreachableScore) continue;
        const int32_t to = wordModels[size_t(m)].to;
        if (!nodeTouched[size_t(to)]) {
            nodeTouched[size_t(to)] = 1;
            touched.push_back(to);
        } else if (score < nodeScore[size_t(to)] ||
                   (score == nodeScore[size_t(to)] && m > nodeModel[size_t(to)])) {
            // Only a better score takes the node; on a tie the lower model keeps it, whatever
            // order the active list is in.
            continue;
        }
        nodeScore[size_t(to)] = score;
        nodeModel[size_t(to)] = m;
        nodeBp[size_t(to)] = stateBp[size_t(lastState)];
    }
    active.resize(kept);

    for (int32_t n : touched) {
        const int32_t m = nodeModel[size_t(n)];
        const int32_t r =
            NewRecord(m, modelLastPhoneme[size_t(m)], true, frame + 1, nodeBp[size_t(n)]);
        Retain(r);
        nodeRecord[size_t(n)] = r;
    }

    if (!last) {
        for (int32_t n : touched) {
            if (n == sinkNode) continue;
            const int32_t r = nodeRecord[size_t(n)];
            for (int32_t i = nodeModelBegin[size_t(n)]; i < nodeModelBegin[size_t(n) + 1]; ++i) {
                const int32_t m = nodeModels[size_t(i)];
                const int32_t entry = modelBegin[size_t(m)];
                stateScore[size_t(entry)] = wordModels[size_t(m)].entryScore + nodeScore[size_t(n)];
                Retain(r);
                stateBp[size_t(entry)] = r;
                if (!isActive[size_t(m)]) {
                    isActive[size_t(m)] = 1;
                    active.push_back(m);
                }
            }
        }
    }

    if (best > kUnreachableScore) {
        shift = best;
        threshold = -kBeamWidth;
    } else {
        shift = 0;
        threshold = kOpenThreshold;
    }
    ++frame;
    CommitConverged();
    return last;
}

void TDecoder::CommitConverged() {
    // Once a single record holds the root, every surviving path runs through it.
    while (records[size_t(root)].refs == 1 && liveRecords > 0) {
        while (size_t(oldestSlot) < slotHead.size() && slotHead[size_t(oldestSlot)] < 0)
            ++oldestSlot;
        if (size_t(oldestSlot) >= slotHead.size()) return;
        int32_t x = slotHead[size_t(oldestSlot)];
        while (x >= 0 && records[size_t(x)].prev != root)
            x = records[size_t(x)].slotNext;
        if (x < 0) return;
        Commit(x, records[size_t(root)].frame);

        Record& rec = records[size_t(x)];
        if (rec.slotPrev >= 0)
            records[size_t(rec.slotPrev)].slotNext = rec.slotNext;
        else
            slotHead[size_t(rec.frame)] = rec.slotNext;
        if (rec.slotNext >= 0) records[size_t(rec.slotNext)].slotPrev = rec.slotPrev;
        rec.slotNext = rec.slotPrev = -1;
        rec.prev = -1;
        --liveRecords;

        Record& old = records[size_t(root)];
        old.refs = 0;
        old.model = -1;
        old.slotNext = freeRecords;
        freeRecords = root;
        root = x;
    }
}

void TDecoder::Commit(int32_t r, int32_t startFrame) {
    const Record rec = records[size_t(r)];
    const TWordModel& model = wordModels[size_t(rec.model)];
    const std::vector<int8_t>& classes =
        grammar->Word(model.word).phonemes[size_t(model.pronunciation)];
    const int32_t cls = classes[size_t(rec.phoneme)];
    if (!rec.wordEnd) {
        appendSegment(*this, {nullptr, cls}, startFrame, rec.frame);
        return;
    }
    if (startFrame == wordStartFrame) {
        const bool spelled = phonemeRecords || classes.size() == 1;
        appendSegment(*this, {&model, spelled ? cls : -1}, startFrame, rec.frame);
    } else {
        appendSegment(*this, {nullptr, cls}, startFrame, rec.frame);
        appendSegment(*this, {&model, -1}, wordStartFrame, rec.frame);
    }
    wordStartFrame = rec.frame;
}

int32_t TDecoder::EndUtterance() {
    if (grammar == nullptr || root < 0)
        throw TError("decoder used outside an utterance", eetWrongState);
    // A final node reached at the last frame, the best if several; else the node furthest on.
    int32_t chosen = -1;
    bool final = false;
    for (int32_t n : touched) {
        const bool isFinal = options.wordByWord ? n == sinkNode : grammar->IsFinal(n);
        if (isFinal) {
            if (!final || nodeScore[size_t(n)] > nodeScore[size_t(chosen)] ||
                (nodeScore[size_t(n)] == nodeScore[size_t(chosen)] && n < chosen))
                chosen = n;
            final = true;
        } else if (!final && n > chosen) {
            chosen = n;
        }
    }
    if (chosen < 0 || nodeRecord[size_t(chosen)] < 0) {
        ClearActiveStates();
        ResetRecords();
        throw TError("Error #000002: Utterance has no path to traceback", eetCatastrophicFailure);
    }
    if (!final) {
        ++earlyEnds;
        Trace("Vantrix: utterance ended before the grammar's final node\n");
    }

    chain.clear();
    int32_t r = nodeRecord[size_t(chosen)];
    while (r >= 0 && r != root) {
        chain.push_back(r);
        r = records[size_t(r)].prev;
    }
    int32_t start = records[size_t(root)].frame;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        Commit(*it, start);
        start = records[size_t(*it)].frame;
    }
    ClearActiveStates();
    ResetRecords();
    return chosen;
}

void appendSegment(TDecoder& decoder, const TSegmentUnit& unit, int32_t startFrame,
                   int32_t endFrame) {
    const TDecodeOptions& options = decoder.options;
    if (unit.word != nullptr && options.collector != nullptr) {
        const TGrammarWord& word = decoder.grammar->Word(unit.word->word);
        options.collector->push_back(
            {word.text, {word.pronunciations[size_t(unit.word->pronunciation)]}});
    }
    const int64_t startMs = (int64_t(decoder.frameOffset) + startFrame) * kFrameMs;
    const int64_t endMs = (int64_t(decoder.frameOffset) + endFrame) * kFrameMs;
    if (endMs > std::numeric_limits<int32_t>::max())
        throw TError("segment time out of range", eetRangeFailure);
    if (unit.word != nullptr && options.wordOutput && decoder.wordList != nullptr &&
        !unit.word->silence)
        decoder.wordList->Append(
            TWord(decoder.grammar->Word(unit.word->word).text, int32_t(startMs), int32_t(endMs)));
    if (unit.phoneme >= 0 && options.phonemeOutput && decoder.phonemeList != nullptr) {
        TPhonemeList& list = *decoder.phonemeList;
        const int32_t lastEnd = list.EndTime();
        if (endMs > lastEnd) {
            const int32_t start = std::max(int32_t(startMs), lastEnd);
            const TPhoneme phoneme(kPhonemeModels[unit.phoneme].name, start, int32_t(endMs),
                                   decoder.nextSegmentIndex);
            if (int32_t code = list.AppendSegment(phoneme))
                throw TError("Error #000003: phoneme append error", EErrorType(code));
            ++decoder.nextSegmentIndex;
        }
    }
}

int32_t decodeUtterances(TDecoder& decoder, const TGrammar& grammar,
                         const FrameProbabilitiesVector& rows, TPhonemeList& phonemes,
                         TWordList& words, const TDecodeOptions& options) {
    if (options.flags != nullptr && int64_t(options.flags->size()) != rows.Count())
        return eetArgumentFailure;
    // Times are int32 ms on the frame grid.
    if (rows.Count() > std::numeric_limits<int32_t>::max() / kFrameMs) return eetRangeFailure;
    decoder.Prepare(grammar, &phonemes, &words, options);
    if (rows.IsEmpty()) return eetSuccess;
    int32_t node = grammar.StartNode();
    bool open = false;
    for (int32_t i = rows.Low(); i <= rows.High(); ++i) {
        const int32_t position = i - rows.Low();
        if (!open) {
            decoder.BeginUtterance(options.wordByWord ? node : grammar.StartNode(), position);
            open = true;
        }
        const FrameProbabilities& row = rows.At(i);
        const uint8_t flags = options.flags ? (*options.flags)[size_t(position)] : row.flags;
        if (decoder.ProcessFrame(row, flags)) {
            node = decoder.EndUtterance();
            open = false;
        }
    }
    if (open) decoder.EndUtterance();
    return eetSuccess;
}

int32_t decodePhonemeLoop(TDecoder& decoder, const FrameProbabilitiesVector& rows,
                          TPhonemeList& phonemes) {
    const TGrammar grammar = BuildPhonemeLoopGrammar();
    TWordList unused;
    TDecodeOptions options;
    options.phonemeOutput = true;
    return decodeUtterances(decoder, grammar, rows, phonemes, unused, options);
}

int32_t alignTranscript(TDecoder& decoder, const FrameProbabilitiesVector& rows,
                        const TPronunciationList& words, uint32_t sampleRate,
                        TPhonemeList& phonemes, TWordList& wordList) {
    if (sampleRate != 16000 && sampleRate != 8000)
        throw TError("alignment needs a rate of 16000 or 8000 Hz", eetArgumentFailure);
    const double frameShift = sampleRate == 16000 ? 256.0 : 128.0;

    const TGrammar first = BuildLinearGrammar(words, kOptionalSilenceProbability);
    bool spoken = false;
    for (const TGrammarArc& arc : first.Arcs())
        spoken = spoken || !arc.silence;
    // Nothing pronounceable: the free loop serves better than one long pause.
    if (!spoken) {
        Trace("no word of the transcript can be pronounced: the phonemes are found without it\n");
        return decodePhonemeLoop(decoder, rows, phonemes);
    }

    TPronunciationList chosen;
    TDecodeOptions firstPass;
    firstPass.wordOutput = true;
    firstPass.phonemeOutput = false;
    firstPass.collector = &chosen;
    const int32_t firstWord = wordList.Count();
    if (int32_t code = decodeUtterances(decoder, first, rows, phonemes, wordList, firstPass))
        return code;

    // The re-marked copy differs from the rows only in its flags: an utterance per word and
    // per pause between words.
    const int64_t count = rows.Count();
    std::vector<uint8_t> flags(size_t(count), 0);
    for (int64_t i = 0; i < count; ++i)
        if (rows.At(int32_t(rows.Low() + i)).flags == kSkipFlag) flags[size_t(i)] = kSkipFlag;
    auto toFrame = [&](int32_t ms) {
        return int64_t(std::floor(ms / 1000.0 * sampleRate / frameShift + 0.5));
    };
    auto mark = [&](int64_t f) {
        if (f >= 0 && f < count && flags[size_t(f)] != kSkipFlag) flags[size_t(f)] = kEndFlag;
    };
    int64_t previousEnd = 0;
    for (int32_t w = firstWord; w < wordList.Count(); ++w) {
        const int64_t start = toFrame(wordList[w].StartMs());
        const int64_t end = toFrame(wordList[w].EndMs());
        if (start > previousEnd) mark(start - 1);
        mark(end - 1);
        previousEnd = end;
    }

    const TGrammar second = BuildLinearGrammar(chosen, 0.0);
    TDecodeOptions secondPass;
    secondPass.phonemeOutput = true;
    secondPass.wordByWord = true;
    secondPass.flags = &flags;
    return decodeUtterances(decoder, second, rows, phonemes, wordList, secondPass);
}

} // namespace Vantrix
