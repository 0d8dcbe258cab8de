#include "analysis_output.h"

#include "curves.h"
#include "exports.h"
#include "phoneme_data.h"

#include <charconv>
#include <cmath>

namespace Vantrix {

namespace {

using TJson = nlohmann::ordered_json;

TJson KeysJson(const std::vector<TResultKey>& keys) {
    TJson out = TJson::array();
    for (const TResultKey& key : keys)
        out.push_back({{"time", key.time},
                       {"value", key.value},
                       {"inSlope", key.inSlope},
                       {"outSlope", key.outSlope}});
    return out;
}

// Tracks with all their keys, with their names when they have one and their values at frames
// 0 .. frames - 1 of fps when frames is positive.
TJson TracksJson(const std::vector<TResultTrack>& tracks, int32_t fps, int32_t frames) {
    TJson out = TJson::array();
    for (size_t t = 0; t < tracks.size(); ++t) {
        TJson track = {{"index", t}};
        if (!tracks[t].name.empty()) track["name"] = tracks[t].name;
        track["keys"] = KeysJson(tracks[t].keys);
        if (frames > 0) track["frames"] = SampleFrames(tracks[t].keys, fps, frames);
        out.push_back(std::move(track));
    }
    return out;
}

TJson WordsJson(const std::vector<TResultWord>& words) {
    TJson out = TJson::array();
    for (const TResultWord& word : words)
        out.push_back({{"text", word.text}, {"start", word.start}, {"end", word.end}});
    return out;
}

} // namespace

std::string JsonText(const nlohmann::ordered_json& json) {
    // Bytes that are not UTF-8 (a sound path from an old file system, say) become U+FFFD
    // rather than an exception; NaN and infinities are written as null.
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

void FormatJson(const TAnalysisResult& result, bool frames, std::string& out) {
    const int32_t count = frames ? FrameCount(result.duration, result.framesPerSecond) : 0;
    TJson json = {{"sound", {{"path", result.soundPath}, {"durationSeconds", result.duration}}},
                  {"framesPerSecond", result.framesPerSecond}};
    if (!result.shapes.empty()) json["shapes"] = result.shapes;
    json["wordSource"] = result.wordSource;
    if (result.wordSource != "transcript" && result.wordSource != "none")
        json["recognizedWords"] = WordsJson(result.recognizedWords);
    TJson phonemes = TJson::array();
    for (const TResultSegment& segment : result.phonemes) {
        const char* name = PhonemeIdentityName(segment.id);
        phonemes.push_back({{"id", segment.id},
                            {"name", name ? name : ""},
                            {"start", segment.start},
                            {"end", segment.end}});
    }
    json["phonemes"] = std::move(phonemes);
    json["words"] = WordsJson(result.words);
    json["speechTargets"] = TracksJson(result.speechTargets, result.framesPerSecond, count);
    json["gestures"] = TracksJson(result.gestures, result.framesPerSecond, count);
    out += JsonText(json);
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
