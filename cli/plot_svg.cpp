#include "plot_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sndfile.h>
#include <vector>

#include "curves.h"

namespace Vantrix {

namespace {

constexpr int kWidth = 1600;
constexpr int kLeft = 120; // lane titles sit in the margin
constexpr int kRight = 24;
constexpr int kPlotWidth = kWidth - kLeft - kRight;
constexpr int kLegendEntryWidth = 160;
constexpr int kLegendRowHeight = 20;

// Distinct on white and from each other, in the order tracks take them.
const char* const kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                "#8c564b", "#e377c2", "#17becf", "#bcbd22", "#7f7f7f",
                                "#393b79", "#ad494a", "#637939", "#8c6d31", "#7b4173"};
constexpr size_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];

// Length of the UTF-8 sequence at text[i], or 0 when it is not one (a file name in Latin-1).
size_t Utf8Length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    const size_t n = b >= 0xC2 && b <= 0xDF   ? 2
                     : b >= 0xE0 && b <= 0xEF ? 3
                     : b >= 0xF0 && b <= 0xF4 ? 4
                                              : 0;
    if (n == 0 || i + n > text.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return n;
}

// Text as XML character data: markup escaped, control characters dropped (XML 1.0 has no
// place for them) and bytes that are not UTF-8 replaced, so that every viewer opens the file.
std::string Escaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (c >= 0x80) {
            const size_t n = Utf8Length(text, i);
            out += n ? text.substr(i, n) : "\xEF\xBF\xBD";
            if (n) i += n - 1;
        } else if (c >= 0x20 || c == '\t')
            out += char(c);
    }
    return out;
}

std::string Num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// The few SVG pieces the picture is made of.
class TSvg {
public:
    void Rect(double x, double y, double w, double h, const std::string& fill,
              const std::string& extra = "") {
        body += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) +
                "\" height=\"" + Num(h) + "\" fill=\"" + fill + "\"" + extra + "/>\n";
    }
    void Line(double x1, double y1, double x2, double y2, const std::string& stroke,
              double width = 1) {
        body += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
                Num(y2) + "\" stroke=\"" + stroke + "\" stroke-width=\"" + Num(width) + "\"/>\n";
    }
    void Text(double x, double y, const std::string& text, int size = 12,
              const char* anchor = "start", const std::string& fill = "#222") {
        body += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"" +
                std::to_string(size) + "\" text-anchor=\"" + anchor + "\" fill=\"" + fill + "\">" +
                Escaped(text) + "</text>\n";
    }
    void Path(const std::string& d, const std::string& stroke, const std::string& fill = "none",
              double width = 1.5) {
        body += "<path d=\"" + d + "\" stroke=\"" + stroke + "\" fill=\"" + fill +
                "\" stroke-width=\"" + Num(width) + "\" stroke-linejoin=\"round\"/>\n";
    }
    std::string Document(int height) const {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
               std::to_string(kWidth) + "\" height=\"" + std::to_string(height) +
               "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(height) +
               "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n"
               "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n" +
               body + "</svg>\n";
    }

private:
    std::string body;
};

// Seconds to pixels over the plotted span.
struct TAxis {
    double t0, t1;
    double X(double t) const { return kLeft + (t - t0) / (t1 - t0) * kPlotWidth; }
    double T(double x) const { return t0 + (x - kLeft) / kPlotWidth * (t1 - t0); }
};

// The smallest and largest sample of each pixel column, mixed to mono; false with the reason
// when libsndfile cannot read the sound.
bool ReadEnvelope(const std::string& path, const TAxis& axis, std::vector<float>& low,
                  std::vector<float>& high, std::string& problem) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        problem = sf_strerror(nullptr);
        return false;
    }
    low.assign(kPlotWidth, std::numeric_limits<float>::infinity());
    high.assign(kPlotWidth, -std::numeric_limits<float>::infinity());
    const int channels = std::max(info.channels, 1);
    std::vector<float> block(4096 * size_t(channels));
    sf_count_t at = 0;
    for (sf_count_t n; (n = sf_readf_float(file, block.data(), 4096)) > 0; at += n) {
        for (sf_count_t i = 0; i < n; ++i) {
            float sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += block[size_t(i * channels + c)];
            const double column = std::floor(axis.X(double(at + i) / info.samplerate)) - kLeft;
            if (column < 0 || column >= kPlotWidth) continue;
            const size_t x = size_t(column);
            low[x] = std::min(low[x], sum / channels);
            high[x] = std::max(high[x], sum / channels);
        }
    }
    sf_close(file);
    return true;
}

void DrawWaveform(TSvg& svg, const TAnalysisResult& result, const TAxis& axis, double top,
                  double height) {
    const double middle = top + height / 2;
    svg.Line(kLeft, middle, kLeft + kPlotWidth, middle, "#cccccc");
    std::vector<float> low, high;
    std::string problem;
    if (!ReadEnvelope(result.soundPath, axis, low, high, problem)) {
        svg.Text(kLeft + 8, middle - 6, "waveform not drawn: " + problem, 12, "start", "#a00");
        return;
    }
    float peak = 0;
    for (size_t x = 0; x < low.size(); ++x)
        if (low[x] <= high[x]) peak = std::max({peak, std::fabs(low[x]), std::fabs(high[x])});
    const double scale = (height / 2 - 2) / std::max(peak, 1e-6f);
    // Down the top edge, back along the bottom one, so that each column is filled.
    std::string top_edge, bottom_edge;
    for (size_t x = 0; x < high.size(); ++x) {
        if (low[x] > high[x]) continue;
        const double px = kLeft + double(x) + 0.5;
        top_edge += (top_edge.empty() ? "M" : " L") + Num(px) + " " + Num(middle - high[x] * scale);
        bottom_edge = " L" + Num(px) + " " + Num(middle - low[x] * scale + 0.5) + bottom_edge;
    }
    if (!top_edge.empty()) svg.Path(top_edge + bottom_edge + " Z", "#4a6fa5", "#6b8fc7", 0.5);
}

void DrawLane(TSvg& svg, const TAxis& axis, double top, double height,
              const std::vector<std::pair<TResultWord, bool>>& boxes, const std::string& fill) {
    svg.Rect(kLeft, top, kPlotWidth, height, "#f6f6f6");
    for (const auto& [box, labelled] : boxes) {
        const double x0 = axis.X(box.start), x1 = axis.X(box.end);
        if (!(x1 > x0)) continue;
        svg.Rect(x0, top + 2, x1 - x0, height - 4, fill, " stroke=\"#ffffff\" stroke-width=\"1\"");
        // Labels that would spill out of their box are left to the neighbours.
        const double room = x1 - x0 - 4;
        if (labelled && room >= 7.0 * double(box.text.size()))
            svg.Text((x0 + x1) / 2, top + height / 2 + 4, box.text, 12, "middle");
    }
}

std::string TrackLabel(const TResultTrack& track, size_t index) {
    return track.name.empty() ? "target " + std::to_string(index) : track.name;
}

// Curves of tracks over one panel from low to high, with a legend of names under it; returns
// the height used.
double DrawCurves(TSvg& svg, const TAxis& axis, double top, double height,
                  const std::vector<TResultTrack>& tracks, const char* title) {
    std::vector<std::vector<double>> samples(tracks.size());
    double low = 0, high = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        for (int x = 0; x <= kPlotWidth; ++x) {
            const double v = EvaluateKeys(tracks[t].keys, axis.T(kLeft + x));
            samples[t].push_back(v);
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    if (high - low < 1e-9) high = low + 1;
    const auto y = [&](double v) { return top + height - (v - low) / (high - low) * height; };
    svg.Rect(kLeft, top, kPlotWidth, height, "#fbfbfb", " stroke=\"#dddddd\"");
    svg.Text(kLeft - 8, top + 14, title, 13, "end");
    svg.Text(kLeft - 8, y(high) + 28, Num(high), 11, "end", "#777");
    svg.Text(kLeft - 8, y(low), Num(low), 11, "end", "#777");
    if (low < 0) svg.Line(kLeft, y(0), kLeft + kPlotWidth, y(0), "#bbbbbb");
    for (size_t t = 0; t < tracks.size(); ++t) {
        const std::vector<double>& v = samples[t];
        std::string d;
        for (size_t x = 0; x < v.size(); ++x) {
            // Inside a flat run the ends carry the line: long rests cost two points.
            if (x > 0 && x + 1 < v.size() && v[x - 1] == v[x] && v[x + 1] == v[x]) continue;
            d += (x ? " L" : "M") + Num(kLeft + double(x)) + " " + Num(y(v[x]));
        }
        svg.Path(d, kPalette[t % kPaletteSize]);
    }
    const int perRow = kPlotWidth / kLegendEntryWidth;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const double lx = kLeft + double(t % size_t(perRow)) * kLegendEntryWidth;
        const double ly = top + height + 10 + double(t / size_t(perRow)) * kLegendRowHeight;
        svg.Rect(lx, ly, 18, 4, kPalette[t % kPaletteSize]);
        svg.Text(lx + 24, ly + 6, TrackLabel(tracks[t], t), 12);
    }
    const size_t rows = (tracks.size() + size_t(perRow) - 1) / size_t(perRow);
    return height + 14 + double(rows) * kLegendRowHeight;
}

// Second ticks (or wider, for long sounds) with grid lines from top to bottom.
void DrawTimeAxis(TSvg& svg, const TAxis& axis, double top, double bottom) {
    const double span = axis.t1 - axis.t0;
    double step = 1;
    for (double s : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0})
        if (span / s <= 40) {
            step = s;
            break;
        }
    if (span / step > 40) step = std::ceil(span / 40 / 60) * 60;
    for (double t = std::ceil(axis.t0 / step) * step; t <= axis.t1 + 1e-9; t += step) {
        const double x = axis.X(t);
        svg.Line(x, top, x, bottom, "#e4e4e4");
        svg.Line(x, bottom, x, bottom + 6, "#444444");
        char label[32];
        std::snprintf(label, sizeof label, "%g s", t + 0.0);
        svg.Text(x, bottom + 20, label, 12, "middle");
    }
    svg.Line(kLeft, bottom, kLeft + kPlotWidth, bottom, "#444444");
}

} // namespace

bool RenderPlot(const TAnalysisResult& result, const TOptions& options, std::string& svg,
                std::string&) {
    // Keys may lead the sound (the mouth moves before the first sound) or trail it.
    TAxis axis{0.0, result.duration};
    const auto widen = [&](const std::vector<TResultTrack>& tracks) {
        for (const TResultTrack& track : tracks)
            if (!track.keys.empty()) {
                axis.t0 = std::min(axis.t0, track.keys.front().time);
                axis.t1 = std::max(axis.t1, track.keys.back().time);
            }
    };
    widen(result.speechTargets);
    if (options.plotGestures) widen(result.gestures);
    if (!(axis.t1 - axis.t0 > 1e-6)) axis.t1 = axis.t0 + 1;

    TSvg out;
    double y = 10;
    std::string title = result.soundPath;
    char facts[96];
    std::snprintf(facts, sizeof facts, "   %.2f s, %zu words, %zu phonemes", result.duration,
                  result.words.size(), result.phonemes.size());
    title += facts;
    if (!result.shapes.empty()) title += ", shapes: " + result.shapes;
    out.Text(kLeft, y + 18, title, 16);
    y += 36;
    const double first = y;

    out.Text(kLeft - 8, y + 14, "waveform", 13, "end");
    DrawWaveform(out, result, axis, y, 120);
    y += 128;

    std::vector<std::pair<TResultWord, bool>> boxes;
    for (const TResultWord& word : result.words)
        boxes.push_back({word, true});
    out.Text(kLeft - 8, y + 19, "words", 13, "end");
    DrawLane(out, axis, y, 28, boxes, "#f3d9a4");
    y += 32;

    boxes.clear();
    for (const TResultSegment& segment : result.phonemes) {
        if (segment.id == 40) continue; // silence stays the lane's own background
        const char* name = PhonemeIdentityName(segment.id);
        boxes.push_back({{name ? name : "?", segment.start, segment.end}, true});
    }
    out.Text(kLeft - 8, y + 19, "phonemes", 13, "end");
    DrawLane(out, axis, y, 28, boxes, "#bfe0c6");
    y += 40;

    y += DrawCurves(out, axis, y, 240, result.speechTargets, "speech targets");
    if (options.plotGestures) {
        y += 10;
        y += DrawCurves(out, axis, y, 180, result.gestures, "gestures");
    }
    // The time axis closes the picture; its grid lines run up through every panel.
    DrawTimeAxis(out, axis, first, y + 4);
    svg = out.Document(int(std::ceil(y + 34)));
    return true;
}

} // namespace Vantrix
