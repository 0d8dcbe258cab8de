#include "paths.h"

#include <filesystem>
#include <sys/stat.h>

namespace Vantrix {

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string InstalledFolder(const char* fromBin, const char* installed, const char* source) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && *fromBin) {
        const std::filesystem::path beside =
            std::filesystem::weakly_canonical(self.parent_path() / fromBin, error);
        if (!error && IsDirectory(beside.string())) return beside.string();
    }
    if (*installed && IsDirectory(installed)) return installed;
    return source;
}

} // namespace Vantrix
