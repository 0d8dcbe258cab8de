#include "exports.h"

#include <algorithm>

#include "analysis_output.h"
#include "curves.h"

namespace Vantrix {

namespace {

// Targets below this everywhere leave the mouth at rest: curves ease out to values that no
// viewer would tell from 0.
constexpr double kAtRest = 0.01;

double FrameSeconds(int32_t frame, int32_t fps) {
    return double(frame) / fps;
}

struct TInterval {
    double start;
    double end;
    std::string text;
};

// Intervals covering [0, end] without gaps: the pieces in time order, clipped to what is still
// free, with empty ones between.
std::vector<TInterval> Contiguous(std::vector<TInterval> pieces, double end) {
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const TInterval& a, const TInterval& b) { return a.start < b.start; });
    std::vector<TInterval> out;
    double at = 0.0;
    for (const TInterval& piece : pieces) {
        const double start = std::max(piece.start, at);
        const double stop = std::min(piece.end, end);
        if (!(stop > start)) continue;
        if (start > at) out.push_back({at, start, ""});
        // Neighbouring silences read as one gap.
        if (piece.text.empty() && !out.empty() && out.back().text.empty())
            out.back().end = stop;
        else
            out.push_back({start, stop, piece.text});
        at = stop;
    }
    if (at < end || out.empty()) out.push_back({at, end, ""});
    return out;
}

std::string PraatString(const std::string& text) {
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void AppendTier(std::string& out, int32_t number, const char* name,
                const std::vector<TInterval>& intervals, double end) {
    const std::string item = "    item [" + std::to_string(number) + "]:\n";
    out += item;
    out += "        class = \"IntervalTier\"\n";
    out += "        name = " + PraatString(name) + "\n";
    out += "        xmin = 0\n";
    out += "        xmax = " + JsonNumber(end) + "\n";
    out += "        intervals: size = " + std::to_string(intervals.size()) + "\n";
    for (size_t i = 0; i < intervals.size(); ++i) {
        out += "        intervals [" + std::to_string(i + 1) + "]:\n";
        out += "            xmin = " + JsonNumber(intervals[i].start) + "\n";
        out += "            xmax = " + JsonNumber(intervals[i].end) + "\n";
        out += "            text = " + PraatString(intervals[i].text) + "\n";
    }
}

} // namespace

std::vector<TShapeChange> ShapeChanges(const TAnalysisResult& result) {
    const int32_t fps = result.framesPerSecond;
    const int32_t count = FrameCount(result.duration, fps);
    std::vector<std::vector<double>> values;
    for (const TResultTrack& track : result.speechTargets)
        values.push_back(SampleFrames(track.keys, fps, count));
    std::vector<TShapeChange> changes;
    for (int32_t f = 0; f < count; ++f) {
        // The first of equal values wins: a set lists its shapes in order of preference.
        size_t best = values.size();
        for (size_t t = 0; t < values.size(); ++t)
            if (best == values.size() || values[t][size_t(f)] > values[best][size_t(f)]) best = t;
        std::string shape = result.restShape.empty() ? "rest" : result.restShape;
        if (best < values.size() && values[best][size_t(f)] >= kAtRest) {
            shape = result.speechTargets[best].name;
            if (shape.empty()) shape = std::to_string(best);
        }
        if (changes.empty() || changes.back().shape != shape) changes.push_back({f, shape});
    }
    return changes;
}

void FormatMoho(const TAnalysisResult& result, std::string& out) {
    out += "MohoSwitch1\n";
    for (const TShapeChange& change : ShapeChanges(result))
        out += std::to_string(change.frame + 1) + " " + change.shape + "\n";
}

void FormatShapesTsv(const TAnalysisResult& result, std::string& out) {
    for (const TShapeChange& change : ShapeChanges(result))
        out += JsonNumber(FrameSeconds(change.frame, result.framesPerSecond)) + "\t" +
               change.shape + "\n";
}

void FormatShapesJson(const TAnalysisResult& result, std::string& out) {
    const int32_t fps = result.framesPerSecond;
    const std::vector<TShapeChange> changes = ShapeChanges(result);
    nlohmann::ordered_json cues = nlohmann::ordered_json::array();
    for (size_t i = 0; i < changes.size(); ++i) {
        const double start = FrameSeconds(changes[i].frame, fps);
        // The last cue lasts to the end of the sound, and at least its one frame.
        const double end = i + 1 < changes.size() ? FrameSeconds(changes[i + 1].frame, fps)
                                                  : std::max(result.duration, start + 1.0 / fps);
        cues.push_back({{"start", start}, {"end", end}, {"value", changes[i].shape}});
    }
    const nlohmann::ordered_json json = {{"metadata",
                                          {{"soundFile", result.soundPath},
                                           {"duration", result.duration},
                                           {"shapes", result.shapes},
                                           {"framesPerSecond", fps}}},
                                         {"mouthCues", std::move(cues)}};
    out += JsonText(json);
}

void FormatTextGrid(const TAnalysisResult& result, std::string& out) {
    const double end = result.duration;
    std::vector<TInterval> words, phones;
    for (const TResultWord& word : result.words)
        words.push_back({word.start, word.end, word.text});
    for (const TResultSegment& segment : result.phonemes) {
        const char* name = PhonemeIdentityName(segment.id);
        // Silence is an empty interval, as aligners write it.
        phones.push_back({segment.start, segment.end,
                          segment.id == 40 || !name ? std::string() : std::string(name)});
    }
    out += "File type = \"ooTextFile\"\n";
    out += "Object class = \"TextGrid\"\n\n";
    out += "xmin = 0\n";
    out += "xmax = " + JsonNumber(end) + "\n";
    out += "tiers? <exists>\n";
    out += "size = 2\n";
    out += "item []:\n";
    AppendTier(out, 1, "words", Contiguous(words, end), end);
    AppendTier(out, 2, "phones", Contiguous(phones, end), end);
}

} // namespace Vantrix
