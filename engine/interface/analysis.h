// The analysis object handed out by the library interface, its frame sampling and the registry
// of the objects handed out.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

#include "containers.h"
#include "digital_audio.h"
#include "phonemes.h"
#include "track_mapper.h"
#include "tracks.h"
#include "voxtrail.h"
#include "words.h"

// Global, as the public header declares it. Owns every part; destroying it destroys them.
struct VOXTRAIL_ANALYSIS {
    // Empty parts: no sound yet, an empty frame range, 1 x 1 frame tables.
    VOXTRAIL_ANALYSIS();
    VOXTRAIL_ANALYSIS(const VOXTRAIL_ANALYSIS&) = delete;
    VOXTRAIL_ANALYSIS& operator=(const VOXTRAIL_ANALYSIS&) = delete;

    // The object's own address while valid, null once it is being freed.
    const VOXTRAIL_ANALYSIS* validityTag = nullptr;
    int32_t framesPerSecond = 30;
    std::unique_ptr<Vantrix::TDigitalAudio> sound;
    std::unique_ptr<Vantrix::TPhonemeList> phonemes;
    std::unique_ptr<Vantrix::TWordList> words;
    // Rest track first; the interface hides it.
    std::unique_ptr<Vantrix::TTrackList> speechTracks;
    std::unique_ptr<Vantrix::TTrackList> gestureTracks;
    // Dominant speech target (interface numbering, -1 for none) of every frame covered.
    std::unique_ptr<Vantrix::ADynaVector<int32_t>> frameRange;
    // Average of each track over each frame: rows are frames, columns interface track numbers.
    std::unique_ptr<Vantrix::AMatrix<double>> speechFrames;
    std::unique_ptr<Vantrix::AMatrix<double>> gestureFrames;
    std::unique_ptr<Vantrix::TLabeledPhonemesToTracksMap> customMap;
    int32_t customMapLabel = 0;

    // Tag set and all eight owned parts present.
    bool IsWhole() const;
};

namespace Vantrix {

// Most cells one frame table may hold: a frame rate far above any host's keeps the analysis
// from claiming gigabytes.
constexpr int64_t kMaxFrameTableCells = int64_t(1) << 26;

// Frame span of the tracks: [first, last] frames at framesPerSecond. last < first when no
// speech track after the rest track and no gesture track holds a key. eetArgumentFailure
// (thrown) for fewer than two speech tracks.
void FrameSpan(const TTrackList& speechTracks, const TTrackList& gestureTracks,
               int32_t framesPerSecond, int32_t& first, int32_t& last);

// The three sampling steps; each returns 0 or the error kind caught (traced). The frame range
// gives 1 for an empty span.
int32_t SampleFrameRange(VOXTRAIL_ANALYSIS& analysis);
int32_t SampleSpeechFrames(VOXTRAIL_ANALYSIS& analysis);
int32_t SampleGestureFrames(VOXTRAIL_ANALYSIS& analysis);

// The analyses handed out and not yet freed, in order of creation, with a lookup index so
// that the handle check of every query costs O(1). A handle is a token no earlier analysis of
// the process had, never the analysis's address: the allocator reuses a freed analysis's
// address, and a kept copy of its pointer must not reach the analysis made there later.
class TAnalysisRegistry {
public:
    TAnalysisRegistry() = default;
    TAnalysisRegistry(const TAnalysisRegistry&) = delete;
    TAnalysisRegistry& operator=(const TAnalysisRegistry&) = delete;

    // Registers analysis; returns its new handle.
    VOXTRAIL_ANALYSIS* Append(VOXTRAIL_ANALYSIS* analysis);
    // The analysis a handle stands for; nullptr when the handle is not registered.
    VOXTRAIL_ANALYSIS* Find(const VOXTRAIL_ANALYSIS* handle) const;
    bool Contains(const VOXTRAIL_ANALYSIS* handle) const { return Find(handle) != nullptr; }
    // False when handle is not registered.
    bool Unlink(const VOXTRAIL_ANALYSIS* handle);
    int32_t Count() const { return int32_t(entries.size()); }
    // The registered analyses themselves, in order of creation.
    const std::list<VOXTRAIL_ANALYSIS*>& Entries() const { return entries; }

private:
    std::list<VOXTRAIL_ANALYSIS*> entries;
    std::unordered_map<const VOXTRAIL_ANALYSIS*, std::list<VOXTRAIL_ANALYSIS*>::iterator> index;
};

} // namespace Vantrix
