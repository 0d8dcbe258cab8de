#include "phoneme_data.h"

#include <cstdio>
#include <cstring>

namespace Vantrix {

const char* const kPhonemeDataNames[kPhonemeDataNameCount] = {
    "Iy", "Ih", "Eh", "Ey", "Ae", "Aa", "Aw", "Ay",  "Ah",       "Ao",  "Oy",
    "Ow", "Uh", "Uw", "Er", "Ax", "S",  "Sh", "Z",   "Zh",       "F",   "Th",
    "V",  "Dh", "M",  "N",  "Ng", "L",  "R",  "W",   "Y",        "Hh",  "B",
    "D",  "Jh", "G",  "P",  "T",  "K",  "Ch", "Sil", "ShortSil", "Flap"};

namespace {

constexpr int32_t kErrorTextSize = 256;
constexpr int32_t kWordTextSize = 256;
constexpr const char* kLineEnd = "\r\n";

// Logs a failing query; false when code is an error.
bool Succeeded(uint32_t code, std::vector<std::string>* problems) {
    if (code == VOXTRAIL_NOERR) return true;
    if (problems) {
        char text[kErrorTextSize] = {};
        VoxtrailGetErrorString(code, kErrorTextSize, text);
        problems->push_back(std::string(kPhonemeDataErrorPrefix) + text);
    }
    return false;
}

// Appends the time that query delivers, or nothing when it fails.
template <typename TQuery>
void AppendTime(std::string& out, TQuery query, bool tabAfter, std::vector<std::string>* problems) {
    double seconds = 0.0;
    if (!Succeeded(query(&seconds), problems)) return;
    out += FormatStreamDouble(seconds);
    if (tabAfter) out += '\t';
}

} // namespace

std::string FormatStreamDouble(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string FormatPhonemeData(VOXTRAIL_ANALYSIS* analysis, std::vector<std::string>* problems) {
    std::string out;
    out += "PHONEME DATA:";
    out += kLineEnd;
    int32_t count = 0;
    if (Succeeded(VoxtrailGetNumPhonemes(analysis, &count), problems)) {
        for (int32_t i = 0; i < count; ++i) {
            int32_t id = -1;
            if (Succeeded(VoxtrailGetPhonemeId(analysis, i, &id), problems)) {
                // The engine hands out identities 0..40 only; guard the table all the same.
                out += id >= 0 && id < kPhonemeDataNameCount ? kPhonemeDataNames[id] : "";
                out += '\t';
            }
            AppendTime(
                out, [&](double* t) { return VoxtrailGetPhonemeStartTime(analysis, i, t); }, true,
                problems);
            AppendTime(
                out, [&](double* t) { return VoxtrailGetPhonemeEndTime(analysis, i, t); }, false,
                problems);
            out += kLineEnd;
        }
    }
    out += kLineEnd;

    out += "WORD DATA:";
    out += kLineEnd;
    count = 0;
    if (Succeeded(VoxtrailGetNumWords(analysis, &count), problems)) {
        char text[kWordTextSize];
        for (int32_t i = 0; i < count; ++i) {
            std::memset(text, 0, sizeof text);
            if (Succeeded(VoxtrailGetWordText(analysis, i, kWordTextSize, text), problems)) {
                out += text;
                out += '\t';
            }
            AppendTime(
                out, [&](double* t) { return VoxtrailGetWordStartTime(analysis, i, t); }, true,
                problems);
            AppendTime(
                out, [&](double* t) { return VoxtrailGetWordEndTime(analysis, i, t); }, false,
                problems);
            out += kLineEnd;
        }
    }
    out += kLineEnd;
    return out;
}

} // namespace Vantrix
