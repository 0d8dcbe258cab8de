#include "speech_target_config.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

#include "ini_reader.h"
#include "voxtrail.h"

namespace Vantrix {
namespace {

std::string WithoutWhitespace(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out += c;
    return out;
}

// Leading integer of text, as "%ld" reads it but saturating instead of overflowing.
bool ReadLeadingInteger(const std::string& text, long& value) {
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const char* digits = (begin != end && *begin == '-') ? begin + 1 : begin;
    if (digits == end || *digits < '0' || *digits > '9') return false;
    auto result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range) value = (*begin == '-') ? LONG_MIN : LONG_MAX;
    return true;
}

enum class ENumber { kRead, kNone, kNotFinite };

// A number read from the start of piece as "%lf" reads it (hexadecimal floats included),
// independent of the process locale. Values that are not finite (inf, nan, 1e999) would poison
// every key downstream, so they are told apart to be refused by name.
ENumber ReadLeadingNumber(const std::string& piece, double& value) {
    const char* begin = piece.c_str();
    const char* end = begin + piece.size();
    if (begin != end && *begin == '+') ++begin;
    if (begin == end || *begin == '+') return ENumber::kNone;
    const bool negative = *begin == '-';
    const char* digits = negative ? begin + 1 : begin;
    std::from_chars_result result{};
    if (end - digits > 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x' && digits[2] != '-' &&
        digits[2] != '+') {
        result = std::from_chars(digits + 2, end, value, std::chars_format::hex);
        // "0x" followed by no hexadecimal digits reads as the 0 before the x.
        if (result.ec == std::errc::invalid_argument) {
            value = 0.0;
            return ENumber::kRead;
        }
        if (negative) value = -value;
    } else {
        result = std::from_chars(begin, end, value, std::chars_format::general);
    }
    if (result.ec == std::errc::result_out_of_range) return ENumber::kNotFinite;
    if (result.ec != std::errc() || result.ptr == begin) return ENumber::kNone;
    return std::isfinite(value) ? ENumber::kRead : ENumber::kNotFinite;
}

uint32_t Fail(std::string& detail, std::string text) {
    detail = std::move(text);
    return VOXTRAIL_CONFIG_PARSE_ERROR;
}

std::string Quoted(const char* format, const char* key) {
    char text[128];
    std::snprintf(text, sizeof text, format, key);
    return text;
}

// Most numbers a 1023-character value can hold: one digit each, single commas between.
constexpr long kMaxNumbersPerRow = (TIniFile::kMaxValueLength + 1) / 2;

} // namespace

uint32_t ParseSpeechTargetConfiguration(std::unique_ptr<TLabeledPhonemesToTracksMap>& mapOut,
                                        int32_t& labelOut, const char* path, TTrackMapper* mapper,
                                        std::string& detail) {
    detail.clear();
    if (mapOut || !path) return VOXTRAIL_INTERNAL_ERR;

    TIniFile ini;
    ini.Load(path);
    std::string value;
    if (!ini.GetValue(kSpeechTargetSection, kNumSpeechTargetsKey, value) ||
        WithoutWhitespace(value).empty())
        return Fail(detail, "NumSpeechTargets not specified or PhonemeToSpeechTargetMapping "
                            "section not found");
    long numTargets = 0;
    if (!ReadLeadingInteger(WithoutWhitespace(value), numTargets))
        return Fail(detail, "NumSpeechTargets must have integer value");
    if (numTargets < 1) return Fail(detail, "NumSpeechTargets must be >= 1");

    for (int32_t row = 0; row < kMapRows; ++row) {
        if (!ini.GetValue(kSpeechTargetSection, kMapRowKeys[row], value) ||
            WithoutWhitespace(value).empty())
            return Fail(detail, Quoted("missing phoneme \"%s\"", kMapRowKeys[row]));
    }
    // No row can hold more numbers than this, so the first row would fail to parse; saying so
    // now avoids allocating a map sized by a hostile count.
    if (numTargets > kMaxNumbersPerRow)
        return Fail(detail, Quoted("parse error for phoneme \"%s\"", kMapRowKeys[0]));

    auto map = std::make_unique<TLabeledPhonemesToTracksMap>(int32_t(numTargets) + 1);
    for (int32_t row = 0; row < kMapRows; ++row) {
        if (!ini.GetValue(kSpeechTargetSection, kMapRowKeys[row], value))
            return VOXTRAIL_INTERNAL_ERR;
        std::string text = WithoutWhitespace(value);
        size_t pos = 0;
        for (int32_t j = 1; j <= numTargets; ++j) {
            if (pos < text.size() && text[pos] == ',') ++pos;
            size_t comma = text.find(',', pos);
            if (comma == std::string::npos) comma = text.size();
            double weight = 0.0;
            const std::string piece = pos < text.size() ? text.substr(pos, comma - pos) : "";
            const ENumber read =
                pos < text.size() ? ReadLeadingNumber(piece, weight) : ENumber::kNone;
            if (read == ENumber::kNotFinite)
                return Fail(detail, Quoted("parse error for phoneme \"%s\": ", kMapRowKeys[row]) +
                                        "\"" + piece + "\" is not a finite number");
            if (read != ENumber::kRead)
                return Fail(detail, Quoted("parse error for phoneme \"%s\"", kMapRowKeys[row]));
            if (map->SetWeight(row, j, weight) != eetSuccess) return VOXTRAIL_CONFIG_PARSE_ERROR;
            pos = comma;
        }
    }
    if (!map->IsValid()) return VOXTRAIL_CONFIG_PARSE_ERROR;

    map->SetLabel(NextMapLabel());
    labelOut = map->Label();
    if (!mapper) return VOXTRAIL_STARTUP_NOT_CALLED;
    if (mapper->AddMap(*map) != eetSuccess || mapper->SelectMap(map->Label()) != eetSuccess)
        return VOXTRAIL_CONFIG_PARSE_ERROR;
    mapOut = std::move(map);
    return VOXTRAIL_NOERR;
}

} // namespace Vantrix
