#include "long_sound.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

namespace Vantrix {

namespace {

constexpr int32_t kSilence = 40;

// Energy of each 10 ms frame.
std::vector<double> FrameEnergies(const TSamples& samples, size_t& frame) {
    frame = std::max<size_t>(1, size_t(samples.rate / 100));
    std::vector<double> energies(samples.data.size() / frame);
    for (size_t k = 0; k < energies.size(); ++k) {
        double sum = 0.0;
        for (size_t i = k * frame; i < (k + 1) * frame; ++i)
            sum += double(samples.data[i]) * samples.data[i];
        energies[k] = sum;
    }
    return energies;
}

bool EndsSentence(const std::string& word) {
    const size_t last = word.find_last_not_of("\"')]}");
    return last != std::string::npos && std::string(".!?;:").find(word[last]) != std::string::npos;
}

} // namespace

std::vector<size_t> FindCuts(const TSamples& samples, double maxSeconds, double searchSeconds) {
    const size_t total = samples.data.size();
    std::vector<size_t> cuts = {0};
    if (samples.Seconds() > kEngineMaxSeconds) {
        size_t frame = 0;
        const std::vector<double> energies = FrameEnergies(samples, frame);
        // A stretch of 300 ms: long enough to be a pause rather than a stop consonant.
        const size_t stretch = 30;
        const double framesPerSecond = double(samples.rate) / double(frame);
        size_t start = 0; // in frames
        while (double(total - start * frame) / samples.rate > kEngineMaxSeconds) {
            const size_t low = start + size_t(searchSeconds * framesPerSecond);
            const size_t high =
                std::min(energies.size(), start + size_t(maxSeconds * framesPerSecond));
            size_t best = low;
            double bestSum = -1.0, sum = 0.0;
            for (size_t k = low; k < high; ++k) {
                sum += energies[k];
                if (k >= low + stretch) sum -= energies[k - stretch];
                if (k + 1 >= low + stretch && (bestSum < 0 || sum < bestSum)) {
                    bestSum = sum;
                    best = k + 1 - stretch;
                }
            }
            const auto quietest = std::min_element(energies.begin() + long(best),
                                                   energies.begin() + long(best + stretch));
            const size_t cut = size_t(quietest - energies.begin());
            cuts.push_back(cut * frame + frame / 2);
            start = cut;
        }
    }
    cuts.push_back(total);
    return cuts;
}

std::vector<double> SpeechSeconds(const TSamples& samples, const std::vector<size_t>& cuts) {
    size_t frame = 0;
    const std::vector<double> energies = FrameEnergies(samples, frame);
    std::vector<double> level(energies.size());
    for (size_t k = 0; k < energies.size(); ++k)
        level[k] = 10.0 * std::log10(energies[k] / double(frame) + 1.0);
    std::vector<double> sorted = level;
    std::sort(sorted.begin(), sorted.end());
    const double quiet = sorted.empty() ? 0.0 : sorted[sorted.size() / 10];
    const double loud = sorted.empty() ? 0.0 : sorted[sorted.size() * 9 / 10];
    const double threshold = quiet + std::max(6.0, 0.3 * (loud - quiet));
    std::vector<double> speech;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        size_t frames = 0;
        for (size_t k = cuts[i] / frame; k < std::min(level.size(), cuts[i + 1] / frame); ++k)
            frames += level[k] > threshold;
        speech.push_back(double(frames * frame) / samples.rate);
    }
    return speech;
}

std::vector<std::string> SplitTranscript(const std::string& text,
                                         const std::vector<double>& weights) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    std::vector<std::string> parts(weights.size());
    if (parts.empty()) return parts;
    const double sum = std::accumulate(weights.begin(), weights.end(), 0.0);
    const size_t count = words.size();
    const size_t radius = std::min<size_t>(15, std::max<size_t>(3, count / weights.size() / 10));
    size_t begin = 0;
    double before = 0.0;
    for (size_t p = 0; p < parts.size(); ++p) {
        before += weights[p];
        size_t end = count;
        if (p + 1 < parts.size()) {
            const double share = sum > 0 ? before / sum : double(p + 1) / double(parts.size());
            const size_t target = size_t(std::lround(share * double(count)));
            end = target;
            // The nearest sentence end within reach, else the proportional word boundary.
            for (size_t d = 0; d <= radius; ++d) {
                if (target >= d && target - d > 0 && EndsSentence(words[target - d - 1])) {
                    end = target - d;
                    break;
                }
                if (target + d <= count && target + d > 0 && EndsSentence(words[target + d - 1])) {
                    end = target + d;
                    break;
                }
            }
            end = std::max(begin, std::min(end, count));
        }
        for (size_t w = begin; w < end; ++w)
            parts[p] += (w > begin ? " " : "") + words[w];
        begin = end;
    }
    return parts;
}

TAnalysisResult JoinResults(const std::vector<TAnalysisResult>& pieces,
                            const std::vector<double>& offsets, double total) {
    TAnalysisResult joined;
    if (pieces.empty()) return joined;
    const TAnalysisResult& first = pieces.front();
    joined.soundPath = first.soundPath;
    joined.framesPerSecond = first.framesPerSecond;
    joined.shapes = first.shapes;
    joined.wordSource = first.wordSource;
    joined.speechTargets.resize(first.speechTargets.size());
    joined.gestures.resize(first.gestures.size());
    for (size_t t = 0; t < first.speechTargets.size(); ++t)
        joined.speechTargets[t].name = first.speechTargets[t].name;
    for (size_t t = 0; t < first.gestures.size(); ++t)
        joined.gestures[t].name = first.gestures[t].name;

    for (size_t p = 0; p < pieces.size(); ++p) {
        const TAnalysisResult& piece = pieces[p];
        const double offset = offsets[p];
        const double end = p + 1 < pieces.size() ? offsets[p + 1] : total;
        if (joined.wordSource == "none") joined.wordSource = piece.wordSource;
        // Each piece covers exactly its own span, whatever the engine's rounding of its length.
        for (size_t s = 0; s < piece.phonemes.size(); ++s) {
            TResultSegment segment = piece.phonemes[s];
            segment.start = s == 0 ? offset : std::min(segment.start + offset, end);
            segment.end =
                s + 1 == piece.phonemes.size() ? end : std::min(segment.end + offset, end);
            if (segment.end <= segment.start) continue;
            if (!joined.phonemes.empty()) {
                TResultSegment& previous = joined.phonemes.back();
                segment.start = previous.end;
                if (previous.id == kSilence && segment.id == kSilence) {
                    previous.end = segment.end;
                    continue;
                }
            }
            joined.phonemes.push_back(segment);
        }
        for (TResultWord word : piece.words) {
            word.start += offset;
            word.end += offset;
            joined.words.push_back(word);
        }
        for (TResultWord word : piece.recognizedWords) {
            word.start += offset;
            word.end += offset;
            joined.recognizedWords.push_back(word);
        }
        const auto shift = [offset](const std::vector<TResultTrack>& from,
                                    std::vector<TResultTrack>& to) {
            for (size_t t = 0; t < from.size() && t < to.size(); ++t)
                for (TResultKey key : from[t].keys) {
                    key.time += offset;
                    to[t].keys.push_back(key);
                }
        };
        shift(piece.speechTargets, joined.speechTargets);
        shift(piece.gestures, joined.gestures);
    }
    // Keys either side of a seam stay, in time order.
    for (auto* tracks : {&joined.speechTargets, &joined.gestures})
        for (TResultTrack& track : *tracks)
            std::stable_sort(
                track.keys.begin(), track.keys.end(),
                [](const TResultKey& a, const TResultKey& b) { return a.time < b.time; });
    joined.duration = joined.phonemes.empty() ? total : joined.phonemes.back().end;
    return joined;
}

} // namespace Vantrix
