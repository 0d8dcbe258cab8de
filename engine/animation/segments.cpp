#include "segments.h"

#include <utility>

#include "coarticulation_rules.h"
#include "phonemes.h"

namespace Vantrix {

void TParentPhonemeList::PrependAll(TParentPhonemeList& front) {
    // Grow whichever list is longer, so that repeated merges stay cheap.
    if (front.items.size() >= items.size()) {
        front.items.insert(front.items.end(), items.begin(), items.end());
        items.swap(front.items);
    } else {
        items.insert(items.begin(), front.items.begin(), front.items.end());
    }
    front.items.clear();
}

// --- TSegment ---

TSegment::TSegment(int32_t start, int32_t end, int32_t phoneme)
    : start(start), end(end), phoneme(phoneme), vowel(RuleIndex::IsVowel(phoneme)) {
    if (start > end || !RuleIndex::IsIndex(phoneme)) throw eetRangeFailure;
    parents.Append({start, end});
}

TSegment::TSegment(TSegment&& other) noexcept
    : start(other.start), end(other.end), phoneme(other.phoneme), vowel(other.vowel),
      weight(other.weight), carry(other.carry), release(other.release) {
    keys.Swap(other.keys);
    parents.Swap(other.parents);
}

TSegment& TSegment::operator=(TSegment&& other) noexcept {
    start = other.start;
    end = other.end;
    phoneme = other.phoneme;
    vowel = other.vowel;
    weight = other.weight;
    carry = other.carry;
    release = other.release;
    keys.Swap(other.keys);
    parents.Swap(other.parents);
    return *this;
}

int32_t TSegment::SetStart(int32_t ms) {
    if (ms > end) return eetRangeFailure;
    start = ms;
    return eetSuccess;
}

int32_t TSegment::SetEnd(int32_t ms) {
    if (ms < start) return eetRangeFailure;
    end = ms;
    return eetSuccess;
}

int32_t TSegment::SetPhoneme(int32_t index) {
    if (!RuleIndex::IsIndex(index)) return eetRangeFailure;
    phoneme = index;
    vowel = RuleIndex::IsVowel(index);
    return eetSuccess;
}

int32_t TSegment::SetWeight(double w) {
    if (!((w >= 0.0 && w <= 1.0) || w == -1.0)) return eetRangeFailure;
    weight = w;
    return eetSuccess;
}

int32_t TSegment::SetCarry(double c) {
    if (!(c >= 0.0 && c <= 1.0)) return eetRangeFailure;
    carry = c;
    return eetSuccess;
}

int32_t TSegment::SetRelease(int32_t ms) {
    release = ms;
    return eetSuccess;
}

// --- TSegmentList ---

int32_t TSegmentList::Append(const TSegment& segment) {
    constexpr size_t kFirstCapacity = 10;
    return AppendReserving(segment, kFirstCapacity);
}

void TSegmentList::Fill(const TPhonemeList& phonemes) {
    items.clear();
    items.reserve(size_t(phonemes.Count()));
    for (const TPhoneme& p : phonemes)
        items.emplace_back(p.StartMs(), p.EndMs(), p.Id());
}

namespace {

// Merges from into into; from keeps its parents only when the start cannot be taken.
void Merge(TSegment& from, TSegment& into) {
    if (int32_t err = into.SetStart(from.Start())) throw EErrorType(err);
    into.Parents().PrependAll(from.Parents());
}

} // namespace

int32_t TSegmentList::MergeIntoNext(int32_t i) {
    if (i < 0 || i >= Count() - 1) return eetRangeFailure;
    Merge(items[size_t(i)], items[size_t(i) + 1]);
    EraseAt(i);
    return eetSuccess;
}

void TSegmentList::ApplyCoarticulationEdits(const TCoarticulationRulesMap& rules,
                                            bool shortSilence) {
    // The list being edited is items[0, w) followed by items[r, n): the walk's index is w and
    // its segment items[r]. A removal just widens the hole between the two parts, so nothing
    // shifts.
    std::vector<TSegment>& v = items;
    const size_t n = v.size();
    const bool flap = rules.FlapEnabled();
    const bool mergeHh = rules.MergeHhIntoNext();
    const int64_t shortMax = rules.ShortSilenceMaxDuration();
    size_t w = 0;
    size_t r = 0;
    while (r < n) {
        TSegment& current = v[r];
        const bool hasNext = r + 1 < n;
        if (shortSilence && current.Phoneme() == RuleIndex::kSil && current.Duration() < shortMax)
            current.SetPhoneme(RuleIndex::kShortSil);
        if (flap && (current.Phoneme() == RuleIndex::kD || current.Phoneme() == RuleIndex::kT) &&
            w > 0 && hasNext && v[w - 1].IsVowel() && v[r + 1].IsVowel())
            current.SetPhoneme(RuleIndex::kFlap);
        if (mergeHh && current.Phoneme() == RuleIndex::kHh && hasNext &&
            v[r + 1].Phoneme() != RuleIndex::kSil && v[r + 1].Phoneme() != RuleIndex::kShortSil) {
            Merge(current, v[r + 1]);
            ++r;
            // The walk steps back one; a previous segment of the same phoneme absorbs the
            // merged one too, and the walk resumes at the result.
            if (w > 0 && v[w - 1].Phoneme() == v[r].Phoneme()) {
                try {
                    Merge(v[w - 1], v[r]);
                } catch (EErrorType) {
                    // Not merged; the walk still steps back, so the previous segment is
                    // visited again.
                    --r;
                    v[r] = std::move(v[w - 1]);
                }
                --w;
            }
            continue;
        }
        if (w != r) v[w] = std::move(v[r]);
        ++w;
        ++r;
    }
    v.erase(v.begin() + std::ptrdiff_t(w), v.end());
}

} // namespace Vantrix
