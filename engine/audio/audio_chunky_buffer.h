// Index-based read access to a sound held as a list of chunks.
#pragma once

#include <cstdint>

#include "containers.h"
#include "digital_audio.h"

namespace Vantrix {

class TAudioChunkyBuffer : public ASafeList<TDigitalAudio> {
public:
    // One chunk: the whole sound, indices 0 to count - 1.
    explicit TAudioChunkyBuffer(const TDigitalAudio& audio);

    // Empties the buffer so that every later getSample is out of range.
    int32_t Clear() override;

    // The sample at overall index i. Throws eetRangeFailure outside [first, last] and
    // eetCatastrophicFailure when the cursor has left the chunk list.
    double getSample(int32_t i);

    uint32_t getSampleRate() const { return sampleRate; }
    int32_t getFirstIndex() const { return firstIndex; }
    int32_t getLastIndex() const { return lastIndex; }

private:
    int32_t findChunk(int32_t i) const;

    uint32_t sampleRate;
    int32_t firstIndex;
    int32_t lastIndex;
    int32_t cursor;
    // Per chunk, the overall index up to which it reaches.
    AOpenList<int> bounds;
};

} // namespace Vantrix
