// Codec back end: decodes any wave format libsndfile knows by handing it a wave image in memory.
#include <sndfile.h>

#include <algorithm>
#include <cstring>

#include "audio_codec.h"
#include "byte_order.h"

namespace Vantrix {
namespace {

struct TMemoryImage {
    std::vector<uint8_t> bytes;
    sf_count_t position = 0;
};

sf_count_t imageLength(void* user) {
    return sf_count_t(static_cast<TMemoryImage*>(user)->bytes.size());
}

sf_count_t imageSeek(sf_count_t offset, int whence, void* user) {
    auto* image = static_cast<TMemoryImage*>(user);
    sf_count_t base = whence == SEEK_CUR   ? image->position
                      : whence == SEEK_END ? sf_count_t(image->bytes.size())
                                           : 0;
    sf_count_t target = base + offset;
    if (target < 0) return -1;
    image->position = target;
    return target;
}

sf_count_t imageRead(void* buffer, sf_count_t count, void* user) {
    auto* image = static_cast<TMemoryImage*>(user);
    sf_count_t size = sf_count_t(image->bytes.size());
    if (count <= 0 || image->position >= size) return 0;
    sf_count_t n = std::min(count, size - image->position);
    std::memcpy(buffer, image->bytes.data() + image->position, size_t(n));
    image->position += n;
    return n;
}

sf_count_t imageWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t imageTell(void* user) {
    return static_cast<TMemoryImage*>(user)->position;
}

void appendTag(std::vector<uint8_t>& out, const char* tag, uint32_t size) {
    out.insert(out.end(), tag, tag + 4);
    uint8_t le[4];
    writeLE32(le, size);
    out.insert(out.end(), le, le + 4);
}

// A minimal RIFF/WAVE image: the format chunk as the file gave it, then the data.
std::vector<uint8_t> buildWaveImage(const TWaveFormat& format, const uint8_t* src, size_t length) {
    std::vector<uint8_t> fmt = serialiseWaveFormat(format);
    std::vector<uint8_t> image;
    image.reserve(12 + 8 + fmt.size() + 1 + 8 + length + 1);
    uint64_t riffSize = 4 + 8 + fmt.size() + (fmt.size() & 1) + 8 + length + (length & 1);
    appendTag(image, "RIFF", uint32_t(std::min<uint64_t>(riffSize, UINT32_MAX)));
    image.insert(image.end(), {'W', 'A', 'V', 'E'});
    appendTag(image, "fmt ", uint32_t(fmt.size()));
    image.insert(image.end(), fmt.begin(), fmt.end());
    if (fmt.size() & 1) image.push_back(0);
    appendTag(image, "data", uint32_t(length));
    image.insert(image.end(), src, src + length);
    if (length & 1) image.push_back(0);
    return image;
}

} // namespace

bool decodeToPcm16(const TWaveFormat& from, const uint8_t* src, size_t srcLength,
                   std::vector<uint8_t>& dst) {
    if (from.channels == 0 || srcLength > UINT32_MAX) return false;
    TMemoryImage image;
    image.bytes = buildWaveImage(from, src, srcLength);
    SF_VIRTUAL_IO io = {imageLength, imageSeek, imageRead, imageWrite, imageTell};
    SF_INFO info = {};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, &image);
    if (!sound) return false;
    bool ok = info.channels == from.channels && info.samplerate > 0 &&
              uint32_t(info.samplerate) == from.samplesPerSec && info.frames >= 0;
    if (ok) {
        // No codec packs more than a few samples into a byte; a larger frame count is a lie of
        // the header and must not size the allocation.
        uint64_t cap = (uint64_t(srcLength) * 8 + 4096) / uint64_t(info.channels);
        uint64_t frames = std::min<uint64_t>(uint64_t(info.frames), cap);
        std::vector<short> samples(size_t(frames) * size_t(info.channels), 0);
        sf_command(sound, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
        // A short decode leaves silence at the end, as the destination is sized up front.
        sf_readf_short(sound, samples.data(), sf_count_t(frames));
        dst.resize(samples.size() * 2);
        for (size_t i = 0; i < samples.size(); ++i)
            writeLE16(&dst[2 * i], uint16_t(samples[i]));
    }
    sf_close(sound);
    return ok;
}

} // namespace Vantrix
