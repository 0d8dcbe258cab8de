#include "binary_file.h"

#include <sys/stat.h>

namespace Vantrix {

int64_t getFileSize(const char* fileName) {
    TBinaryFile file;
    if (!fileName || !file.Open(fileName)) return -1;
    return int64_t(file.Size());
}

bool fileExists(const char* fileName) {
    if (!fileName) return false;
    std::FILE* f = std::fopen(fileName, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

TBinaryFile::~TBinaryFile() {
    Close();
}

bool TBinaryFile::Open(const char* fileName) {
    Close();
    file = std::fopen(fileName, "rb");
    if (!file) return false;
    // A directory opens on POSIX but holds no bytes to read; only regular files count.
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return Close(), false;
    size = uint64_t(info.st_size);
    position = 0;
    return true;
}

bool TBinaryFile::Close() {
    bool ok = true;
    if (file) ok = std::fclose(file) == 0;
    file = nullptr;
    size = position = 0;
    return ok;
}

size_t TBinaryFile::Read(void* buffer, size_t count) {
    if (!file || count == 0) return 0;
    size_t got = std::fread(buffer, 1, count, file);
    position += got;
    return got;
}

bool TBinaryFile::Seek(uint64_t offset) {
    if (!file) return false;
    if (offset > size) offset = size;
    if (fseeko(file, off_t(offset), SEEK_SET) != 0) return false;
    position = offset;
    return true;
}

} // namespace Vantrix
