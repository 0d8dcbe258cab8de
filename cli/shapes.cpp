#include "shapes.h"

#include "paths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef VOXTRAIL_SHAPES_FROM_BIN
#define VOXTRAIL_SHAPES_FROM_BIN ""
#endif
#ifndef VOXTRAIL_INSTALLED_SHAPES
#define VOXTRAIL_INSTALLED_SHAPES ""
#endif
#ifndef VOXTRAIL_SOURCE_SHAPES
#define VOXTRAIL_SOURCE_SHAPES ""
#endif

namespace Vantrix {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// The value of a "; Name: value" comment line, or false.
bool CommentValue(const std::string& line, const char* name, std::string& value) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] != ';') return false;
    const std::string rest = Trimmed(text.substr(1));
    const std::string prefix = std::string(name) + ":";
    if (rest.compare(0, prefix.size(), prefix) != 0) return false;
    value = Trimmed(rest.substr(prefix.size()));
    return true;
}

// NumSpeechTargets as the file gives it, -1 when it is missing or not a number; the engine
// judges the rest.
long NumSpeechTargets(const std::string& line) {
    const std::string text = Trimmed(line);
    const std::string key = "numspeechtargets";
    std::string lower = text.substr(0, key.size());
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (lower != key) return -1;
    const std::string rest = Trimmed(text.substr(key.size()));
    if (rest.empty() || rest[0] != '=') return -1;
    try {
        return std::stol(rest.substr(1));
    } catch (const std::exception&) {
        return -1;
    }
}

// The shipped sets' names, for the message that lists them.
std::string KnownSets(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".ini") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return list.empty() ? "none found in '" + folder + "'" : list;
}

bool NeedsShapeNames(const std::string& format) {
    return format == "moho" || format == "shapes-tsv" || format == "shapes-json";
}

} // namespace

bool ReadShapeNames(const std::string& path, TShapeNames& names, std::string& error) {
    names = {};
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the configuration file '" + path + "'";
        return false;
    }
    long targets = -1;
    std::string line, value;
    while (std::getline(in, line)) {
        if (CommentValue(line, "Shapes", value)) {
            std::istringstream list(value);
            for (std::string name; std::getline(list, name, ',');)
                names.shapes.push_back(Trimmed(name));
        } else if (CommentValue(line, "Rest", value)) {
            names.rest = value;
        } else if (const long n = NumSpeechTargets(line); n >= 0) {
            targets = n;
        }
    }
    if (names.shapes.empty()) return true;
    const bool blank = std::any_of(names.shapes.begin(), names.shapes.end(),
                                   [](const std::string& name) { return name.empty(); });
    if (blank || long(names.shapes.size()) != targets) {
        error = "the configuration file '" + path + "' names " +
                std::to_string(names.shapes.size()) + " shapes in its '; Shapes:' line" +
                (blank ? ", one of them empty," : "") + " for " +
                (targets < 0 ? "no" : std::to_string(targets)) + " NumSpeechTargets";
        return false;
    }
    if (names.rest.empty()) names.rest = "rest";
    return true;
}

std::string MouthShapesFolder() {
    return InstalledFolder(VOXTRAIL_SHAPES_FROM_BIN, VOXTRAIL_INSTALLED_SHAPES,
                           VOXTRAIL_SOURCE_SHAPES);
}

bool ResolveShapes(TOptions& options, std::string& error) {
    if (!options.shapes.empty()) {
        const std::string folder = MouthShapesFolder();
        const std::string& name = options.shapes;
        // A set is a name, never a path out of the folder.
        const bool plain = name.find_first_of("/\\") == std::string::npos && name[0] != '.';
        const std::string path = folder + "/" + name + ".ini";
        std::ifstream probe(path);
        if (!plain || !probe) {
            error = "unknown mouth-shape set '" + name + "' (the sets: " + KnownSets(folder) + ")";
            return false;
        }
        options.config = path;
    }
    TShapeNames names;
    if (!options.config.empty() && !ReadShapeNames(options.config, names, error)) {
        // An unreadable --config is the engine's to report, in its words.
        if (!options.shapes.empty() || names.shapes.size() > 0) return false;
        error.clear();
    }
    if (options.command == "analyze" && NeedsShapeNames(options.format) && names.shapes.empty()) {
        error = "--format " + options.format +
                " needs shape names: choose a set with --shapes NAME (" +
                KnownSets(MouthShapesFolder()) +
                "), or give a --config whose '; Shapes:' line names its targets";
        return false;
    }
    if (options.frames && options.format != "json") {
        error = "--frames adds to the json format, not to " + options.format;
        return false;
    }
    return true;
}

void NameSpeechTargets(const TOptions& options, TAnalysisResult& result) {
    if (options.config.empty()) return;
    TShapeNames names;
    std::string error;
    if (!ReadShapeNames(options.config, names, error) ||
        names.shapes.size() != result.speechTargets.size())
        return;
    for (size_t t = 0; t < names.shapes.size(); ++t)
        result.speechTargets[t].name = names.shapes[t];
    result.restShape = names.rest;
}

} // namespace Vantrix
