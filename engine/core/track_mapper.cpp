#include <atomic>

#include "track_mapper.h"

namespace Vantrix {

const char* const kMapRowKeys[kMapRows] = {
    "IY", "IH", "EH", "EY", "AE", "AA", "AW", "AY",  "AH",       "AO",  "OY",
    "OW", "UH", "UW", "ER", "AX", "S",  "SH", "Z",   "ZH",       "F",   "TH",
    "V",  "DH", "M",  "N",  "NG", "L",  "R",  "W",   "Y",        "HH",  "B",
    "D",  "JH", "G",  "P",  "T",  "K",  "CH", "SIL", "SHORTSIL", "FLAP"};

TPhonemesToTracksMap::TPhonemesToTracksMap(int32_t numTracks)
    : numTracks(numTracks), weights(0, kMapRows - 1, 0, numTracks - 1) {
    weights.At(kSilenceRow, 0) = 1.0;
}

bool TPhonemesToTracksMap::IsValid() const {
    return weights.RowLow() == 0 && weights.RowHigh() == kMapRows - 1 && weights.ColLow() == 0 &&
           weights.ColHigh() == numTracks - 1;
}

int32_t TPhonemesToTracksMap::SetWeight(int32_t row, int32_t track, double weight) {
    if (!weights.Contains(row, track)) return eetRangeFailure;
    weights.At(row, track) = weight;
    return eetSuccess;
}

int32_t NextMapLabel() {
    static std::atomic<int32_t> counter{1};
    return counter++;
}

TLabeledPhonemesToTracksMap TTrackMapper::BuiltInMap() {
    struct Entry {
        const char* rows;
        int32_t track;
        double weight;
    };
    // Each row drives a single track; everything else stays 0.
    static const Entry kEntries[] = {
        {"SIL", 0, 1.0},          {"IY", 1, 0.85},
        {"ER", 2, 0.85},          {"IH EH EY AE AW AY AH AX", 3, 0.85},
        {"HH SHORTSIL", 3, 0.2},  {"AA AO", 4, 0.85},
        {"OY OW UH UW", 5, 0.85}, {"W Y", 6, 0.85},
        {"S Z", 7, 0.85},         {"SH ZH JH CH", 8, 0.85},
        {"F V", 9, 0.7},          {"TH DH", 10, 0.85},
        {"L D T", 11, 0.85},      {"FLAP", 11, 0.5},
        {"M B P", 12, 0.85},      {"N NG", 13, 0.85},
        {"R", 14, 0.85},          {"G K", 15, 0.2},
    };
    TLabeledPhonemesToTracksMap map(16, 0);
    for (const Entry& entry : kEntries) {
        std::string rows = entry.rows;
        size_t pos = 0;
        while (pos < rows.size()) {
            size_t end = rows.find(' ', pos);
            if (end == std::string::npos) end = rows.size();
            std::string key = rows.substr(pos, end - pos);
            for (int32_t r = 0; r < kMapRows; ++r)
                if (key == kMapRowKeys[r]) map.SetWeight(r, entry.track, entry.weight);
            pos = end + 1;
        }
    }
    return map;
}

TTrackMapper::TTrackMapper() : current(16), currentLabel(0) {
    maps.Append(BuiltInMap());
    ResetToDefault();
}

int32_t TTrackMapper::ResetToDefault() {
    for (const TLabeledPhonemesToTracksMap& map : maps) {
        if (map.Label() != 0) continue;
        current = map;
        currentLabel = 0;
        Notify();
        return 0;
    }
    return 1;
}

int32_t TTrackMapper::AddMap(const TLabeledPhonemesToTracksMap& map) {
    if (!map.IsValid()) return eetRangeFailure;
    for (const TLabeledPhonemesToTracksMap& held : maps)
        if (held.Label() == map.Label()) return eetArgumentFailure;
    maps.Append(map);
    return eetSuccess;
}

int32_t TTrackMapper::SelectMap(int32_t label) {
    if (label == currentLabel) return eetSuccess;
    for (const TLabeledPhonemesToTracksMap& map : maps) {
        if (map.Label() != label) continue;
        current = map;
        currentLabel = label;
        Notify();
        return eetSuccess;
    }
    return eetArgumentFailure;
}

} // namespace Vantrix
