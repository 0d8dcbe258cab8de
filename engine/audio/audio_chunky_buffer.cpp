#include "audio_chunky_buffer.h"

namespace Vantrix {

TAudioChunkyBuffer::TAudioChunkyBuffer(const TDigitalAudio& audio)
    : sampleRate(audio.getSampleRate()), firstIndex(0),
      lastIndex(int32_t(int64_t(audio.getSampleCount()) - 1)), cursor(0) {
    Append(audio);
    bounds.Append(int(audio.getSampleCount()));
}

int32_t TAudioChunkyBuffer::Clear() {
    ASafeList<TDigitalAudio>::Clear();
    bounds.Clear();
    sampleRate = 0;
    firstIndex = INT32_MAX;
    lastIndex = INT32_MIN;
    cursor = 0;
    return eetSuccess;
}

// Chunks appended through the inherited slot carry no bound and are never searched.
int32_t TAudioChunkyBuffer::findChunk(int32_t i) const {
    const int32_t chunks = bounds.Count() < Count() ? bounds.Count() : Count();
    if (cursor < chunks && i <= bounds[cursor] && (cursor == 0 || i > bounds[cursor - 1]))
        return cursor;
    const int32_t next = cursor + 1;
    if (next < chunks && i <= bounds[next] && i > bounds[cursor]) return next;
    for (int32_t c = 0; c < chunks; ++c)
        if (bounds[c] >= i) return c;
    return -1;
}

double TAudioChunkyBuffer::getSample(int32_t i) {
    if (i < firstIndex || i > lastIndex) throw eetRangeFailure;
    if (!IsIndex(cursor)) throw eetCatastrophicFailure;
    const int32_t chunk = findChunk(i);
    if (chunk < 0) throw eetRangeFailure;
    const int64_t local = chunk == 0 ? int64_t(i) - firstIndex : int64_t(i) - bounds[chunk - 1] - 1;
    // Bounds and chunk lengths only disagree if someone appended behind the buffer's back.
    const TDigitalAudio& audio = (*this)[chunk];
    if (local < 0 || local >= int64_t(audio.getSampleCount())) throw eetRangeFailure;
    cursor = chunk;
    return *audio.getSample(uint32_t(local));
}

} // namespace Vantrix
