#include "ini_reader.h"

#include <fstream>
#include <iterator>
#include <strings.h>

namespace Vantrix {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Trim(const std::string& text, size_t begin, size_t end) {
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

} // namespace

void TIniFile::Parse(const std::string& text) {
    sections.clear();
    size_t pos = 0;
    // A UTF-8 byte-order mark written by some editors is not part of the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    Section* current = nullptr;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string line = Trim(text, pos, eol);
        pos = eol + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            if (close == std::string::npos) continue;
            sections.push_back({Trim(line, 1, close), {}});
            current = &sections.back();
            continue;
        }
        size_t equals = line.find('=');
        if (!current || equals == std::string::npos) continue;
        std::string value = Trim(line, equals + 1, line.size());
        // Like the platform lookup, a value wrapped in matching quotes loses them.
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
        current->entries.emplace_back(Trim(line, 0, equals), std::move(value));
    }
}

bool TIniFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    Parse(text);
    return true;
}

bool TIniFile::GetValue(const std::string& section, const std::string& key,
                        std::string& value) const {
    for (const Section& s : sections) {
        if (!SameName(s.name, section)) continue;
        for (const auto& entry : s.entries) {
            if (SameName(entry.first, key)) {
                value = entry.second;
                return true;
            }
        }
        return false;
    }
    return false;
}

} // namespace Vantrix
