// Minimal reader of initialisation files: [section] and key=value lines.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Vantrix {

class TIniFile {
public:
    // Longest value kept; longer values are cut, as a 1024-byte lookup buffer would.
    static constexpr size_t kMaxValueLength = 1023;

    // Parses text already in memory; never fails (lines it cannot read are ignored).
    void Parse(const std::string& text);
    // Reads and parses a file; false when it cannot be opened or read.
    bool Load(const std::string& path);

    // Looks a value up, section and key compared without regard to case; the first
    // matching section and key win. False when either is missing.
    bool GetValue(const std::string& section, const std::string& key, std::string& value) const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> sections;
};

} // namespace Vantrix
