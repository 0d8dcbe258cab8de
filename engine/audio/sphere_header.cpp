#include "sphere_header.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace Vantrix {
namespace {

const char kMagic[] = "NIST_1A\n   1024\n";

// Numeric field values clamped to 32 bits; junk reads as 0.
uint32_t toUnsigned(const std::string& text) {
    double value = std::strtod(text.c_str(), nullptr);
    if (!(value > 0)) return 0;
    return value >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(value);
}

std::string lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Splits "name -type value"; a -sN string value is exactly N characters when the line has them.
bool splitField(const std::string& line, std::string& name, std::string& value) {
    size_t nameEnd = line.find(' ');
    if (nameEnd == std::string::npos) return false;
    name = line.substr(0, nameEnd);
    size_t typeStart = line.find_first_not_of(' ', nameEnd);
    if (typeStart == std::string::npos || line[typeStart] != '-') return false;
    size_t typeEnd = line.find(' ', typeStart);
    if (typeEnd == std::string::npos) return false;
    std::string type = line.substr(typeStart + 1, typeEnd - typeStart - 1);
    value = line.substr(typeEnd + 1);
    if (type.size() > 1 && type[0] == 's') {
        unsigned long length = std::strtoul(type.c_str() + 1, nullptr, 10);
        if (length < value.size()) value.resize(length);
    } else {
        size_t end = value.find_last_not_of(" \r\t");
        value.resize(end == std::string::npos ? 0 : end + 1);
    }
    return true;
}

} // namespace

bool parseSphereHeader(const uint8_t (&bytes)[kSphereHeaderSize], TSphereHeader& header) {
    header = TSphereHeader();
    if (std::memcmp(bytes, kMagic, 16) != 0) return false;
    std::string text(reinterpret_cast<const char*>(bytes) + 16, kSphereHeaderSize - 16);
    std::string byteFormat = "01";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, 8, "end_head") == 0) break;
        std::string name, value;
        if (!splitField(line, name, value)) continue;
        if (name == "sample_rate")
            header.sampleRate = toUnsigned(value);
        else if (name == "sample_n_bytes")
            header.bytesPerSample = toUnsigned(value);
        else if (name == "channel_count")
            header.channels = toUnsigned(value);
        else if (name == "sample_byte_format")
            byteFormat = value;
        else if (name == "sample_coding") {
            std::string coding = lower(value);
            header.compressed = coding != "pcm" || coding.find("shorten") != std::string::npos;
        }
    }
    header.bigEndian = byteFormat == "10";
    bool orderKnown = header.bytesPerSample == 1 || byteFormat == "01" || byteFormat == "10";
    header.supported = (header.bytesPerSample == 1 || header.bytesPerSample == 2) &&
                       header.channels > 0 && orderKnown;
    return true;
}

} // namespace Vantrix
