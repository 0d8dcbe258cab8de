#include "analysis_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace Vantrix {

namespace {

const char* const kIdentityNames[41] = {
    "iy", "ih", "eh", "ey", "ae", "aa", "aw", "ay", "ah", "ao", "oy", "ow", "uh", "uw",
    "er", "ax", "s",  "sh", "z",  "zh", "f",  "th", "v",  "dh", "m",  "n",  "ng", "l",
    "r",  "w",  "y",  "hh", "b",  "d",  "jh", "g",  "p",  "t",  "k",  "ch", "sil"};

const char* const kGestureNames[11] = {
    "Raise Left Eyebrow",  "Raise Right Eyebrow", "Blink Left",       "Blink Right",
    "Head Bend",           "Head Side-Side",      "Head Twist",       "Left Eye Side-Side",
    "Right Eye Side-Side", "Left Eye Up-Down",    "Right Eye Up-Down"};

// Length of the well-formed UTF-8 sequence at s[i], or 0.
size_t Utf8Length(const std::string& s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else
        return 0;
    if (i + n > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return n;
}

// Appends `"name": [` style pieces without repeating the punctuation everywhere.
class TJson {
public:
    explicit TJson(std::string& out) : out(out) {}
    void Raw(const char* text) { out += text; }
    void Key(const char* name) {
        out += JsonString(name);
        out += ": ";
    }
    void Number(double value) { out += JsonNumber(value); }
    void Integer(int32_t value) { out += std::to_string(value); }
    void String(const std::string& text) { out += JsonString(text); }

private:
    std::string& out;
};

using NumKeysQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t*);
using KeyQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t, double*, double*, double*,
                              double*);

// Tracks with all their keys as a JSON array; gesture tracks also carry their channel name.
uint32_t AppendTracks(TJson& json, VOXTRAIL_ANALYSIS* analysis, int32_t tracks, bool named,
                      NumKeysQuery numKeys, KeyQuery getKey) {
    json.Raw("[");
    for (int32_t t = 0; t < tracks; ++t) {
        json.Raw(t ? ", {" : "{");
        json.Key("index");
        json.Integer(t);
        json.Raw(", ");
        if (named) {
            const char* name = GestureName(t);
            json.Key("name");
            json.String(name ? name : "");
            json.Raw(", ");
        }
        json.Key("keys");
        int32_t count = 0;
        if (uint32_t code = numKeys(analysis, t, &count)) return code;
        json.Raw("[");
        for (int32_t k = 0; k < count; ++k) {
            double time, value, inSlope, outSlope;
            if (uint32_t code = getKey(analysis, t, k, &time, &value, &inSlope, &outSlope))
                return code;
            json.Raw(k ? ", {" : "{");
            json.Key("time");
            json.Number(time);
            json.Raw(", ");
            json.Key("value");
            json.Number(value);
            json.Raw(", ");
            json.Key("inSlope");
            json.Number(inSlope);
            json.Raw(", ");
            json.Key("outSlope");
            json.Number(outSlope);
            json.Raw("}");
        }
        json.Raw("]}");
    }
    json.Raw("]");
    return VOXTRAIL_NOERR;
}

} // namespace

const char* PhonemeIdentityName(int32_t id) {
    return id >= 0 && id < 41 ? kIdentityNames[id] : nullptr;
}

const char* GestureName(int32_t index) {
    return index >= 0 && index < 11 ? kGestureNames[index] : nullptr;
}

std::string JsonString(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            }
            }
        } else if (c < 0x80) {
            out += char(c);
        } else if (size_t n = Utf8Length(text, i)) {
            out.append(text, i, n);
            i += n;
            continue;
        } else {
            out += "\\ufffd";
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

uint32_t FormatJson(VOXTRAIL_ANALYSIS* analysis, const std::string& soundPath,
                    int32_t framesPerSecond, std::string& out) {
    TJson json(out);
    int32_t phonemes = 0, words = 0, speechTargets = 0, gestures = 0;
    if (uint32_t code = VoxtrailGetNumPhonemes(analysis, &phonemes)) return code;
    if (uint32_t code = VoxtrailGetNumWords(analysis, &words)) return code;
    if (uint32_t code = VoxtrailGetNumSpeechTargets(analysis, &speechTargets)) return code;
    if (uint32_t code = VoxtrailGetNumGestures(analysis, &gestures)) return code;

    double duration = 0.0;
    if (phonemes > 0)
        if (uint32_t code = VoxtrailGetPhonemeEndTime(analysis, phonemes - 1, &duration))
            return code;

    json.Raw("{");
    json.Key("sound");
    json.Raw("{");
    json.Key("path");
    json.String(soundPath);
    json.Raw(", ");
    json.Key("durationSeconds");
    json.Number(duration);
    json.Raw("}, ");
    json.Key("framesPerSecond");
    json.Integer(framesPerSecond);
    json.Raw(", ");

    json.Key("phonemes");
    json.Raw("[");
    for (int32_t i = 0; i < phonemes; ++i) {
        int32_t id;
        double start, end;
        if (uint32_t code = VoxtrailGetPhonemeId(analysis, i, &id)) return code;
        if (uint32_t code = VoxtrailGetPhonemeStartTime(analysis, i, &start)) return code;
        if (uint32_t code = VoxtrailGetPhonemeEndTime(analysis, i, &end)) return code;
        const char* name = PhonemeIdentityName(id);
        json.Raw(i ? ", {" : "{");
        json.Key("id");
        json.Integer(id);
        json.Raw(", ");
        json.Key("name");
        json.String(name ? name : "");
        json.Raw(", ");
        json.Key("start");
        json.Number(start);
        json.Raw(", ");
        json.Key("end");
        json.Number(end);
        json.Raw("}");
    }
    json.Raw("], ");

    json.Key("words");
    json.Raw("[");
    for (int32_t i = 0; i < words; ++i) {
        char buffer[1024];
        double start, end;
        if (uint32_t code = VoxtrailGetWordText(analysis, i, sizeof buffer, buffer)) return code;
        if (uint32_t code = VoxtrailGetWordStartTime(analysis, i, &start)) return code;
        if (uint32_t code = VoxtrailGetWordEndTime(analysis, i, &end)) return code;
        json.Raw(i ? ", {" : "{");
        json.Key("text");
        json.String(buffer);
        json.Raw(", ");
        json.Key("start");
        json.Number(start);
        json.Raw(", ");
        json.Key("end");
        json.Number(end);
        json.Raw("}");
    }
    json.Raw("], ");

    json.Key("speechTargets");
    if (uint32_t code = AppendTracks(json, analysis, speechTargets, false,
                                     VoxtrailGetNumSpeechTargetKeys, VoxtrailGetSpeechTargetKey))
        return code;
    json.Raw(", ");
    json.Key("gestures");
    if (uint32_t code = AppendTracks(json, analysis, gestures, true, VoxtrailGetNumGestureKeys,
                                     VoxtrailGetGestureKey))
        return code;
    json.Raw("}\n");
    return VOXTRAIL_NOERR;
}

uint32_t FormatTsv(VOXTRAIL_ANALYSIS* analysis, std::string& out) {
    int32_t phonemes = 0;
    if (uint32_t code = VoxtrailGetNumPhonemes(analysis, &phonemes)) return code;
    for (int32_t i = 0; i < phonemes; ++i) {
        int32_t id;
        double start, end;
        if (uint32_t code = VoxtrailGetPhonemeId(analysis, i, &id)) return code;
        if (uint32_t code = VoxtrailGetPhonemeStartTime(analysis, i, &start)) return code;
        if (uint32_t code = VoxtrailGetPhonemeEndTime(analysis, i, &end)) return code;
        const char* name = PhonemeIdentityName(id);
        out += JsonNumber(start);
        out += '\t';
        out += JsonNumber(end);
        out += '\t';
        out += name ? name : "";
        out += '\n';
    }
    return VOXTRAIL_NOERR;
}

} // namespace Vantrix
