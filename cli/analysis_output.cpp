#include "analysis_output.h"

#include "curves.h"
#include "exports.h"
#include "phoneme_data.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace Vantrix {

namespace {

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

void AppendKeys(TJson& json, const std::vector<TResultKey>& keys) {
    json.Raw("[");
    for (size_t k = 0; k < keys.size(); ++k) {
        json.Raw(k ? ", {" : "{");
        json.Key("time");
        json.Number(keys[k].time);
        json.Raw(", ");
        json.Key("value");
        json.Number(keys[k].value);
        json.Raw(", ");
        json.Key("inSlope");
        json.Number(keys[k].inSlope);
        json.Raw(", ");
        json.Key("outSlope");
        json.Number(keys[k].outSlope);
        json.Raw("}");
    }
    json.Raw("]");
}

// Tracks with all their keys as a JSON array, with their names when they have one and their
// values at frames 0 .. frames - 1 of fps when frames is positive.
void AppendTracks(TJson& json, const std::vector<TResultTrack>& tracks, int32_t fps,
                  int32_t frames) {
    json.Raw("[");
    for (size_t t = 0; t < tracks.size(); ++t) {
        json.Raw(t ? ", {" : "{");
        json.Key("index");
        json.Integer(int32_t(t));
        json.Raw(", ");
        if (!tracks[t].name.empty()) {
            json.Key("name");
            json.String(tracks[t].name);
            json.Raw(", ");
        }
        json.Key("keys");
        AppendKeys(json, tracks[t].keys);
        if (frames > 0) {
            json.Raw(", ");
            json.Key("frames");
            json.Raw("[");
            const std::vector<double> values = SampleFrames(tracks[t].keys, fps, frames);
            for (size_t f = 0; f < values.size(); ++f) {
                if (f) json.Raw(", ");
                json.Number(values[f]);
            }
            json.Raw("]");
        }
        json.Raw("}");
    }
    json.Raw("]");
}

void AppendWords(TJson& json, const std::vector<TResultWord>& words) {
    json.Raw("[");
    for (size_t i = 0; i < words.size(); ++i) {
        json.Raw(i ? ", {" : "{");
        json.Key("text");
        json.String(words[i].text);
        json.Raw(", ");
        json.Key("start");
        json.Number(words[i].start);
        json.Raw(", ");
        json.Key("end");
        json.Number(words[i].end);
        json.Raw("}");
    }
    json.Raw("]");
}

} // namespace

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

void FormatJson(const TAnalysisResult& result, std::string& out) {
    FormatJson(result, false, out);
}

void FormatJson(const TAnalysisResult& result, bool frames, std::string& out) {
    const int32_t count = frames ? FrameCount(result.duration, result.framesPerSecond) : 0;
    TJson json(out);
    json.Raw("{");
    json.Key("sound");
    json.Raw("{");
    json.Key("path");
    json.String(result.soundPath);
    json.Raw(", ");
    json.Key("durationSeconds");
    json.Number(result.duration);
    json.Raw("}, ");
    json.Key("framesPerSecond");
    json.Integer(result.framesPerSecond);
    json.Raw(", ");
    if (!result.shapes.empty()) {
        json.Key("shapes");
        json.String(result.shapes);
        json.Raw(", ");
    }
    json.Key("wordSource");
    json.String(result.wordSource);
    json.Raw(", ");
    if (result.wordSource != "transcript" && result.wordSource != "none") {
        json.Key("recognizedWords");
        AppendWords(json, result.recognizedWords);
        json.Raw(", ");
    }

    json.Key("phonemes");
    json.Raw("[");
    for (size_t i = 0; i < result.phonemes.size(); ++i) {
        const TResultSegment& segment = result.phonemes[i];
        const char* name = PhonemeIdentityName(segment.id);
        json.Raw(i ? ", {" : "{");
        json.Key("id");
        json.Integer(segment.id);
        json.Raw(", ");
        json.Key("name");
        json.String(name ? name : "");
        json.Raw(", ");
        json.Key("start");
        json.Number(segment.start);
        json.Raw(", ");
        json.Key("end");
        json.Number(segment.end);
        json.Raw("}");
    }
    json.Raw("], ");

    json.Key("words");
    AppendWords(json, result.words);
    json.Raw(", ");
    json.Key("speechTargets");
    AppendTracks(json, result.speechTargets, result.framesPerSecond, count);
    json.Raw(", ");
    json.Key("gestures");
    AppendTracks(json, result.gestures, result.framesPerSecond, count);
    json.Raw("}\n");
}

void FormatTsv(const TAnalysisResult& result, std::string& out) {
    for (const TResultSegment& segment : result.phonemes) {
        const char* name = PhonemeIdentityName(segment.id);
        out += JsonNumber(segment.start);
        out += '\t';
        out += JsonNumber(segment.end);
        out += '\t';
        out += name ? name : "";
        out += '\n';
    }
}

std::string Render(const TAnalysisResult& result, const TOptions& options) {
    std::string out;
    if (options.format == "tsv")
        FormatTsv(result, out);
    else if (options.format == "phonemedata")
        out = FormatPhonemeData(result);
    else if (options.format == "moho")
        FormatMoho(result, out);
    else if (options.format == "shapes-tsv")
        FormatShapesTsv(result, out);
    else if (options.format == "shapes-json")
        FormatShapesJson(result, out);
    else if (options.format == "textgrid")
        FormatTextGrid(result, out);
    else
        FormatJson(result, options.frames, out);
    return out;
}

std::string FormatPhonemeData(const TAnalysisResult& result) {
    // The plug-in's file, written from a result: the same bytes as the handle's rendering.
    constexpr size_t kWordTextLimit = 255;
    std::string out = "PHONEME DATA:\r\n";
    for (const TResultSegment& segment : result.phonemes) {
        out += segment.id >= 0 && segment.id < kPhonemeDataNameCount ? kPhonemeDataNames[segment.id]
                                                                     : "";
        out += '\t' + FormatStreamDouble(segment.start) + '\t' + FormatStreamDouble(segment.end);
        out += "\r\n";
    }
    out += "\r\nWORD DATA:\r\n";
    for (const TResultWord& word : result.words) {
        out += word.text.substr(0, kWordTextLimit);
        out += '\t' + FormatStreamDouble(word.start) + '\t' + FormatStreamDouble(word.end);
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

} // namespace Vantrix
