// Phoneme-to-track maps: 43 phoneme rows by N+1 tracks, track 0 the rest track.
#pragma once

#include <cstdint>

#include "containers.h"
#include "notification.h"
#include "phonemes.h"

namespace Vantrix {

// Rows: the 41 phoneme identities, then short silence and flap.
constexpr int32_t kMapRows = kPhonemeRowCount;
constexpr int32_t kSilenceRow = kSilenceId;

// Row keys of maps and configuration files, in row order ("IY" … "FLAP").
extern const char* const kMapRowKeys[kMapRows];

class TPhonemesToTracksMap {
public:
    // Zero matrix with silence driving the rest track fully; throws eetRangeFailure for < 1 track.
    explicit TPhonemesToTracksMap(int32_t numTracks);
    virtual ~TPhonemesToTracksMap() = default;

    int32_t NumTracks() const { return numTracks; }
    // Rows exactly 0..42 and columns exactly 0..numTracks-1.
    bool IsValid() const;
    // eetRangeFailure outside the matrix, else 0.
    int32_t SetWeight(int32_t row, int32_t track, double weight);
    // Throws eetRangeFailure outside the matrix.
    double Weight(int32_t row, int32_t track) const { return weights.At(row, track); }
    const AMatrix<double>& Weights() const { return weights; }

protected:
    int32_t numTracks;
    AMatrix<double> weights;
};

class TLabeledPhonemesToTracksMap : public TPhonemesToTracksMap {
public:
    explicit TLabeledPhonemesToTracksMap(int32_t numTracks, int32_t label = 0)
        : TPhonemesToTracksMap(numTracks), label(label) {}
    int32_t Label() const { return label; }
    void SetLabel(int32_t newLabel) { label = newLabel; }

private:
    int32_t label;
};

class TLabeledPhonemesToTracksMapList : public AOpenList<TLabeledPhonemesToTracksMap> {};

// Next label for a map read from a file: 1, 2, … for the life of the process.
int32_t NextMapLabel();

// Holds the built-in map (label 0) and every map read, and the one in use.
class TTrackMapper : public ANotificationServer {
public:
    TTrackMapper();

    int32_t Kind() const override { return 2; }
    int32_t Notify() override { return NotifyClients(); }

    // Selects the built-in map and notifies; 1 when no map has label 0.
    int32_t ResetToDefault();
    // eetRangeFailure for an invalid map, eetArgumentFailure for a label already held.
    int32_t AddMap(const TLabeledPhonemesToTracksMap& map);
    // eetArgumentFailure for an unknown label; selecting the current label does nothing.
    int32_t SelectMap(int32_t label);

    const TPhonemesToTracksMap& Current() const { return current; }
    int32_t CurrentLabel() const { return currentLabel; }
    const TLabeledPhonemesToTracksMapList& Maps() const { return maps; }

    // The built-in 16-track map.
    static TLabeledPhonemesToTracksMap BuiltInMap();

private:
    TPhonemesToTracksMap current;
    TLabeledPhonemesToTracksMapList maps;
    int32_t currentLabel;
};

} // namespace Vantrix
