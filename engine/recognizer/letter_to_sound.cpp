#include "letter_to_sound.h"

#include <algorithm>
#include <unordered_map>

#include "errors.h"
#include "line_codec.h"

namespace Vantrix {

// Samples of one group at a node; the most recently used group first.
struct TLetterToSound::TCountCell {
    int32_t group;
    int32_t count;
    TCountCell* next;
};

// Open-addressed children of a node with many of them; capacity is a power of two.
struct TLetterToSound::TChildTable {
    uint32_t capacity;
    uint32_t used;
    TContextNode** slots; // capacity entries, stored right after the header
};

// One context element: the samples that reached it and the next elements below it.
struct TLetterToSound::TContextNode {
    int32_t key;   // letter-unit index, or -1 for a word edge
    int32_t count; // training samples
    union {
        struct {
            int32_t group;  // the only sample's group while count is 1
            int32_t sample; // and the sample itself, whose deeper context is not yet laid out
        } single;
        TCountCell* counts; // per-group counts once count exceeds 1
    };
    union {
        TContextNode* child; // sibling list while childCount <= kListChildren
        TChildTable* table;
    };
    TContextNode* sibling;
    uint32_t childCount;
};

namespace {

constexpr int32_t kWordEdge = -1;
// Children beyond this many move from a sibling list into a hash table.
constexpr uint32_t kListChildren = 8;

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool IsBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), IsSeparator);
}

// Temporary ids in order of first appearance; Sorted() maps them onto the sorted inventory.
class TInventoryBuilder {
public:
    int32_t IdOf(const std::string& text) {
        auto it = ids.find(text);
        if (it != ids.end()) return it->second;
        int32_t id = int32_t(ids.size());
        ids.emplace(text, id);
        return id;
    }
    std::vector<std::string> Sorted(std::vector<int32_t>& indexOfId) const {
        std::vector<std::string> names(ids.size());
        for (const auto& [text, id] : ids)
            names[size_t(id)] = text;
        std::vector<int32_t> order(names.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = int32_t(i);
        std::sort(order.begin(), order.end(),
                  [&](int32_t a, int32_t b) { return names[size_t(a)] < names[size_t(b)]; });
        indexOfId.assign(names.size(), 0);
        std::vector<std::string> sorted(names.size());
        for (size_t i = 0; i < order.size(); ++i) {
            indexOfId[size_t(order[i])] = int32_t(i);
            sorted[i] = std::move(names[size_t(order[i])]);
        }
        return sorted;
    }

private:
    std::unordered_map<std::string, int32_t> ids;
};

} // namespace

void BuildContext(const int32_t* unitIndices, int32_t n, int32_t i, std::vector<int32_t>& context) {
    context.clear();
    context.push_back(unitIndices[i]);
    int32_t left = i - 1, right = i + 1;
    bool leftDone = false, rightDone = false;
    while (!leftDone || !rightDone) {
        if (!leftDone) {
            if (left >= 0)
                context.push_back(unitIndices[left--]);
            else {
                context.push_back(kWordEdge);
                leftDone = true;
            }
        }
        if (!rightDone) {
            if (right < n)
                context.push_back(unitIndices[right++]);
            else {
                context.push_back(kWordEdge);
                rightDone = true;
            }
        }
    }
}

int32_t ContextElement(const int32_t* unitIndices, int32_t n, int32_t i, int32_t k) {
    if (k == 0) return unitIndices[i];
    // Left side: u[i-1] .. u[0], then the edge; right side: u[i+1] .. u[n-1], then the edge.
    int32_t leftLength = i + 1, rightLength = n - i;
    int32_t j = k - 1, paired = std::min(leftLength, rightLength);
    bool left;
    int32_t t;
    if (j < 2 * paired) {
        left = j % 2 == 0;
        t = j / 2;
    } else {
        left = leftLength > rightLength;
        t = j - paired;
    }
    if (left) return t < i ? unitIndices[i - 1 - t] : kWordEdge;
    return t < n - 1 - i ? unitIndices[i + 1 + t] : kWordEdge;
}

namespace {

// Samples ordered by the leading elements of their contexts, so that consecutive walks share
// their upper paths while those are still in cache. The trie does not depend on the order.
std::vector<int32_t> LearningOrder(const std::vector<int32_t>& entryUnits,
                                   const std::vector<size_t>& entryStart,
                                   const std::vector<int32_t>& sampleEntry, size_t unitCount) {
    std::vector<int32_t> order(entryUnits.size());
    for (size_t s = 0; s < order.size(); ++s)
        order[s] = int32_t(s);
    constexpr int32_t kBits = 9, kElements = 64 / kBits;
    if (unitCount + 1 >= (size_t(1) << kBits)) return order;
    std::vector<std::pair<uint64_t, int32_t>> keyed(order.size());
    for (size_t s = 0; s < order.size(); ++s) {
        size_t e = size_t(sampleEntry[s]);
        int32_t n = int32_t(entryStart[e + 1] - entryStart[e]);
        int32_t i = int32_t(s - entryStart[e]);
        uint64_t key = 0;
        for (int32_t k = 0; k < kElements; ++k) {
            int32_t element =
                k < n + 2 ? ContextElement(&entryUnits[entryStart[e]], n, i, k) + 1 : 0;
            key = (key << kBits) | uint64_t(element);
        }
        keyed[s] = {key, int32_t(s)};
    }
    std::sort(keyed.begin(), keyed.end());
    for (size_t s = 0; s < order.size(); ++s)
        order[s] = keyed[s].second;
    return order;
}

} // namespace

TLetterToSound::TLetterToSound(size_t maxTrieBytes) : pool(maxTrieBytes) {}

void TLetterToSound::Clear() {
    pool.Release();
    units.clear();
    groups.clear();
    roots.clear();
    nodeCount = 0;
}

void TLetterToSound::Learn(const std::string& lexiconPath) {
    Clear();
    TEncodedLineReader reader(lexiconPath);
    if (!reader.IsOpen()) throw eetCatastrophicFailure;
    std::string line;
    if (!reader.ReadContentLine(line)) throw eetCatastrophicFailure;

    // Entries as temporary unit and group ids; entryStart[e] indexes both arrays.
    TInventoryBuilder unitIds, groupIds;
    std::vector<int32_t> entryUnits, entryGroups;
    std::vector<size_t> entryStart{0};
    std::string text;
    do {
        if (IsCommentLine(line) || IsBlankLine(line)) continue;
        std::string_view headword = HeadwordOf(line);
        std::string_view spelling = WithoutAlternativeMarker(headword);
        size_t unitCount = 0;
        for (size_t p = 0; p < spelling.size();) {
            size_t q = p + 1;
            while (q < spelling.size() && spelling[q] == spelling[p])
                ++q;
            if (++unitCount > size_t(kMaxLexiconWordUnits)) throw eetCatastrophicFailure;
            text.assign(spelling.substr(p, q - p));
            entryUnits.push_back(unitIds.IdOf(text));
            p = q;
        }
        size_t groupCount = 0;
        text.clear();
        for (size_t p = headword.size(); p < line.size();) {
            if (IsSeparator(line[p]) || line[p] == '\n') {
                ++p;
                continue;
            }
            size_t q = p;
            while (q < line.size() && !IsSeparator(line[q]))
                ++q;
            std::string_view token(line.data() + p, q - p);
            p = q;
            if (token == "|") {
                if (++groupCount > unitCount) throw eetCatastrophicFailure;
                entryGroups.push_back(groupIds.IdOf(text));
                text.clear();
            } else {
                if (!text.empty()) text += ' ';
                text.append(token);
            }
        }
        if (++groupCount != unitCount) throw eetCatastrophicFailure;
        entryGroups.push_back(groupIds.IdOf(text));
        entryStart.push_back(entryUnits.size());
    } while (reader.ReadLine(line));
    if (entryStart.size() == 1) throw eetCatastrophicFailure;

    std::vector<int32_t> unitIndex, groupIndex;
    units = unitIds.Sorted(unitIndex);
    groups = groupIds.Sorted(groupIndex);
    for (int32_t& id : entryUnits)
        id = unitIndex[size_t(id)];
    for (int32_t& id : entryGroups)
        id = groupIndex[size_t(id)];

    // A node reached by one sample only holds it: every node below would hold the same single
    // sample and answer the same group, so that path is laid out only when a second sample
    // arrives. Queries stop at such a node, which gives the answers of the complete trie.
    std::vector<int32_t> sampleEntry(entryUnits.size());
    for (size_t e = 0; e + 1 < entryStart.size(); ++e)
        std::fill(sampleEntry.begin() + long(entryStart[e]),
                  sampleEntry.begin() + long(entryStart[e + 1]), int32_t(e));
    roots.assign(units.size(), nullptr);
    std::vector<int32_t> order = LearningOrder(entryUnits, entryStart, sampleEntry, units.size());
    std::vector<int32_t> context;
    for (int32_t sample : order) {
        size_t e = size_t(sampleEntry[size_t(sample)]);
        const int32_t* word = entryUnits.data() + entryStart[e];
        int32_t n = int32_t(entryStart[e + 1] - entryStart[e]);
        int32_t i = sample - int32_t(entryStart[e]);
        int32_t group = entryGroups[size_t(sample)];
        BuildContext(word, n, i, context);
        TContextNode*& root = roots[size_t(context[0])];
        if (!root) root = NewNode(context[0]);
        TContextNode* node = root;
        for (size_t k = 0;; ++k) {
            if (node->count == 0) {
                node->single = {group, sample};
                node->count = 1;
                break;
            }
            if (node->count == 1) {
                // Lay out the held sample one element deeper before the paths may part.
                int32_t held = node->single.sample;
                size_t heldEntry = size_t(sampleEntry[size_t(held)]);
                int32_t heldLength = int32_t(entryStart[heldEntry + 1] - entryStart[heldEntry]);
                int32_t heldPosition = held - int32_t(entryStart[heldEntry]);
                if (int32_t(k) + 1 < heldLength + 2) {
                    TContextNode* below =
                        ChildFor(node, ContextElement(entryUnits.data() + entryStart[heldEntry],
                                                      heldLength, heldPosition, int32_t(k) + 1));
                    below->single = node->single;
                    below->count = 1;
                }
            }
            AddSample(node, group);
            if (k + 1 == context.size()) break;
            node = ChildFor(node, context[k + 1]);
        }
    }
}

TLetterToSound::TContextNode* TLetterToSound::NewNode(int32_t key) {
    TContextNode* node = pool.New<TContextNode>();
    node->key = key;
    ++nodeCount;
    return node;
}

TLetterToSound::TChildTable* TLetterToSound::NewTable(uint32_t capacity) {
    size_t bytes = sizeof(TChildTable) + sizeof(TContextNode*) * capacity;
    auto* table = static_cast<TChildTable*>(pool.Allocate(bytes, alignof(TChildTable)));
    table->slots = reinterpret_cast<TContextNode**>(table + 1);
    table->capacity = capacity;
    table->used = 0;
    std::fill(table->slots, table->slots + capacity, nullptr);
    return table;
}

void TLetterToSound::PutInTable(TChildTable* table, TContextNode* node) {
    uint32_t mask = table->capacity - 1;
    uint32_t slot = uint32_t(node->key + 1) & mask;
    while (table->slots[slot])
        slot = (slot + 1) & mask;
    table->slots[slot] = node;
    ++table->used;
}

TLetterToSound::TContextNode* TLetterToSound::ChildFor(TContextNode* parent, int32_t key) {
    if (parent->childCount > kListChildren) {
        TChildTable* table = parent->table;
        uint32_t mask = table->capacity - 1;
        // Keys are small dense indices: key + 1 rarely collides.
        for (uint32_t slot = uint32_t(key + 1) & mask; table->slots[slot]; slot = (slot + 1) & mask)
            if (table->slots[slot]->key == key) return table->slots[slot];
        TContextNode* node = NewNode(key);
        if (2 * (table->used + 1) > table->capacity) {
            TChildTable* grown = NewTable(table->capacity * 2);
            for (uint32_t i = 0; i < table->capacity; ++i)
                if (table->slots[i]) PutInTable(grown, table->slots[i]);
            parent->table = table = grown;
        }
        PutInTable(table, node);
        ++parent->childCount;
        return node;
    }
    // Move-to-front keeps the frequent contexts at the head of a short sibling list.
    TContextNode** link = &parent->child;
    for (TContextNode* node = *link; node; link = &node->sibling, node = *link) {
        if (node->key != key) continue;
        if (link != &parent->child) {
            *link = node->sibling;
            node->sibling = parent->child;
            parent->child = node;
        }
        return node;
    }
    TContextNode* node = NewNode(key);
    node->sibling = parent->child;
    parent->child = node;
    if (++parent->childCount > kListChildren) {
        TChildTable* table = NewTable(4 * kListChildren);
        for (TContextNode* child = parent->child; child; child = child->sibling)
            PutInTable(table, child);
        parent->table = table;
    }
    return node;
}

const TLetterToSound::TContextNode* TLetterToSound::FindChild(const TContextNode* parent,
                                                              int32_t key) const {
    if (parent->childCount > kListChildren) {
        const TChildTable* table = parent->table;
        uint32_t mask = table->capacity - 1;
        for (uint32_t slot = uint32_t(key + 1) & mask; table->slots[slot]; slot = (slot + 1) & mask)
            if (table->slots[slot]->key == key) return table->slots[slot];
        return nullptr;
    }
    for (const TContextNode* node = parent->child; node; node = node->sibling)
        if (node->key == key) return node;
    return nullptr;
}

void TLetterToSound::AddSample(TContextNode* node, int32_t group) {
    if (node->count == 1) {
        int32_t first = node->single.group;
        TCountCell* cell = pool.New<TCountCell>();
        *cell = {first, 1, nullptr};
        if (group == first) {
            cell->count = 2;
        } else {
            TCountCell* other = pool.New<TCountCell>();
            *other = {group, 1, cell};
            cell = other;
        }
        node->counts = cell;
    } else {
        TCountCell** link = &node->counts;
        while (*link && (*link)->group != group)
            link = &(*link)->next;
        TCountCell* cell = *link;
        if (cell) {
            ++cell->count;
            *link = cell->next;
        } else {
            cell = pool.New<TCountCell>();
            *cell = {group, 1, nullptr};
        }
        cell->next = node->counts;
        node->counts = cell;
    }
    ++node->count;
}

int32_t TLetterToSound::Decision(const TContextNode* node) {
    if (node->count == 1) return node->single.group;
    // Scanning groups in ascending order, the first most frequent group wins unless a later one
    // is as frequent, which makes the decision ambiguous: minus that later group's index.
    int32_t best = 0, lowest = 0, highest = 0, ties = 0;
    for (const TCountCell* cell = node->counts; cell; cell = cell->next) {
        if (cell->count > best) {
            best = cell->count;
            lowest = highest = cell->group;
            ties = 1;
        } else if (cell->count == best) {
            ++ties;
            lowest = std::min(lowest, cell->group);
            highest = std::max(highest, cell->group);
        }
    }
    return ties == 1 ? lowest : -highest;
}

int32_t TLetterToSound::UnitIndex(std::string_view run) const {
    auto it = std::lower_bound(units.begin(), units.end(), run);
    return it != units.end() && *it == run ? int32_t(it - units.begin()) : -1;
}

std::string TLetterToSound::Pronounce(std::string_view spelling) const {
    std::vector<int32_t> word;
    for (size_t p = 0; p < spelling.size();) {
        size_t q = p + 1;
        while (q < spelling.size() && spelling[q] == spelling[p])
            ++q;
        for (std::string_view run = spelling.substr(p, q - p); !run.empty(); run.remove_prefix(1)) {
            int32_t index = UnitIndex(run);
            if (index >= 0) {
                word.push_back(index);
                break;
            }
        }
        p = q;
    }

    std::string pronunciation;
    std::vector<int32_t> context;
    int32_t n = int32_t(word.size());
    for (int32_t i = 0; i < n; ++i) {
        BuildContext(word.data(), n, i, context);
        const TContextNode* node = roots[size_t(context[0])];
        if (!node) continue;
        int32_t answer = Decision(node);
        // Below a node of one sample every node holds that same sample: the answer is final.
        for (size_t k = 1; k < context.size() && node->count > 1; ++k) {
            node = FindChild(node, context[k]);
            if (!node) break;
            int32_t below = Decision(node);
            if (below >= 0) answer = below;
        }
        const std::string& group = groups[size_t(answer < 0 ? -answer : answer)];
        if (group.empty()) continue;
        if (!pronunciation.empty()) pronunciation += ' ';
        pronunciation += group;
    }
    return pronunciation;
}

} // namespace Vantrix
