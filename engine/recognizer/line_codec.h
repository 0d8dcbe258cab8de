// Line encoding of the engine's text data files (pronunciation dictionary, aligned lexicon):
// every byte is XOR-ed with one fixed key, on reading and on writing alike.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace Vantrix {

// The one key of the line encoding; scripts/make_test_dictionary.py reads it from here.
constexpr uint8_t kLineCodecKey = 0xB6;

// Longest decoded line accepted; a longer line marks the file as damaged.
constexpr size_t kMaxLineLength = 65536;

// XORs every byte with kLineCodecKey (encoding and decoding are the same operation).
void CodeLineBytes(char* bytes, size_t count);
inline std::string EncodeLine(std::string_view plain) {
    std::string coded(plain);
    CodeLineBytes(coded.data(), coded.size());
    return coded;
}

// Streams the decoded lines of an encoded file through a fixed buffer.
class TEncodedLineReader {
public:
    // Opens the file for reading; IsOpen() tells whether that worked.
    explicit TEncodedLineReader(const std::string& path);
    ~TEncodedLineReader();
    TEncodedLineReader(const TEncodedLineReader&) = delete;
    TEncodedLineReader& operator=(const TEncodedLineReader&) = delete;

    bool IsOpen() const { return file != nullptr; }
    // Next line without its line feed (and without a trailing carriage return). False at the end
    // of the file; throws eetCatastrophicFailure on a read error or a line over kMaxLineLength.
    bool ReadLine(std::string& line);
    // Like ReadLine, skipping comment lines.
    bool ReadContentLine(std::string& line);

private:
    bool Fill();

    std::FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;
    size_t position = 0, filled = 0;
};

// A comment line: "#" alone or followed by "#", a space or a tab.
inline bool IsCommentLine(std::string_view line) {
    return !line.empty() && line[0] == '#' &&
           (line.size() == 1 || line[1] == '#' || line[1] == ' ' || line[1] == '\t');
}

// The first token of a line: up to the first space, tab or line feed.
std::string_view HeadwordOf(std::string_view line);

// The headword without a trailing alternative marker such as "(2)" or "(1.5)".
std::string_view WithoutAlternativeMarker(std::string_view headword);

} // namespace Vantrix
