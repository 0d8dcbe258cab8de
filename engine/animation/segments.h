// Working records of lip synching: one segment per phoneme, with its key triplet.
#pragma once

#include <cstdint>

#include "containers.h"
#include "keys.h"

namespace Vantrix {

class TPhonemeList;
class TCoarticulationRulesMap;

// Span of a phoneme that was merged into a segment.
struct ParentPhonemeInfo {
    int32_t start;
    int32_t end;
};

class TParentPhonemeList : public AOpenList<ParentPhonemeInfo> {
public:
    // Puts every span of front before this list's spans, in order; front is left empty.
    void PrependAll(TParentPhonemeList& front);
    void Swap(TParentPhonemeList& other) { items.swap(other.items); }
};

class TSegment {
public:
    // Throws eetRangeFailure when start > end or the phoneme index is outside 0..42.
    TSegment(int32_t start, int32_t end, int32_t phoneme);
    TSegment(const TSegment&) = default;
    TSegment& operator=(const TSegment&) = default;
    // Moves hand the key and parent lists over without copying them.
    TSegment(TSegment&& other) noexcept;
    TSegment& operator=(TSegment&& other) noexcept;

    int32_t Start() const { return start; }
    int32_t End() const { return end; }
    int64_t Duration() const { return int64_t(end) - start; }
    int32_t Phoneme() const { return phoneme; }
    bool IsVowel() const { return vowel; }
    double Weight() const { return weight; }
    double Carry() const { return carry; }
    int32_t Release() const { return release; }

    // eetRangeFailure when the start would pass the end.
    int32_t SetStart(int32_t ms);
    // eetRangeFailure when the end would precede the start.
    int32_t SetEnd(int32_t ms);
    // eetRangeFailure outside 0..42; the vowel flag follows the index.
    int32_t SetPhoneme(int32_t index);
    // Accepts 0..1 and -1 (not computed); eetRangeFailure otherwise.
    int32_t SetWeight(double w);
    // Accepts 0..1; eetRangeFailure otherwise.
    int32_t SetCarry(double c);
    int32_t SetRelease(int32_t ms);

    TKeyList& Keys() { return keys; }
    const TKeyList& Keys() const { return keys; }
    TParentPhonemeList& Parents() { return parents; }
    const TParentPhonemeList& Parents() const { return parents; }

private:
    int32_t start;
    int32_t end;
    int32_t phoneme;
    bool vowel;
    double weight = -1.0;
    double carry = 1.0;
    int32_t release = 0;
    TKeyList keys;
    TParentPhonemeList parents;
};

class TSegmentList : public AOpenList<TSegment> {
public:
    // Reserves 10, then doubles.
    int32_t Append(const TSegment& segment) override;

    // Replaces the contents with one segment per phoneme, in order. Throws eetRangeFailure for
    // a phoneme without a valid identity or with start > end.
    void Fill(const TPhonemeList& phonemes);

    // Segment i + 1 takes segment i's start (its error is thrown) and its parent spans in
    // front; segment i goes. eetRangeFailure unless 0 <= i < Count() - 1.
    int32_t MergeIntoNext(int32_t i);

    // The list edits of lip synching in one linear pass: short silences (when shortSilence),
    // flaps and hh merges as the rules ask. Gives the same list as walking the indices and
    // calling MergeIntoNext. Throws the error of a failing first merge.
    void ApplyCoarticulationEdits(const TCoarticulationRulesMap& rules, bool shortSilence);
};

} // namespace Vantrix
