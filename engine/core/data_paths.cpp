#include "data_paths.h"

#include <cstdio>

namespace Vantrix {

bool FileReadable(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

int32_t TDataPaths::SetDataFolder(const std::string& newFolder) {
    folder = newFolder.empty() ? "." : newFolder;
    std::string prefix = folder;
    if (prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
    dictionary = prefix + kDictionary;
    alignedLexicon = prefix + kAlignedLexicon;
    backward16k = prefix + kBackward16k;
    forward16k = prefix + kForward16k;
    backward8k = prefix + kBackward8k;
    forward8k = prefix + kForward8k;
    return 0;
}

std::string TDataPaths::ForwardWeightsPath(uint32_t sampleRate) const {
    if (sampleRate == 16000) return forward16k;
    if (sampleRate == 8000) return forward8k;
    return {};
}

std::string TDataPaths::BackwardWeightsPath(uint32_t sampleRate) const {
    if (sampleRate == 16000) return backward16k;
    if (sampleRate == 8000) return backward8k;
    return {};
}

bool TDataPaths::DataPresent() const {
    for (const std::string* path :
         {&dictionary, &alignedLexicon, &forward16k, &backward16k, &forward8k, &backward8k})
        if (!FileReadable(*path)) return false;
    return true;
}

} // namespace Vantrix
