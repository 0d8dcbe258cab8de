// Animation tracks: numbered key curves, and lists of them.
#pragma once

#include <cstdint>

#include "containers.h"
#include "keys.h"

namespace Vantrix {

template <typename TKeys> class ATrack {
public:
    ATrack() = default;
    ATrack(const TKeys& keys, int32_t index) : index(index), keys(keys) {}
    virtual ~ATrack() = default;

    int32_t Index() const { return index; }
    void SetIndex(int32_t i) { index = i; }
    TKeys& Keys() { return keys; }
    const TKeys& Keys() const { return keys; }

protected:
    int32_t index = 0;
    TKeys keys;
};

class TTrack : public ATrack<TKeyList> {
public:
    using ATrack<TKeyList>::ATrack;
};

// Tracks in index order.
template <typename TTrackType> class ATrackList : public AOpenList<TTrackType> {
public:
    // Position of the track numbered index, or -1.
    int32_t Find(int32_t index) const {
        for (int32_t i = 0; i < this->Count(); ++i)
            if ((*this)[i].Index() == index) return i;
        return -1;
    }
};

class TTrackList : public ATrackList<TTrack> {
public:
    // Stale: the tracks do not match the current inputs and configuration.
    bool IsStale() const { return stale; }
    void SetStale(bool on) { stale = on; }

private:
    bool stale = true;
};

} // namespace Vantrix
