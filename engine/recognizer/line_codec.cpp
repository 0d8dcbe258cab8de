#include "line_codec.h"

#include <cstring>

#include "errors.h"

namespace Vantrix {
namespace {

constexpr size_t kReadBufferBytes = 65536;

bool IsTokenEnd(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

void CodeLineBytes(char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        bytes[i] = char(uint8_t(bytes[i]) ^ kLineCodecKey);
}

TEncodedLineReader::TEncodedLineReader(const std::string& path)
    : file(std::fopen(path.c_str(), "rb")) {
    if (file) buffer.reset(new char[kReadBufferBytes]);
}

TEncodedLineReader::~TEncodedLineReader() {
    if (file) std::fclose(file);
}

bool TEncodedLineReader::Fill() {
    if (!file) return false;
    filled = std::fread(buffer.get(), 1, kReadBufferBytes, file);
    position = 0;
    if (filled == 0 && std::ferror(file)) throw eetCatastrophicFailure;
    CodeLineBytes(buffer.get(), filled);
    return filled != 0;
}

bool TEncodedLineReader::ReadLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (position == filled && !Fill()) break;
        any = true;
        const char* begin = buffer.get() + position;
        const void* feed = std::memchr(begin, '\n', filled - position);
        size_t length = feed ? size_t(static_cast<const char*>(feed) - begin) : filled - position;
        if (line.size() + length > kMaxLineLength) throw eetCatastrophicFailure;
        line.append(begin, length);
        position += length;
        if (feed) {
            ++position;
            break;
        }
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

bool TEncodedLineReader::ReadContentLine(std::string& line) {
    while (ReadLine(line))
        if (!IsCommentLine(line)) return true;
    return false;
}

std::string_view HeadwordOf(std::string_view line) {
    size_t end = 0;
    while (end < line.size() && !IsTokenEnd(line[end]))
        ++end;
    return line.substr(0, end);
}

std::string_view WithoutAlternativeMarker(std::string_view headword) {
    if (headword.size() < 3 || headword.back() != ')') return headword;
    size_t open = headword.size() - 1;
    while (open > 0 &&
           ((headword[open - 1] >= '0' && headword[open - 1] <= '9') || headword[open - 1] == '.'))
        --open;
    // At least one digit or dot between the parentheses.
    if (open == 0 || open == headword.size() - 1 || headword[open - 1] != '(') return headword;
    return headword.substr(0, open - 1);
}

} // namespace Vantrix
