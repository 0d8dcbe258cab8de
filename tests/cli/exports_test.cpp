// The tool's mouth-shape sets, frames, exports and picture, run as a separate process: every
// export is parsed back and checked against the frames of the JSON or its words and phonemes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <zlib.h>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The "; Name:" comment of a shipped set.
std::string SetComment(const std::string& set, const std::string& name) {
    const fs::path file = fs::path(VX_MOUTH_SHAPES) / (set + ".ini");
    for (const std::string& line : Lines(Slurp(file)))
        if (line.rfind("; " + name + ": ", 0) == 0) return line.substr(name.size() + 4);
    return "";
}

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vx_exports_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::copy_file(fs::path(VX_EVALUATION_SOUNDS) / "hello_world.wav", dir / "hello.wav");
        fs::copy_file(fs::path(VX_EVALUATION_SOUNDS) / "hello_world.txt", dir / "hello.txt");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    Outcome Run(const std::vector<std::string>& args) {
        std::string command = Quote(VX_CLI);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        const fs::path out = dir / "stdout", err = dir / "stderr";
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
        const int raw = std::system(command.c_str());
        Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
        fs::remove(out);
        fs::remove(err);
        return o;
    }
    Outcome Analyze(std::vector<std::string> extra, const char* command = "analyze") {
        // The shipped networks: the closing pause of the sound must be found as one.
        std::vector<std::string> args = {
            command, (dir / "hello.wav").string(), "--data", VX_SHIPPED_DATA, "--seed", "8"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }
    json AnalyzeJson(std::vector<std::string> extra) {
        const Outcome o = Analyze(extra);
        EXPECT_EQ(o.status, 0) << o.err;
        return json::parse(o.out);
    }

    fs::path dir;
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

// Changes (first frame, shape) spelled out over count frames; empty when they are not in
// ascending frame order from 0 or repeat a shape.
std::vector<std::string> Expand(const std::vector<std::pair<long, std::string>>& changes,
                                size_t count) {
    std::vector<std::string> frames;
    for (size_t i = 0; i < changes.size(); ++i) {
        if (long(frames.size()) != changes[i].first) return {};
        if (i && changes[i].second == changes[i - 1].second) return {};
        const size_t until = i + 1 < changes.size() ? size_t(changes[i + 1].first) : count;
        if (until <= frames.size()) return {};
        frames.resize(until, changes[i].second);
    }
    return frames;
}

// A frame number from seconds that must lie on the frame grid.
long FrameAt(double seconds, int fps) {
    const double frame = seconds * fps;
    EXPECT_NEAR(frame, std::round(frame), 1e-6) << seconds;
    return long(std::round(frame));
}

std::vector<std::pair<long, std::string>> ParseMoho(const std::string& text) {
    std::vector<std::string> lines = Lines(text);
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) return {};
    EXPECT_EQ(lines[0], "MohoSwitch1");
    std::vector<std::pair<long, std::string>> changes;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t space = lines[i].find(' ');
        EXPECT_NE(space, std::string::npos) << lines[i];
        if (space == std::string::npos) return {};
        // Moho counts frames from 1.
        changes.push_back({std::stol(lines[i].substr(0, space)) - 1, lines[i].substr(space + 1)});
    }
    return changes;
}

std::vector<std::pair<long, std::string>> ParseShapesTsv(const std::string& text, int fps) {
    std::vector<std::pair<long, std::string>> changes;
    for (const std::string& line : Lines(text)) {
        const size_t tab = line.find('\t');
        EXPECT_NE(tab, std::string::npos) << line;
        if (tab == std::string::npos) return {};
        changes.push_back({FrameAt(std::stod(line.substr(0, tab)), fps), line.substr(tab + 1)});
    }
    return changes;
}

std::vector<std::pair<long, std::string>> ParseShapesJson(const std::string& text, int fps,
                                                          double duration) {
    const json cues = json::parse(text)["mouthCues"];
    std::vector<std::pair<long, std::string>> changes;
    for (size_t i = 0; i < cues.size(); ++i) {
        changes.push_back({FrameAt(cues[i]["start"], fps), cues[i]["value"].get<std::string>()});
        const double end = cues[i]["end"];
        if (i + 1 < cues.size())
            EXPECT_EQ(end, cues[i + 1]["start"].get<double>()) << "cue " << i;
        else
            EXPECT_EQ(end, std::max(duration, cues[i]["start"].get<double>() + 1.0 / fps));
    }
    return changes;
}

struct TextGridTier {
    std::string name;
    std::vector<std::tuple<double, double, std::string>> intervals;
};

// Praat's long text format, as far as interval tiers go; "" marks what did not parse.
double TextGridNumber(const std::string& line, const std::string& key) {
    const size_t at = line.find(key + " = ");
    if (at == std::string::npos) return NAN;
    return std::stod(line.substr(at + key.size() + 3));
}

std::string TextGridString(const std::string& line) {
    const size_t open = line.find('"');
    const size_t close = line.rfind('"');
    if (open == std::string::npos || close <= open) return "\x01";
    std::string text;
    for (size_t i = open + 1; i < close; ++i) {
        text += line[i];
        if (line[i] == '"') ++i; // a doubled quote is one quote
    }
    return text;
}

std::vector<TextGridTier> ParseTextGrid(const std::string& text, double& xmax) {
    const std::vector<std::string> lines = Lines(text);
    EXPECT_GE(lines.size(), 8u);
    if (lines.size() < 8) return {};
    EXPECT_EQ(lines[0], "File type = \"ooTextFile\"");
    EXPECT_EQ(lines[1], "Object class = \"TextGrid\"");
    EXPECT_EQ(TextGridNumber(lines[3], "xmin"), 0.0);
    xmax = TextGridNumber(lines[4], "xmax");
    std::vector<TextGridTier> tiers;
    for (size_t i = 5; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.find("class = \"IntervalTier\"") != std::string::npos) {
            tiers.emplace_back();
        } else if (line.find("name = ") != std::string::npos && !tiers.empty()) {
            tiers.back().name = TextGridString(line);
        } else if (line.find("intervals [") != std::string::npos && i + 3 < lines.size()) {
            tiers.back().intervals.emplace_back(TextGridNumber(lines[i + 1], "xmin"),
                                                TextGridNumber(lines[i + 2], "xmax"),
                                                TextGridString(lines[i + 3]));
            i += 3;
        }
    }
    return tiers;
}

// The pixels of an 8-bit RGB or RGBA PNG as RGB triples; empty when it cannot be read.
std::vector<uint32_t> DecodePng(const std::string& png, uint32_t& width) {
    const auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
               uint32_t(uint8_t(png[at + 2])) << 8 | uint32_t(uint8_t(png[at + 3]));
    };
    if (png.size() < 33 || png.compare(1, 3, "PNG") != 0) return {};
    width = u32(16);
    const uint32_t height = u32(20);
    const int depth = png[24], colour = png[25], interlace = png[28];
    if (depth != 8 || (colour != 2 && colour != 6) || interlace != 0) return {};
    const size_t channels = colour == 6 ? 4 : 3;
    std::string packed;
    for (size_t at = 8; at + 8 <= png.size();) {
        const uint32_t length = u32(at);
        if (png.compare(at + 4, 4, "IDAT") == 0) packed += png.substr(at + 8, length);
        at += 12 + size_t(length);
    }
    const size_t stride = width * channels;
    std::vector<uint8_t> raw((stride + 1) * height);
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(packed.data()),
                   packed.size()) != Z_OK ||
        size != raw.size())
        return {};
    std::vector<uint8_t> image(stride * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* in = &raw[y * (stride + 1) + 1];
        uint8_t* row = &image[y * stride];
        const uint8_t* above = y ? &image[(y - 1) * stride] : nullptr;
        for (size_t x = 0; x < stride; ++x) {
            const int a = x >= channels ? row[x - channels] : 0;
            const int b = above ? above[x] : 0;
            const int c = above && x >= channels ? above[x - channels] : 0;
            int predictor = 0;
            if (filter == 1) predictor = a;
            if (filter == 2) predictor = b;
            if (filter == 3) predictor = (a + b) / 2;
            if (filter == 4) {
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                          pc = std::abs(p - c);
                predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            row[x] = uint8_t(in[x] + predictor);
        }
    }
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i < image.size(); i += channels) {
        // Transparent pixels show the white page.
        const bool clear = channels == 4 && image[i + 3] == 0;
        pixels.push_back(clear ? 0xffffffu
                               : uint32_t(image[i]) << 16 | uint32_t(image[i + 1]) << 8 |
                                     image[i + 2]);
    }
    return pixels;
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
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
        const std::string format = c.format;
        const auto changes = format == "moho" ? ParseMoho(o.out)
                             : format == "shapes-tsv"
                                 ? ParseShapesTsv(o.out, fps)
                                 : ParseShapesJson(o.out, fps, result["sound"]["durationSeconds"]);
        EXPECT_EQ(Expand(changes, expected.size()), expected) << o.out.substr(0, 400);

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
            for (long f = 0; f < long(count); ++f) {
                if (f < first || f > last) {
                    ASSERT_EQ(frames[size_t(f)].get<double>(), 0.0) << f;
                }
            }
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

    // Frames are counted the same at other rates, and only JSON carries them.
    const json at30 = AnalyzeJson({"--frames"});
    EXPECT_EQ(at30["gestures"][0]["frames"].size(), size_t(std::ceil(duration * 30 - 1e-9)) + 1);
    EXPECT_EQ(Analyze({"--frames", "--format", "tsv"}).status, 2);
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
    EXPECT_EQ(tiers[0].name, "words");
    EXPECT_EQ(tiers[1].name, "phones");

    // Non-empty intervals in order, with their times, against the JSON's words and phonemes
    // (silence is an empty interval).
    std::vector<std::tuple<double, double, std::string>> words, phones;
    for (const json& w : result["words"])
        words.emplace_back(w["start"], w["end"], w["text"]);
    for (const json& p : result["phonemes"])
        if (p["name"] != "sil") phones.emplace_back(p["start"], p["end"], p["name"]);
    ASSERT_FALSE(words.empty());
    for (size_t t = 0; t < 2; ++t) {
        SCOPED_TRACE(tiers[t].name);
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
    EXPECT_EQ(Count(text, "<path "), 1u + 10u + 11u);
    for (const char* label : {">HELLO<", ">WORLD<", ">MBP<", ">rest<", ">Blink Left<"})
        EXPECT_NE(text.find(label), std::string::npos) << label;

    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed";
    const fs::path png = dir / "plot.png";
    ASSERT_EQ(
        std::system(("rsvg-convert -o " + Quote(png.string()) + " " + Quote(svg.string())).c_str()),
        0);
    uint32_t width = 0;
    const std::vector<uint32_t> pixels = DecodePng(Slurp(png), width);
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

TEST_F(Exports, ShapeOptionsThatCannotWorkAreUsageErrors) {
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
             Case{{"--format", "shapes-json", "--config", wrong.string()},
                  "names 2 shapes in its '; Shapes:' line for 3 NumSpeechTargets"},
         }) {
        const Outcome o = Analyze(c.args);
        EXPECT_EQ(o.status, 2) << c.args[0];
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "");
    }
}
