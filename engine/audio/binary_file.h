// Sequential binary reads of a file whose declared sizes are never trusted.
#pragma once

#include <cstdint>
#include <cstdio>

namespace Vantrix {

// Size of the file in bytes; -1 when it cannot be opened.
int64_t getFileSize(const char* fileName);

// True when the file can be opened for reading.
bool fileExists(const char* fileName);

// A file opened for binary reading; every read is bounded by what the file really holds.
class TBinaryFile {
public:
    TBinaryFile() = default;
    ~TBinaryFile();
    TBinaryFile(const TBinaryFile&) = delete;
    TBinaryFile& operator=(const TBinaryFile&) = delete;

    // False when the file cannot be opened or its size cannot be taken.
    bool Open(const char* fileName);
    bool Close();

    uint64_t Size() const { return size; }
    uint64_t Position() const { return position; }
    uint64_t Remaining() const { return position < size ? size - position : 0; }
    bool AtEnd() const { return position >= size; }

    // Reads up to count bytes; returns how many arrived.
    size_t Read(void* buffer, size_t count);
    // True only when all count bytes arrived.
    bool ReadExactly(void* buffer, size_t count) { return Read(buffer, count) == count; }
    // Moves to an absolute position; positions past the end land at the end.
    bool Seek(uint64_t offset);
    bool Skip(uint64_t count) {
        return Seek(position + (count < Remaining() ? count : Remaining()));
    }

private:
    std::FILE* file = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
};

} // namespace Vantrix
