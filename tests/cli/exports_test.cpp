// The tool's mouth-shape sets, frames, exports and picture, run as a separate process: every
// export is parsed back and checked against the frames of the JSON or its words and phonemes.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <png.h>

#include "cli_support.h"

using nlohmann::json;

namespace {

// The "; Name:" comment of a shipped set.
std::string SetComment(const std::string& set, const std::string& name) {
    const fs::path file = fs::path(VX_MOUTH_SHAPES) / (set + ".ini");
    for (const std::string& line : Lines(Slurp(file)))
        if (line.rfind("; " + name + ": ", 0) == 0) return line.substr(name.size() + 4);
    return "";
}

class Exports : public ToolTest {
protected:
    json AnalyzeJson(std::vector<std::string> extra) {
        const Outcome o = Analyze(extra);
        EXPECT_EQ(o.status, 0) << o.err;
        return json::parse(o.out);
    }
};

// The shape of every frame as the --frames values give it: the highest speech target, the
// set's rest shape where all are below 0.01.
std::vector<std::string> ShapesFromFrames(const json& result, const std::string& rest) {
    const json& tracks = result["speechTargets"];
    std::vector<std::string> shapes;
    for (size_t f = 0; f < tracks[0]["frames"].size(); ++f) {
        size_t best = 0;
        for (size_t t = 1; t < tracks.size(); ++t)
            if (tracks[t]["frames"][f].get<double>() > tracks[best]["frames"][f].get<double>())
                best = t;
        shapes.push_back(tracks[best]["frames"][f].get<double>() < 0.01
                             ? rest
                             : tracks[best]["name"].get<std::string>());
    }
    return shapes;
}

// The shape of every frame from one of the shape formats: changes (first frame, shape) spelled
// out over count frames; empty when they do not start at frame 0, go back or repeat a shape.
std::vector<std::string> FramesOf(const std::string& format, const std::string& text, int fps,
                                  size_t count, double duration) {
    std::vector<std::pair<long, std::string>> changes;
    const auto add = [&](double frame, const std::string& shape) {
        EXPECT_NEAR(frame, std::round(frame), 1e-6) << shape;
        changes.push_back({std::lround(frame), shape});
    };
    if (format == "shapes-json") {
        const json cues = json::parse(text)["mouthCues"];
        for (size_t i = 0; i < cues.size(); ++i) {
            const double start = cues[i]["start"], end = cues[i]["end"];
            // Each cue ends where the next starts, the last with the sound.
            EXPECT_EQ(end, i + 1 < cues.size() ? cues[i + 1]["start"].get<double>()
                                               : std::max(duration, start + 1.0 / fps));
            add(start * fps, cues[i]["value"]);
        }
    } else {
        std::istringstream in(text);
        std::string line;
        if (format == "moho") {
            std::getline(in, line);
            EXPECT_EQ(line, "MohoSwitch1");
        }
        while (std::getline(in, line)) {
            const size_t split = line.find(format == "moho" ? ' ' : '\t');
            if (split == std::string::npos) return {};
            // Moho counts frames from 1; shapes-tsv gives seconds on the frame grid.
            const double at = std::stod(line.substr(0, split));
            add(format == "moho" ? at - 1 : at * fps, line.substr(split + 1));
        }
    }
    std::vector<std::string> frames;
    for (size_t i = 0; i < changes.size(); ++i) {
        const size_t until = i + 1 < changes.size() ? size_t(changes[i + 1].first) : count;
        if (long(frames.size()) != changes[i].first || until <= frames.size()) return {};
        if (i && changes[i].second == changes[i - 1].second) return {};
        frames.resize(until, changes[i].second);
    }
    return frames;
}

struct TextGridTier {
    std::string name;
    std::vector<std::tuple<double, double, std::string>> intervals;
};

// Praat's long text format read as "key = value" lines, as far as interval tiers go.
std::vector<TextGridTier> ParseTextGrid(const std::string& text, double& xmax) {
    EXPECT_EQ(text.rfind("File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n", 0), 0u);
    std::vector<TextGridTier> tiers;
    double from = NAN, to = NAN;
    for (const std::string& line : Lines(text)) {
        const size_t eq = line.find(" = "), begin = line.find_first_not_of(' ');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(begin, eq - begin);
        std::string value = line.substr(eq + 3);
        // No label here holds a quote, so none is doubled.
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        if (key == "class")
            tiers.emplace_back();
        else if (key == "name" && !tiers.empty())
            tiers.back().name = value;
        else if (key == "xmin")
            from = std::stod(value);
        else if (key == "xmax")
            (tiers.empty() ? xmax : to) = std::stod(value);
        else if (key == "text" && !tiers.empty())
            tiers.back().intervals.emplace_back(from, to, value);
    }
    return tiers;
}

// The pixels of a PNG over a white page, as RGB triples; empty when it cannot be read.
std::vector<uint32_t> ReadPng(const fs::path& file, uint32_t& width) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    const png_color white = {255, 255, 255};
    if (!png_image_finish_read(&image, &white, rgb.data(), 0, nullptr)) return {};
    width = image.width;
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        pixels.push_back(uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
    return pixels;
}

} // namespace

TEST_F(Exports, ShapeFormatsGiveTheHighestTargetOfEveryFrame) {
    struct Case {
        const char* set;
        const char* format;
        const char* fps;
    };
    for (const Case& c :
         {Case{"cartoon", "moho", "24"}, Case{"a-h-x", "shapes-tsv", "30"},
          Case{"visemes", "shapes-json", "60"}, Case{"blendshapes", "moho", "25"}}) {
        SCOPED_TRACE(std::string(c.set) + " " + c.format);
        const json result = AnalyzeJson({"--shapes", c.set, "--frames", "--fps", c.fps});
        EXPECT_EQ(result["shapes"], c.set);
        // The names the tracks carry are the set's, in its order.
        std::string names;
        for (const json& track : result["speechTargets"])
            names += (names.empty() ? "" : ", ") + track["name"].get<std::string>();
        EXPECT_EQ(names, SetComment(c.set, "Shapes"));

        const std::string rest = SetComment(c.set, "Rest");
        const std::vector<std::string> expected = ShapesFromFrames(result, rest);
        const Outcome o = Analyze({"--shapes", c.set, "--format", c.format, "--fps", c.fps});
        ASSERT_EQ(o.status, 0) << o.err;
        const int fps = std::stoi(c.fps);
        EXPECT_EQ(
            FramesOf(c.format, o.out, fps, expected.size(), result["sound"]["durationSeconds"]),
            expected)
            << o.out.substr(0, 400);

        // The sound ends in a pause long enough for the mouth to come to rest.
        const json& last = result["phonemes"].back();
        ASSERT_EQ(last["name"], "sil");
        ASSERT_GT(last["end"].get<double>() - last["start"].get<double>(), 0.3);
        EXPECT_EQ(expected[size_t(std::floor((last["end"].get<double>() - 0.05) * fps))], rest);
    }
}

TEST_F(Exports, FramesHoldTheKeyValuesAndFollowTheKeySlopes) {
    // At 1000 frames per second every key (whole milliseconds) falls on a frame.
    const json result = AnalyzeJson({"--frames", "--fps", "1000"});
    const double duration = result["sound"]["durationSeconds"];
    const size_t count = size_t(std::ceil(duration * 1000 - 1e-9)) + 1;
    size_t keysChecked = 0;
    for (const char* kind : {"speechTargets", "gestures"}) {
        for (const json& track : result[kind]) {
            SCOPED_TRACE(std::string(kind) + " " + track["index"].dump());
            const json& frames = track["frames"];
            ASSERT_EQ(frames.size(), count);
            const json& keys = track["keys"];
            if (keys.empty()) continue;
            const long first = std::lround(keys.front()["time"].get<double>() * 1000);
            const long last = std::lround(keys.back()["time"].get<double>() * 1000);
            for (long f = 0; f < long(count); ++f)
                ASSERT_TRUE((f >= first && f <= last) || frames[size_t(f)] == 0.0) << f;
            for (size_t k = 0; k < keys.size(); ++k) {
                const long f = std::lround(keys[k]["time"].get<double>() * 1000);
                if (f < 0 || f >= long(count)) continue;
                EXPECT_NEAR(frames[size_t(f)].get<double>(), keys[k]["value"].get<double>(), 1e-12);
                ++keysChecked;
                // Two milliseconds either side the curve leaves along the key's slopes (per
                // millisecond): a difference exact up to the cubic term, which a gap of
                // 16 ms or more keeps below the tolerance.
                const auto at = [&](long g) { return frames[size_t(g)].get<double>(); };
                const auto gap = [&](size_t a, size_t b) {
                    return std::lround(
                        (keys[b]["time"].get<double>() - keys[a]["time"].get<double>()) * 1000);
                };
                if (k + 1 < keys.size() && f + 2 < long(count) && gap(k, k + 1) >= 16) {
                    EXPECT_NEAR((-3 * at(f) + 4 * at(f + 1) - at(f + 2)) / 2,
                                keys[k]["outSlope"].get<double>(), 2e-4)
                        << "after key " << k;
                }
                if (k > 0 && f >= 2 && gap(k - 1, k) >= 16) {
                    EXPECT_NEAR((3 * at(f) - 4 * at(f - 1) + at(f - 2)) / 2,
                                keys[k]["inSlope"].get<double>(), 2e-4)
                        << "before key " << k;
                }
            }
        }
    }
    EXPECT_GT(keysChecked, 50u);

    // Frames are counted the same at other rates.
    const json at30 = AnalyzeJson({"--frames"});
    EXPECT_EQ(at30["gestures"][0]["frames"].size(), size_t(std::ceil(duration * 30 - 1e-9)) + 1);
}

TEST_F(Exports, TextGridTiersCoverTheSoundWithTheWordsAndPhones) {
    const json result = AnalyzeJson({});
    const Outcome o = Analyze({"--format", "textgrid"});
    ASSERT_EQ(o.status, 0) << o.err;
    double xmax = 0;
    const std::vector<TextGridTier> tiers = ParseTextGrid(o.out, xmax);
    const double duration = result["sound"]["durationSeconds"];
    EXPECT_EQ(xmax, duration);
    ASSERT_EQ(tiers.size(), 2u);

    // Non-empty intervals in order, with their times, against the JSON's words and phonemes
    // (silence is an empty interval).
    std::vector<std::tuple<double, double, std::string>> words, phones;
    for (const json& w : result["words"])
        words.emplace_back(w["start"], w["end"], w["text"]);
    for (const json& p : result["phonemes"])
        if (p["name"] != "sil") phones.emplace_back(p["start"], p["end"], p["name"]);
    ASSERT_FALSE(words.empty());
    for (size_t t = 0; t < 2; ++t) {
        EXPECT_EQ(tiers[t].name, t == 0 ? "words" : "phones");
        const auto& intervals = tiers[t].intervals;
        ASSERT_FALSE(intervals.empty());
        EXPECT_EQ(std::get<0>(intervals.front()), 0.0);
        EXPECT_EQ(std::get<1>(intervals.back()), duration);
        std::vector<std::tuple<double, double, std::string>> labelled;
        for (size_t i = 0; i < intervals.size(); ++i) {
            EXPECT_LT(std::get<0>(intervals[i]), std::get<1>(intervals[i])) << i;
            if (i) {
                EXPECT_EQ(std::get<1>(intervals[i - 1]), std::get<0>(intervals[i])) << i;
            }
            if (!std::get<2>(intervals[i]).empty()) labelled.push_back(intervals[i]);
        }
        EXPECT_EQ(labelled, t == 0 ? words : phones);
    }
}

TEST_F(Exports, PlotDrawsTheLanesAndCurvesOnAPicture) {
    const fs::path svg = dir / "plot.svg";
    const Outcome o = Analyze({"--shapes", "cartoon", "--gestures", "-o", svg.string()}, "plot");
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string text = Slurp(svg);
    // The waveform and one curve per speech target and gesture.
    EXPECT_EQ(Occurrences(text, "<path "), 1u + 10u + 11u);
    for (const char* label : {">HELLO<", ">WORLD<", ">MBP<", ">rest<", ">Blink Left<"})
        EXPECT_NE(text.find(label), std::string::npos) << label;

    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed";
    const fs::path png = dir / "plot.png";
    ASSERT_EQ(
        std::system(("rsvg-convert -o " + Quote(png.string()) + " " + Quote(svg.string())).c_str()),
        0);
    uint32_t width = 0;
    const std::vector<uint32_t> pixels = ReadPng(png, width);
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(width, 1600u);
    size_t inked = 0;
    std::vector<uint32_t> colours;
    for (uint32_t p : pixels) {
        if (p == 0xffffffu) continue;
        ++inked;
        if (colours.size() < 64 && std::find(colours.begin(), colours.end(), p) == colours.end())
            colours.push_back(p);
    }
    // Lanes, panels and curves cover a good part of the page, in many colours.
    EXPECT_GT(double(inked) / double(pixels.size()), 0.2);
    EXPECT_GE(colours.size(), 20u);
}

TEST_F(Exports, ShapeAndFrameOptionsThatCannotWorkAreUsageErrors) {
    const fs::path wrong = dir / "wrong.ini";
    std::ofstream(wrong) << "; Shapes: open, closed\n[PhonemeToSpeechTargetMapping]\n"
                            "NumSpeechTargets=3\n";
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    for (const Case& c : {
             Case{{"--shapes", "nope"},
                  "unknown mouth-shape set 'nope' (the sets: a-h-x, "
                  "blendshapes, cartoon, visemes)"},
             Case{{"--shapes", "../mouth-shapes/cartoon"}, "unknown mouth-shape set"},
             Case{{"--format", "moho"}, "--format moho needs shape names"},
             Case{{"--frames", "--format", "tsv"}, "--frames adds to the json format, not to tsv"},
             Case{{"--format", "shapes-json", "--config", wrong.string()},
                  "names 2 shapes in its '; Shapes:' line for 3 NumSpeechTargets"},
         }) {
        const Outcome o = Analyze(c.args);
        EXPECT_EQ(o.status, 2) << c.args[0];
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "");
    }
}
