#include "transcript_spelling.h"

#include <cstdint>
#include <vector>

namespace Vantrix {
namespace {

// Base letters of U+00C0-U+00FF; empty for the two signs in the block.
const char* const kLatin1[64] = {
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",
    "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "TH", "SS",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y"};

// Base letters of U+0100-U+017F, one each; '?' marks the ligatures spelled out below.
const char kLatinExtendedA[] = "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKkkLlLlLlL"
                               "lLlNnNnNnnNnOoOoOo??RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

// Text for a code point; empty when it is not a letter, quote or dash folded here.
std::string Fold(uint32_t code) {
    if (code >= 0xC0 && code <= 0xFF) return kLatin1[code - 0xC0];
    if (code >= 0x100 && code <= 0x17F) {
        switch (code) {
        case 0x132:
            return "IJ";
        case 0x133:
            return "ij";
        case 0x152:
            return "OE";
        case 0x153:
            return "oe";
        default:
            return std::string(1, kLatinExtendedA[code - 0x100]);
        }
    }
    switch (code) {
    case 0x2018:
    case 0x2019:
        return "'";
    case 0x201C:
    case 0x201D:
        return "\"";
    case 0x2013:
    case 0x2014:
        return "-";
    default:
        return "";
    }
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Decodes the UTF-8 sequence at text[i]; 0 length when there is none.
uint32_t DecodeUtf8(std::string_view text, size_t i, size_t& length) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    length = 0;
    if (c >= 0xC2 && c <= 0xDF && i + 1 < text.size() &&
        IsContinuation(static_cast<unsigned char>(text[i + 1]))) {
        length = 2;
        return (uint32_t(c & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
    }
    if (c >= 0xE0 && c <= 0xEF && i + 2 < text.size() &&
        IsContinuation(static_cast<unsigned char>(text[i + 1])) &&
        IsContinuation(static_cast<unsigned char>(text[i + 2]))) {
        length = 3;
        return (uint32_t(c & 0x0F) << 12) |
               (uint32_t(static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
               (static_cast<unsigned char>(text[i + 2]) & 0x3F);
    }
    if (c >= 0xF0 && c <= 0xF4 && i + 3 < text.size() &&
        IsContinuation(static_cast<unsigned char>(text[i + 1])) &&
        IsContinuation(static_cast<unsigned char>(text[i + 2])) &&
        IsContinuation(static_cast<unsigned char>(text[i + 3]))) {
        length = 4;
        return 0x10000; // beyond every folded letter; its value does not matter
    }
    return 0;
}

const char* const kOnes[20] = {"ZERO",    "ONE",     "TWO",       "THREE",    "FOUR",
                               "FIVE",    "SIX",     "SEVEN",     "EIGHT",    "NINE",
                               "TEN",     "ELEVEN",  "TWELVE",    "THIRTEEN", "FOURTEEN",
                               "FIFTEEN", "SIXTEEN", "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
const char* const kTens[10] = {"",      "",      "TWENTY",  "THIRTY", "FORTY",
                               "FIFTY", "SIXTY", "SEVENTY", "EIGHTY", "NINETY"};

void Append(std::string& out, const std::string& word) {
    if (!out.empty()) out += ' ';
    out += word;
}

// Words of n below 1000, nothing for 0.
void BelowThousand(uint32_t n, std::string& out) {
    if (n >= 100) {
        Append(out, kOnes[n / 100]);
        Append(out, "HUNDRED");
        n %= 100;
    }
    if (n >= 20) {
        Append(out, kTens[n / 10]);
        n %= 10;
        if (n) Append(out, kOnes[n]);
    } else if (n) {
        Append(out, kOnes[n]);
    }
}

std::string Cardinal(uint64_t n) {
    if (n == 0) return "ZERO";
    static const struct {
        uint64_t scale;
        const char* name;
    } kScales[] = {{1000000000ull, "BILLION"}, {1000000, "MILLION"}, {1000, "THOUSAND"}};
    std::string out;
    for (const auto& s : kScales) {
        if (n >= s.scale) {
            BelowThousand(uint32_t(n / s.scale), out);
            Append(out, s.name);
            n %= s.scale;
        }
    }
    BelowThousand(uint32_t(n), out);
    return out;
}

std::string DigitByDigit(std::string_view digits) {
    std::string out;
    for (char d : digits)
        Append(out, kOnes[d - '0']);
    return out;
}

// "NINETEEN EIGHTY FOUR", "NINETEEN HUNDRED", "NINETEEN OH FIVE".
std::string Year(uint32_t n) {
    std::string out = Cardinal(n / 100);
    const uint32_t low = n % 100;
    if (low == 0) return out + " HUNDRED";
    if (low < 10) out += " OH";
    return out + " " + Cardinal(low);
}

std::string Ordinal(std::string words) {
    const size_t space = words.rfind(' ');
    const size_t start = space == std::string::npos ? 0 : space + 1;
    const std::string last = words.substr(start);
    static const struct {
        const char* cardinal;
        const char* ordinal;
    } kIrregular[] = {{"ONE", "FIRST"},     {"TWO", "SECOND"},   {"THREE", "THIRD"},
                      {"FIVE", "FIFTH"},    {"EIGHT", "EIGHTH"}, {"NINE", "NINTH"},
                      {"TWELVE", "TWELFTH"}};
    for (const auto& row : kIrregular)
        if (last == row.cardinal) return words.substr(0, start) + row.ordinal;
    if (last.back() == 'Y') return words.substr(0, words.size() - 1) + "IETH";
    return words + "TH";
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool HasSuffix(std::string_view text, size_t at, const char* suffix) {
    for (size_t k = 0; suffix[k]; ++k) {
        if (at + k >= text.size() || (text[at + k] | 0x20) != suffix[k]) return false;
    }
    const size_t end = at + std::char_traits<char>::length(suffix);
    return end == text.size() || !IsLetter(text[end]);
}

// A currency sign at text[i]: its length and the unit's names; 0 when there is none.
size_t Currency(std::string_view text, size_t i, const char*& one, const char*& many) {
    if (text.substr(i, 1) == "$") {
        one = "DOLLAR", many = "DOLLARS";
        return 1;
    }
    if (text.substr(i, 2) == "\xC2\xA3") {
        one = "POUND", many = "POUNDS";
        return 2;
    }
    if (text.substr(i, 3) == "\xE2\x82\xAC") {
        one = "EURO", many = "EUROS";
        return 3;
    }
    return 0;
}

// Spells the number starting at text[i] (after an optional currency sign); advances i past it.
// False, i unchanged, when no digit follows.
bool SpellNumber(std::string_view text, size_t& i, std::string& out) {
    const char* one = nullptr;
    const char* many = nullptr;
    size_t at = i + Currency(text, i, one, many);
    if (at >= text.size() || !IsDigit(text[at])) return false;

    // Whole part, with commas between groups of three.
    std::string whole;
    bool grouped = false;
    while (at < text.size()) {
        if (IsDigit(text[at])) {
            whole += text[at++];
        } else if (text[at] == ',' && at + 3 < text.size() && IsDigit(text[at + 1]) &&
                   IsDigit(text[at + 2]) && IsDigit(text[at + 3]) &&
                   (at + 4 == text.size() || !IsDigit(text[at + 4]))) {
            grouped = true;
            ++at;
        } else {
            break;
        }
    }
    std::string fraction;
    if (at + 1 < text.size() && text[at] == '.' && IsDigit(text[at + 1])) {
        ++at;
        while (at < text.size() && IsDigit(text[at]))
            fraction += text[at++];
    }

    const bool tooLong = whole.size() > 12;
    const uint64_t value = tooLong ? 0 : std::stoull(whole);
    std::string words = tooLong ? DigitByDigit(whole) : Cardinal(value);
    const bool plain = !one && !grouped && fraction.empty();
    if (plain && whole.size() == 4 && whole[0] != '0' &&
        ((value >= 1100 && value < 2000) || (value >= 2010 && value < 2100)))
        words = Year(uint32_t(value));

    if (one) {
        if (fraction.size() == 2) {
            words += value == 1 ? std::string(" ") + one : std::string(" ") + many;
            const uint32_t cents = uint32_t(std::stoul(fraction));
            if (cents) words += " " + Cardinal(cents) + (cents == 1 ? " CENT" : " CENTS");
        } else {
            if (!fraction.empty()) words += " POINT " + DigitByDigit(fraction);
            words += " ";
            words += (value == 1 && fraction.empty()) ? one : many;
        }
    } else if (!fraction.empty()) {
        words += " POINT " + DigitByDigit(fraction);
    } else if (!tooLong && (HasSuffix(text, at, "st") || HasSuffix(text, at, "nd") ||
                            HasSuffix(text, at, "rd") || HasSuffix(text, at, "th"))) {
        words = Ordinal(Cardinal(value));
        at += 2;
    }
    if (at < text.size() && text[at] == '%') {
        words += " PERCENT";
        ++at;
    }
    out += ' ';
    out += words;
    out += ' ';
    i = at;
    return true;
}

} // namespace

std::string SpellOutTranscript(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (SpellNumber(text, i, out)) continue;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(c);
            ++i;
            continue;
        }
        size_t length = 0;
        uint32_t code = DecodeUtf8(text, i, length);
        if (!length) {
            // Not UTF-8: a single Latin-1 byte.
            code = c;
            length = 1;
        }
        const std::string folded = Fold(code);
        // What is not folded is left for the cleaning to drop and count.
        out.append(folded.empty() ? text.substr(i, length) : std::string_view(folded));
        i += length;
    }
    return out;
}

} // namespace Vantrix
