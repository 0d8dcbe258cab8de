#include "sound_16k.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

#include "kaiser_resampler.h"

namespace Vantrix {

namespace {

// The engine's own settings for its rate step.
constexpr double kTransitionWidth = 0.125;
constexpr double kAttenuationDb = 60.0;

std::vector<double> down(const double* x, size_t n, int rateIn, int rateOut) {
    std::vector<double> out;
    if (n == 0 || n > UINT32_MAX ||
        kaiserResample(x, uint32_t(n), uint32_t(rateIn), uint32_t(rateOut), kTransitionWidth,
                       kAttenuationDb, out) != eetSuccess)
        out.clear();
    return out;
}

// Doubles the rate: zeros between the samples, then the images above the old band removed by
// the engine's low-pass, which only decimates, so it runs twice (even and odd outputs).
std::vector<double> doubleRate(const std::vector<double>& x, int rate) {
    std::vector<double> stuffed(2 * x.size() + 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        stuffed[2 * i] = 2.0 * x[i]; // the filter's unit gain; zero stuffing halves the band
    std::vector<double> even = down(stuffed.data(), stuffed.size(), 2 * rate, rate);
    std::vector<double> odd = down(stuffed.data() + 1, stuffed.size() - 1, 2 * rate, rate);
    std::vector<double> out;
    if (even.empty() || odd.empty()) return out;
    out.reserve(2 * x.size());
    for (size_t i = 0; out.size() < 2 * x.size(); ++i) {
        out.push_back(i < even.size() ? even[i] : 0.0);
        if (out.size() < 2 * x.size()) out.push_back(i < odd.size() ? odd[i] : 0.0);
    }
    return out;
}

} // namespace

std::vector<double> to16k(const std::vector<double>& x, int rate) {
    if (x.empty() || rate < 8000) return {};
    if (rate == kWordModelRate) return x;
    if (rate > kWordModelRate) return down(x.data(), x.size(), rate, kWordModelRate);
    std::vector<double> doubled = doubleRate(x, rate);
    if (doubled.empty() || 2 * rate == kWordModelRate) return doubled;
    return down(doubled.data(), doubled.size(), 2 * rate, kWordModelRate);
}

bool readSound16k(const std::string& path, std::vector<int16_t>& samples, int& rate,
                  std::string& error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "cannot read sound file " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    rate = info.samplerate;
    const sf_count_t frames = info.frames;
    const int channels = info.channels;
    std::vector<double> interleaved;
    bool ok = channels > 0 && frames >= 0 && frames <= sf_count_t(600) * 48000 * 8;
    if (ok) {
        interleaved.resize(size_t(frames) * size_t(channels));
        ok = sf_readf_double(file, interleaved.data(), frames) == frames;
    }
    sf_close(file);
    if (!ok) {
        error = "cannot read the samples of sound file " + path;
        return false;
    }
    if (rate < 8000) {
        error = "sound file " + path + " has a sample rate of " + std::to_string(rate) +
                " Hz; word recognition needs at least 8000 Hz";
        return false;
    }
    samples.clear();
    if (frames == 0) return true;
    std::vector<double> mono(size_t(frames), 0.0);
    for (size_t i = 0; i < mono.size(); ++i) {
        for (int c = 0; c < channels; ++c)
            mono[i] += interleaved[i * size_t(channels) + size_t(c)];
        mono[i] /= channels;
    }
    std::vector<double> model = to16k(mono, rate);
    if (model.empty()) {
        error =
            "cannot bring sound file " + path + " from " + std::to_string(rate) + " Hz to 16000 Hz";
        return false;
    }
    samples.resize(model.size());
    for (size_t i = 0; i < model.size(); ++i)
        samples[i] = int16_t(std::lround(std::clamp(model[i] * 32767.0, -32768.0, 32767.0)));
    return true;
}

} // namespace Vantrix
