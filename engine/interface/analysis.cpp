#include "analysis.h"

#include <cmath>

#include "errors.h"
#include "rounding.h"
#include "trace.h"

using namespace Vantrix;

VOXTRAIL_ANALYSIS::VOXTRAIL_ANALYSIS()
    : phonemes(std::make_unique<TPhonemeList>()), words(std::make_unique<TWordList>()),
      speechTracks(std::make_unique<TTrackList>()), gestureTracks(std::make_unique<TTrackList>()),
      frameRange(std::make_unique<ADynaVector<int32_t>>()),
      speechFrames(std::make_unique<AMatrix<double>>(0, 0, 0, 0)),
      gestureFrames(std::make_unique<AMatrix<double>>(0, 0, 0, 0)) {}

bool VOXTRAIL_ANALYSIS::IsWhole() const {
    return validityTag == this && sound && phonemes && words && speechTracks && gestureTracks &&
           frameRange && speechFrames && gestureFrames;
}

namespace Vantrix {

namespace {

// A frame's centre and half-width in ms.
struct TFrameGeometry {
    explicit TFrameGeometry(int32_t framesPerSecond)
        : fps(framesPerSecond), halfWidth(0.5 / framesPerSecond * 1000.0) {}
    double Centre(int32_t frame) const { return double(frame) / fps * 1000.0; }
    double fps;
    double halfWidth;
};

// Rows first..last, or the single row 0 for an empty span; throws eetRangeFailure for a table
// that would exceed kMaxFrameTableCells.
std::unique_ptr<AMatrix<double>> NewFrameTable(int32_t first, int32_t last, int32_t columns) {
    if (columns < 1) throw eetArgumentFailure;
    if (last < first) return std::make_unique<AMatrix<double>>(0, 0, 0, columns - 1);
    if ((int64_t(last) - first + 1) * columns > kMaxFrameTableCells) throw eetRangeFailure;
    return std::make_unique<AMatrix<double>>(first, last, 0, columns - 1);
}

void FillFrameTable(AMatrix<double>& table, const TTrackList& tracks, int32_t firstTrack,
                    int32_t framesPerSecond, bool empty) {
    if (empty) return; // already zero
    const TFrameGeometry frame(framesPerSecond);
    const double width = 2.0 * frame.halfWidth;
    for (int32_t column = 0; column < int32_t(table.Cols()); ++column) {
        const TKeyList& keys = tracks[firstTrack + column].Keys();
        if (keys.IsEmpty()) continue;
        // Frames outside the key span integrate to 0: visit only the ones that overlap it.
        const double spanStart = keys.FirstKeyTime(), spanEnd = keys.LastKeyTime();
        for (int32_t f = table.RowLow(); f <= table.RowHigh(); ++f) {
            const double c = frame.Centre(f);
            if (c + frame.halfWidth < spanStart) continue;
            if (c - frame.halfWidth > spanEnd) break;
            table.At(f, column) = keys.Integral(c - frame.halfWidth, c + frame.halfWidth) / width;
        }
    }
}

int32_t Caught(EErrorType kind) {
    return TraceCaught(kind);
}

} // namespace

void FrameSpan(const TTrackList& speechTracks, const TTrackList& gestureTracks,
               int32_t framesPerSecond, int32_t& first, int32_t& last) {
    if (speechTracks.Count() < 2) throw eetArgumentFailure;
    int32_t start = INT32_MAX;
    int32_t end = INT32_MIN;
    auto widen = [&](const TTrack& track) {
        start = std::min(start, track.Keys().FirstKeyTime());
        end = std::max(end, track.Keys().LastKeyTime());
    };
    for (int32_t t = 1; t < speechTracks.Count(); ++t)
        widen(speechTracks[t]);
    for (const TTrack& track : gestureTracks)
        widen(track);
    if (start > 0) start = 0;
    first = nearest(start * 0.001 * framesPerSecond);
    last = nearest(end * 0.001 * framesPerSecond);
}

int32_t SampleFrameRange(VOXTRAIL_ANALYSIS& analysis) {
    try {
        const TTrackList& speech = *analysis.speechTracks;
        int32_t first, last;
        FrameSpan(speech, *analysis.gestureTracks, analysis.framesPerSecond, first, last);
        if (last < first) return 1;
        if (int64_t(last) - first + 1 > kMaxFrameTableCells) throw eetRangeFailure;

        auto range = std::make_unique<ADynaVector<int32_t>>();
        range->Include(first);
        range->Include(last);
        const TFrameGeometry frame(analysis.framesPerSecond);
        std::vector<double> best(size_t(int64_t(last) - first + 1), 0.0);
        for (int32_t f = first; f <= last; ++f)
            range->At(f) = -1;
        // Track by track, so each curve is walked in time order; a later track with an equal or
        // larger absolute integral takes the frame.
        for (int32_t t = 1; t < speech.Count(); ++t) {
            const TKeyList& keys = speech[t].Keys();
            if (keys.IsEmpty()) continue;
            const double spanStart = keys.FirstKeyTime(), spanEnd = keys.LastKeyTime();
            for (int32_t f = first; f <= last; ++f) {
                const double c = frame.Centre(f);
                if (c + frame.halfWidth < spanStart) continue;
                if (c - frame.halfWidth > spanEnd) break;
                const double size =
                    std::fabs(keys.Integral(c - frame.halfWidth, c + frame.halfWidth));
                double& record = best[size_t(int64_t(f) - first)];
                if (size != 0.0 && size >= record) {
                    record = size;
                    range->At(f) = t - 1;
                }
            }
        }
        analysis.frameRange = std::move(range);
        return eetSuccess;
    } catch (EErrorType kind) {
        return Caught(kind);
    } catch (const std::bad_alloc&) {
        return Caught(eetCreateFailure);
    }
}

int32_t SampleSpeechFrames(VOXTRAIL_ANALYSIS& analysis) {
    try {
        const TTrackList& speech = *analysis.speechTracks;
        int32_t first, last;
        FrameSpan(speech, *analysis.gestureTracks, analysis.framesPerSecond, first, last);
        auto table = NewFrameTable(first, last, speech.Count() - 1);
        FillFrameTable(*table, speech, 1, analysis.framesPerSecond, last < first);
        analysis.speechFrames = std::move(table);
        return eetSuccess;
    } catch (EErrorType kind) {
        return Caught(kind);
    } catch (const std::bad_alloc&) {
        return Caught(eetCreateFailure);
    }
}

int32_t SampleGestureFrames(VOXTRAIL_ANALYSIS& analysis) {
    try {
        const TTrackList& gestures = *analysis.gestureTracks;
        if (gestures.IsEmpty()) throw eetArgumentFailure;
        int32_t first, last;
        FrameSpan(*analysis.speechTracks, gestures, analysis.framesPerSecond, first, last);
        auto table = NewFrameTable(first, last, gestures.Count());
        FillFrameTable(*table, gestures, 0, analysis.framesPerSecond, last < first);
        analysis.gestureFrames = std::move(table);
        return eetSuccess;
    } catch (EErrorType kind) {
        return Caught(kind);
    } catch (const std::bad_alloc&) {
        return Caught(eetCreateFailure);
    }
}

VOXTRAIL_ANALYSIS* TAnalysisRegistry::Append(VOXTRAIL_ANALYSIS* analysis) {
    // Process-wide, so a restarted library does not hand out an old handle either.
    static uintptr_t issued = 0;
    VOXTRAIL_ANALYSIS* handle = reinterpret_cast<VOXTRAIL_ANALYSIS*>(++issued << 4);
    entries.push_back(analysis);
    try {
        index.emplace(handle, std::prev(entries.end()));
    } catch (...) {
        entries.pop_back();
        throw;
    }
    return handle;
}

VOXTRAIL_ANALYSIS* TAnalysisRegistry::Find(const VOXTRAIL_ANALYSIS* handle) const {
    auto it = index.find(handle);
    return it == index.end() ? nullptr : *it->second;
}

bool TAnalysisRegistry::Unlink(const VOXTRAIL_ANALYSIS* handle) {
    auto it = index.find(handle);
    if (it == index.end()) return false;
    entries.erase(it->second);
    index.erase(it);
    return true;
}

} // namespace Vantrix
