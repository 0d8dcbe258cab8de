#include "letter_to_sound.h"

#include <algorithm>
#include <filesystem>
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

// IsSeparator by byte value (a line feed never occurs inside a line).
struct TSeparatorTable {
    bool is[256] = {};
    constexpr TSeparatorTable() {
        for (char c : {' ', '\t', '\r', '\v', '\f'})
            is[uint8_t(c)] = true;
    }
    constexpr bool operator[](uint8_t byte) const { return is[byte]; }
};
constexpr TSeparatorTable kSeparators;

bool IsBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), IsSeparator);
}

// Open-addressed map from 64-bit keys to ids: inventory lookups run once per letter and phoneme.
class TKeyIds {
public:
    TKeyIds() { Resize(64); }

    // The id of key, or -1.
    int32_t Find(uint64_t key) const {
        for (size_t slot = SlotOf(key);; slot = (slot + 1) & mask) {
            if (ids[slot] < 0) return -1;
            if (keys[slot] == key) return ids[slot];
        }
    }

    // The id of key, entering it as newId when absent.
    int32_t Intern(uint64_t key, int32_t newId) {
        if (2 * (used + 1) > ids.size()) Resize(2 * ids.size());
        size_t slot = SlotOf(key);
        for (; ids[slot] >= 0; slot = (slot + 1) & mask)
            if (keys[slot] == key) return ids[slot];
        keys[slot] = key;
        ids[slot] = newId;
        ++used;
        return newId;
    }

private:
    size_t SlotOf(uint64_t key) const {
        return size_t((key * 0x9E3779B97F4A7C15ull) >> shift) & mask;
    }

    void Resize(size_t capacity) {
        std::vector<uint64_t> oldKeys(capacity);
        std::vector<int32_t> oldIds(capacity, -1);
        oldKeys.swap(keys);
        oldIds.swap(ids);
        mask = capacity - 1;
        shift = 64;
        for (size_t c = capacity; c > 1; c >>= 1)
            --shift;
        for (size_t i = 0; i < oldIds.size(); ++i) {
            if (oldIds[i] < 0) continue;
            size_t slot = SlotOf(oldKeys[i]);
            while (ids[slot] >= 0)
                slot = (slot + 1) & mask;
            keys[slot] = oldKeys[i];
            ids[slot] = oldIds[i];
        }
    }

    std::vector<uint64_t> keys;
    std::vector<int32_t> ids;
    size_t mask = 0, used = 0;
    int shift = 64;
};

// A letter unit is one byte repeated: (byte, run length) names it.
uint64_t UnitKey(char c, size_t length) {
    return uint64_t(length) << 8 | uint8_t(c);
}

// The aligned lexicon as unit and group ids, numbered in order of first appearance.
struct TLexiconSamples {
    std::vector<int32_t> units, groups; // one of each per letter unit of every entry
    std::vector<int32_t> entryStart{0}; // entry e holds samples entryStart[e] .. entryStart[e+1]-1
    std::vector<std::string> unitNames, groupNames; // by id
    TKeyIds unitIds;                                // UnitKey -> id
    int32_t longestEntry = 0;                       // units

    size_t EntryCount() const { return entryStart.size() - 1; }
};

// Parses entries into TLexiconSamples. Nearly every unit and group is short enough to be its own
// integer key, so a line costs a few table probes and no string building.
class TLexiconParser {
public:
    explicit TLexiconParser(TLexiconSamples& lexicon) : lexicon(lexicon) {
        std::fill(std::begin(singleUnits), std::end(singleUnits), -1);
    }

    // Throws eetCatastrophicFailure when the group count differs from the unit count.
    void AddEntry(std::string_view line) {
        // Room for the longest entry, written in place; Finish() trims the vectors.
        if (used + size_t(kMaxLexiconWordUnits) > lexicon.units.size()) {
            size_t room = std::max(2 * lexicon.units.size(), used + size_t(kMaxLexiconWordUnits));
            lexicon.units.resize(room);
            lexicon.groups.resize(room);
        }
        int32_t* const units = lexicon.units.data() + used;
        int32_t* const groups = lexicon.groups.data() + used;
        std::string_view headword = HeadwordOf(line);
        std::string_view spelling = WithoutAlternativeMarker(headword);
        size_t unitCount = 0;
        for (size_t p = 0; p < spelling.size();) {
            size_t q = p + 1;
            while (q < spelling.size() && spelling[q] == spelling[p])
                ++q;
            if (unitCount == size_t(kMaxLexiconWordUnits)) throw eetCatastrophicFailure;
            units[unitCount++] = UnitId(spelling[p], q - p);
            p = q;
        }
        // A group's text is its tokens joined by single spaces; up to kShortGroup bytes of it
        // are packed into the key as the tokens go by.
        const uint8_t* const text = reinterpret_cast<const uint8_t*>(line.data());
        const size_t size = line.size();
        size_t groupCount = 0, groupBegin = headword.size(), keyLength = 0;
        uint64_t key = 0;
        for (size_t p = headword.size(); p < size;) {
            if (kSeparators[text[p]]) {
                ++p;
                continue;
            }
            if (text[p] == '|' && (p + 1 == size || kSeparators[text[p + 1]])) {
                if (groupCount == unitCount) throw eetCatastrophicFailure;
                groups[groupCount++] = GroupId(line, groupBegin, p, key, keyLength);
                groupBegin = ++p;
                key = 0;
                keyLength = 0;
                continue;
            }
            if (keyLength > 0) Pack(key, keyLength, ' ');
            do
                Pack(key, keyLength, text[p++]);
            while (p < size && !kSeparators[text[p]]);
        }
        if (groupCount + 1 != unitCount) throw eetCatastrophicFailure;
        groups[groupCount] = GroupId(line, groupBegin, size, key, keyLength);
        // Sample numbers are int32_t throughout.
        if (used > size_t(INT32_MAX) - unitCount) throw eetCatastrophicFailure;
        used += unitCount;
        lexicon.entryStart.push_back(int32_t(used));
        lexicon.longestEntry = std::max(lexicon.longestEntry, int32_t(unitCount));
    }

    // Trims the sample vectors to the entries added.
    void Finish() {
        lexicon.units.resize(used);
        lexicon.groups.resize(used);
    }

private:
    static constexpr size_t kShortGroup = 7;

    int32_t UnitId(char c, size_t length) {
        int32_t& single = singleUnits[uint8_t(c)];
        if (length == 1 && single >= 0) return single;
        int32_t fresh = int32_t(lexicon.unitNames.size());
        int32_t id = lexicon.unitIds.Intern(UnitKey(c, length), fresh);
        if (id == fresh) lexicon.unitNames.emplace_back(length, c);
        if (length == 1) single = id;
        return id;
    }

    // Appends a byte of a group's text to its key; only the length grows past kShortGroup bytes.
    static void Pack(uint64_t& key, size_t& length, uint8_t byte) {
        if (length < kShortGroup) key |= uint64_t(byte) << (8 * length);
        ++length;
    }

    // The group of the tokens in line[begin, end), given the key packed from their text. Known
    // short groups, nearly all of them, take the inline path.
    __attribute__((always_inline)) int32_t GroupId(std::string_view line, size_t begin, size_t end,
                                                   uint64_t key, size_t length) {
        // The length tells "" from "\0".
        key |= uint64_t(length) << 56;
        int32_t id = length <= kShortGroup ? shortGroups.Find(key) : -1;
        return id >= 0 ? id : NewGroupId(line.substr(begin, end - begin), key, length);
    }

    // A group not met before, or one too long to pack.
    __attribute__((noinline)) int32_t NewGroupId(std::string_view tokens, uint64_t key,
                                                 size_t length) {
        if (length > kShortGroup) return LongGroupId(tokens);
        int32_t id = shortGroups.Intern(key, int32_t(lexicon.groupNames.size()));
        std::string name(length, ' ');
        for (size_t b = 0; b < length; ++b)
            name[b] = char(key >> (8 * b));
        lexicon.groupNames.push_back(std::move(name));
        return id;
    }

    // The group of the tokens of part of a line, when their text is too long to pack.
    int32_t LongGroupId(std::string_view tokens) {
        text.clear();
        for (size_t p = 0; p < tokens.size();) {
            if (IsSeparator(tokens[p]) || tokens[p] == '\n') {
                ++p;
                continue;
            }
            size_t q = p;
            while (q < tokens.size() && !IsSeparator(tokens[q]))
                ++q;
            if (!text.empty()) text += ' ';
            text.append(tokens.substr(p, q - p));
            p = q;
        }
        int32_t fresh = int32_t(lexicon.groupNames.size());
        int32_t id = longGroups.emplace(text, fresh).first->second;
        if (id == fresh) lexicon.groupNames.push_back(text);
        return id;
    }

    TLexiconSamples& lexicon;
    size_t used = 0; // samples written
    int32_t singleUnits[256];
    std::string text;
    TKeyIds shortGroups;
    std::unordered_map<std::string, int32_t> longGroups;
};

// Reads and checks every entry: an unreadable file, one without entries or a malformed entry
// anywhere throws eetCatastrophicFailure.
TLexiconSamples ReadLexicon(const std::string& lexiconPath) {
    TEncodedLineReader reader(lexiconPath);
    if (!reader.IsOpen()) throw eetCatastrophicFailure;
    std::string line;
    if (!reader.ReadContentLine(line)) throw eetCatastrophicFailure;
    TLexiconSamples lexicon;
    // Room for the samples up front spares the copies of growing: an entry takes at least two
    // bytes per unit ("A|"), the shipped one five.
    std::error_code error;
    uintmax_t bytes = std::filesystem::file_size(lexiconPath, error);
    if (!error) {
        size_t samples = size_t(std::min<uintmax_t>(bytes / 4, uintmax_t(1) << 22));
        lexicon.units.resize(samples);
        lexicon.groups.resize(samples);
    }
    TLexiconParser parser(lexicon);
    do {
        if (IsCommentLine(line) || IsBlankLine(line)) continue;
        parser.AddEntry(line);
    } while (reader.ReadLine(line));
    parser.Finish();
    if (lexicon.EntryCount() == 0) throw eetCatastrophicFailure;
    return lexicon;
}

// The names in ascending byte order; indexOfId maps an id onto its place there.
std::vector<std::string> SortedInventory(const std::vector<std::string>& names,
                                         std::vector<int32_t>& indexOfId) {
    std::vector<int32_t> order(names.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int32_t(i);
    std::sort(order.begin(), order.end(),
              [&](int32_t a, int32_t b) { return names[size_t(a)] < names[size_t(b)]; });
    indexOfId.assign(names.size(), 0);
    std::vector<std::string> sorted(names.size());
    for (size_t i = 0; i < order.size(); ++i) {
        indexOfId[size_t(order[i])] = int32_t(i);
        sorted[i] = names[size_t(order[i])];
    }
    return sorted;
}

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
                                   const std::vector<int32_t>& entryStart,
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
        int32_t i = int32_t(s) - entryStart[e];
        uint64_t key = 0;
        for (int32_t k = 0; k < kElements; ++k) {
            int32_t element =
                k < n + 2 ? ContextElement(&entryUnits[size_t(entryStart[e])], n, i, k) + 1 : 0;
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
    TLexiconSamples lexicon = ReadLexicon(lexiconPath);
    std::vector<int32_t> unitIndex, groupIndex;
    units = SortedInventory(lexicon.unitNames, unitIndex);
    groups = SortedInventory(lexicon.groupNames, groupIndex);
    std::vector<int32_t>& entryUnits = lexicon.units;
    std::vector<int32_t>& entryGroups = lexicon.groups;
    const std::vector<int32_t>& entryStart = lexicon.entryStart;
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
        int32_t n = entryStart[e + 1] - entryStart[e];
        int32_t i = sample - entryStart[e];
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
                int32_t heldLength = entryStart[heldEntry + 1] - entryStart[heldEntry];
                int32_t heldPosition = held - entryStart[heldEntry];
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

namespace {

// Samples of one group at a query node; the most recently used group first.
struct TQueryCount {
    int32_t group; // id in order of first appearance
    int32_t count;
    TQueryCount* next;
};

// A node of the trie restricted to the queried contexts. Its counts equal those of the same
// node of the complete trie: every sample whose context passes through it is counted.
struct TQueryNode {
    int32_t key;
    int32_t count; // 0: the complete trie has no such node
    TQueryNode* child;
    TQueryNode* sibling;
    int32_t* dense;      // a count per group id, when the whole trie can afford them
    TQueryCount* counts; // otherwise
};

// Dense counts of all query nodes together may take this many cells.
constexpr size_t kDenseCountCells = size_t(1) << 20;
// Query trie nodes per pass over the samples; longer queries take several passes.
constexpr size_t kQueryNodesPerPass = size_t(1) << 18;

template <typename Node> Node* QueryChild(Node* parent, int32_t key) {
    for (Node* node = parent->child; node; node = node->sibling)
        if (node->key == key) return node;
    return nullptr;
}

void CountSample(TTriePool& pool, TQueryNode* node, int32_t group) {
    ++node->count;
    if (node->dense) {
        ++node->dense[group];
        return;
    }
    TQueryCount** link = &node->counts;
    while (*link && (*link)->group != group)
        link = &(*link)->next;
    TQueryCount* cell = *link;
    if (cell) {
        if (link == &node->counts) {
            ++cell->count;
            return;
        }
        *link = cell->next;
    } else {
        cell = pool.New<TQueryCount>();
        cell->group = group;
    }
    ++cell->count;
    cell->next = node->counts;
    node->counts = cell;
}

// As TLetterToSound::Decision, on sorted group indices.
int32_t QueryDecision(const TQueryNode* node, const std::vector<int32_t>& groupIndex) {
    int32_t best = 0, lowest = 0, highest = 0, ties = 0;
    auto consider = [&](int32_t id, int32_t count) {
        int32_t group = groupIndex[size_t(id)];
        if (count > best) {
            best = count;
            lowest = highest = group;
            ties = 1;
        } else if (count == best) {
            ++ties;
            lowest = std::min(lowest, group);
            highest = std::max(highest, group);
        }
    };
    if (node->dense) {
        for (size_t id = 0; id < groupIndex.size(); ++id)
            if (node->dense[id] > 0) consider(int32_t(id), node->dense[id]);
    } else {
        for (const TQueryCount* cell = node->counts; cell; cell = cell->next)
            consider(cell->group, cell->count);
    }
    return ties == 1 ? lowest : -highest;
}

// Steps through the context of position i from its fourth element on (the first three are
// u[i], the left and the right neighbour or edge), as BuildContext lists it.
class TContextCursor {
public:
    TContextCursor(const int32_t* units, int32_t n, int32_t i)
        : units(units), n(n), left(i - 2), right(i + 2), leftDone(i == 0), rightDone(i + 1 == n) {}

    // The next element; at most n - 1 calls.
    int32_t Next() {
        for (;;) {
            leftTurn = !leftTurn;
            if (leftTurn && !leftDone) {
                if (left >= 0) return units[left--];
                leftDone = true;
                return kWordEdge;
            }
            if (!leftTurn && !rightDone) {
                if (right < n) return units[right++];
                rightDone = true;
                return kWordEdge;
            }
        }
    }

private:
    const int32_t* units;
    int32_t n, left, right;
    bool leftTurn = false, leftDone, rightDone;
};

// One pass over the samples, each followed down only as far as the query trie goes.
void CountSamples(TTriePool& pool, const TLexiconSamples& lexicon,
                  const std::vector<TQueryNode*>& roots) {
    const std::vector<int32_t>& entryStart = lexicon.entryStart;
    for (size_t e = 0; e < lexicon.EntryCount(); ++e) {
        const int32_t* word = lexicon.units.data() + entryStart[e];
        const int32_t* wordGroups = lexicon.groups.data() + entryStart[e];
        int32_t n = entryStart[e + 1] - entryStart[e];
        for (int32_t i = 0; i < n; ++i) {
            TQueryNode* node = roots[size_t(word[i])];
            if (!node) continue;
            int32_t group = wordGroups[i];
            CountSample(pool, node, group);
            // Most walks end within the neighbours, which need no cursor.
            node = QueryChild(node, i > 0 ? word[i - 1] : kWordEdge);
            if (!node) continue;
            CountSample(pool, node, group);
            node = QueryChild(node, i + 1 < n ? word[i + 1] : kWordEdge);
            if (!node) continue;
            CountSample(pool, node, group);
            TContextCursor cursor(word, n, i);
            for (int32_t k = 3; k < n + 2; ++k) {
                node = QueryChild(node, cursor.Next());
                if (!node) break;
                CountSample(pool, node, group);
            }
        }
    }
}

} // namespace

std::vector<std::string> PronounceFromLexicon(const std::string& lexiconPath,
                                              const std::vector<std::string_view>& spellings,
                                              size_t maxTrieBytes) {
    // The whole lexicon is read even for no spelling: a malformed entry anywhere is an error.
    TLexiconSamples lexicon = ReadLexicon(lexiconPath);

    // Spellings as unit ids, with the run shrinking of TLetterToSound::Pronounce.
    std::vector<int32_t> wordUnits;
    std::vector<size_t> wordStart{0};
    for (std::string_view spelling : spellings) {
        for (size_t p = 0; p < spelling.size();) {
            size_t q = p + 1;
            while (q < spelling.size() && spelling[q] == spelling[p])
                ++q;
            for (size_t length = q - p; length > 0; --length) {
                int32_t id = lexicon.unitIds.Find(UnitKey(spelling[p], length));
                if (id >= 0) {
                    wordUnits.push_back(id);
                    break;
                }
            }
            p = q;
        }
        wordStart.push_back(wordUnits.size());
    }

    // Query items: every position of every spelling. Their context paths form the query trie,
    // cut at the longest context a sample has, as no sample matches deeper.
    std::vector<int32_t> itemWord(wordUnits.size());
    for (size_t w = 0; w + 1 < wordStart.size(); ++w)
        std::fill(itemWord.begin() + long(wordStart[w]), itemWord.begin() + long(wordStart[w + 1]),
                  int32_t(w));
    const size_t longestContext = size_t(lexicon.longestEntry) + 2;
    std::vector<int32_t> groupIndex, answers(wordUnits.size());
    std::vector<std::string> groups = SortedInventory(lexicon.groupNames, groupIndex);
    const size_t groupCount = groups.size();

    TTriePool pool(maxTrieBytes);
    std::vector<TQueryNode*> roots, nodes;
    std::vector<int32_t> context;
    auto itemContext = [&](size_t item) {
        size_t w = size_t(itemWord[item]);
        BuildContext(wordUnits.data() + wordStart[w], int32_t(wordStart[w + 1] - wordStart[w]),
                     int32_t(item - wordStart[w]), context);
        if (context.size() > longestContext) context.resize(longestContext);
    };
    // Items in passes of a bounded trie: memory stays small for any length of query.
    for (size_t first = 0; first < wordUnits.size();) {
        pool.Release();
        roots.assign(lexicon.unitNames.size(), nullptr);
        nodes.clear();
        size_t last = first;
        for (; last < wordUnits.size() && nodes.size() < kQueryNodesPerPass; ++last) {
            itemContext(last);
            TQueryNode*& root = roots[size_t(context[0])];
            if (!root) {
                root = pool.New<TQueryNode>();
                root->key = context[0];
                nodes.push_back(root);
            }
            TQueryNode* node = root;
            for (size_t k = 1; k < context.size(); ++k) {
                TQueryNode* child = QueryChild(node, context[k]);
                if (!child) {
                    child = pool.New<TQueryNode>();
                    child->key = context[k];
                    child->sibling = node->child;
                    node->child = child;
                    nodes.push_back(child);
                }
                node = child;
            }
        }
        if (nodes.size() * groupCount <= kDenseCountCells)
            for (TQueryNode* node : nodes) {
                node->dense = static_cast<int32_t*>(
                    pool.Allocate(groupCount * sizeof(int32_t), alignof(int32_t)));
                std::fill(node->dense, node->dense + groupCount, 0);
            }
        CountSamples(pool, lexicon, roots);
        for (size_t item = first; item < last; ++item) {
            itemContext(item);
            const TQueryNode* node = roots[size_t(context[0])];
            int32_t answer = QueryDecision(node, groupIndex);
            for (size_t k = 1; k < context.size(); ++k) {
                node = QueryChild(node, context[k]);
                if (node->count == 0) break;
                int32_t below = QueryDecision(node, groupIndex);
                if (below >= 0) answer = below;
            }
            answers[item] = answer < 0 ? -answer : answer;
        }
        first = last;
    }

    std::vector<std::string> pronunciations(spellings.size());
    for (size_t item = 0; item < wordUnits.size(); ++item) {
        const std::string& group = groups[size_t(answers[item])];
        std::string& pronunciation = pronunciations[size_t(itemWord[item])];
        if (group.empty()) continue;
        if (!pronunciation.empty()) pronunciation += ' ';
        pronunciation += group;
    }
    return pronunciations;
}

} // namespace Vantrix
