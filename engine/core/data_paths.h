// The data folder and the six engine data files found in it.
#pragma once

#include <cstdint>
#include <string>

namespace Vantrix {

class TDataPaths {
public:
    static constexpr const char* kDictionary = "DtC6dal.dat";
    static constexpr const char* kAlignedLexicon = "DtC6dl.dat";
    static constexpr const char* kBackward16k = "Wt16M9bs.dat";
    static constexpr const char* kForward16k = "Wt16M9fs.dat";
    static constexpr const char* kBackward8k = "Wt8S9bs.dat";
    static constexpr const char* kForward8k = "Wt8S9fs.dat";

    TDataPaths() { SetDataFolder("."); }

    // Derives the six paths; "/" is added unless the folder already ends with "/" or "\".
    // An empty folder means the current one. Always 0.
    int32_t SetDataFolder(const std::string& folder);

    const std::string& DataFolder() const { return folder; }
    const std::string& DictionaryPath() const { return dictionary; }
    const std::string& AlignedLexiconPath() const { return alignedLexicon; }
    // Network weights for a sample rate: 16000 or 8000 Hz; empty for any other rate.
    std::string ForwardWeightsPath(uint32_t sampleRate) const;
    std::string BackwardWeightsPath(uint32_t sampleRate) const;

    // True when all six files open for reading.
    bool DataPresent() const;

private:
    std::string folder;
    std::string dictionary, alignedLexicon;
    std::string forward16k, backward16k, forward8k, backward8k;
};

// True when the file can be opened for reading.
bool FileReadable(const std::string& path);

} // namespace Vantrix
