#include "weight_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/stat.h>

#include "errors.h"

namespace Vantrix {

namespace {

constexpr size_t kAlignment = 64;

struct TCloseFile {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFileHandle = std::unique_ptr<std::FILE, TCloseFile>;

uint32_t bigEndianWord(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

[[noreturn]] void fileFault(const std::string& path, const char* what, EErrorType kind) {
    throw TDataFileError("weights file " + path + " " + what, kind);
}

// Reads count big-endian reals into out; a short read is a truncated file.
void readReals(std::FILE* f, float* out, size_t count, const std::string& path) {
    if (count == 0) return;
    if (std::fread(out, sizeof(float), count, f) != count)
        fileFault(path, "is truncated", eetCatastrophicFailure);
    uint8_t* bytes = reinterpret_cast<uint8_t*>(out);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t word = bigEndianWord(bytes + 4 * i);
        std::memcpy(bytes + 4 * i, &word, 4);
    }
}

} // namespace

void checkNetworkLayout(const TNetworkLayout& l) {
    const bool ordered = l.firstInput >= 0 && l.firstInput < l.inputEnd &&
                         l.inputEnd <= l.firstComputed && l.firstComputed <= l.firstOutput &&
                         l.firstOutput < l.unitCount;
    if (!ordered) throw eetCatastrophicFailure;
    if (l.InputCount() > kMaxNetworkInputs) throw eetCatastrophicFailure;
    if (l.stateCount != l.firstComputed - l.inputEnd) throw eetCatastrophicFailure;
    if (l.stateCount > l.ComputedCount()) throw eetCatastrophicFailure;
}

void TAlignedFloats::TFree::operator()(float* p) const {
    std::free(p);
}

TAlignedFloats::TAlignedFloats(size_t n) : count(n) {
    if (n == 0) return;
    if (n > (SIZE_MAX - kAlignment) / sizeof(float)) throw eetCatastrophicFailure;
    const size_t bytes = (n * sizeof(float) + kAlignment - 1) / kAlignment * kAlignment;
    block.reset(static_cast<float*>(std::aligned_alloc(kAlignment, bytes)));
    if (!block) throw eetCatastrophicFailure;
}

TNetworkWeights::TNetworkWeights(const TNetworkLayout& l) : layout(l) {
    checkNetworkLayout(layout);
    initial = TAlignedFloats(size_t(layout.unitCount));
    weights = TAlignedFloats(size_t(layout.ComputedCount()) * size_t(layout.firstComputed));
    std::memset(initial.data(), 0, initial.size() * sizeof(float));
    if (weights.size()) std::memset(weights.data(), 0, weights.size() * sizeof(float));
}

TNetworkWeights loadNetworkWeights(const std::string& path) {
    TFileHandle file(std::fopen(path.c_str(), "rb"));
    struct stat info;
    if (!file || fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        fileFault(path, "cannot be opened as a file", eetOpenFailure);
    const uint64_t length = uint64_t(info.st_size);

    uint8_t header[kWeightHeaderBytes];
    if (length < kWeightHeaderBytes ||
        std::fread(header, 1, kWeightHeaderBytes, file.get()) != kWeightHeaderBytes)
        fileFault(path, "is truncated", eetCatastrophicFailure);
    auto word = [&](int i) { return int32_t(bigEndianWord(header + 4 * i)); };
    TNetworkLayout layout;
    layout.stateCount = word(0);
    // Words 1-5 are not used; word 8 is read into the slot that word 9 then overwrites.
    layout.firstInput = word(6);
    layout.inputEnd = word(7);
    layout.firstComputed = word(9);
    layout.firstOutput = word(10);
    layout.unitCount = word(11);
    try {
        checkNetworkLayout(layout);
    } catch (EErrorType kind) {
        fileFault(path, "is damaged: its header describes no usable network", kind);
    }
    // Sizes come from the file: they must fit in what the file holds before anything is
    // allocated from them.
    if (layout.RealCount() > (length - kWeightHeaderBytes) / 4)
        fileFault(path, "is truncated", eetCatastrophicFailure);

    TNetworkWeights net(layout);
    readReals(file.get(), net.InitialUnits(), size_t(layout.unitCount), path);
    readReals(file.get(), net.Weights(),
              size_t(layout.ComputedCount()) * size_t(layout.firstComputed), path);
    return net;
}

} // namespace Vantrix
