// vx-posteriors: runs one phoneme network over a feature file and prints the posteriors of
// every row before quantisation, so a trainer can check that the engine computes what it
// trained. The rows are cross-checked against runNetwork's score bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "classifier.h"
#include "errors.h"
#include "feature_file.h"
#include "matvec.h"
#include "weight_file.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: vx-posteriors [--backward] WEIGHTS FEATURES\n"
                 "  Prints one line per row in the order the network emits them (frame order\n"
                 "  forward, reverse frame order backward): the row number, then the posterior\n"
                 "  of every class.\n");
    return 2;
}

// The steps of runNetwork, keeping the posteriors it quantises. Returns rows of K floats.
std::vector<std::vector<float>> Posteriors(const Vantrix::TNetworkWeights& net,
                                           Vantrix::ENetworkDirection direction,
                                           const Vantrix::FramePropertiesVector& frames) {
    const Vantrix::TNetworkLayout& layout = net.Layout();
    const int32_t low = frames.Low();
    int32_t count = int32_t(frames.Count());
    for (int32_t k = 0; k < count; ++k) {
        if (frames.At(low + k).flags & Vantrix::kFrameFlagLast) {
            count = k + 1;
            break;
        }
    }
    Vantrix::TAlignedFloats block(size_t(layout.unitCount));
    float* units = block.data();
    std::memcpy(units, net.InitialUnits(), size_t(layout.unitCount) * sizeof(float));
    const size_t inputBytes = size_t(layout.InputCount()) * sizeof(float);
    auto load = [&](int32_t step) {
        const int32_t index = direction == Vantrix::ndForward ? low + step : low + count - 1 - step;
        std::memcpy(units + layout.firstInput, frames.At(index).features, inputBytes);
    };
    const float* outputs = units + layout.firstOutput;
    std::vector<std::vector<float>> rows;
    auto emit = [&] { rows.emplace_back(outputs, outputs + layout.ClassCount()); };

    load(0);
    for (int32_t i = 0; i < Vantrix::kNetworkWarmUpSteps; ++i)
        Vantrix::networkStep(net, units);
    for (int32_t k = 0; k < count; ++k) {
        load(k);
        Vantrix::networkStep(net, units);
        if (k >= Vantrix::kNetworkDelay) emit();
    }
    for (int32_t j = 0; j < Vantrix::kNetworkDelay; ++j) {
        Vantrix::networkStep(net, units);
        emit();
    }
    return rows;
}

int Run(const char* weightsPath, const char* featuresPath, Vantrix::ENetworkDirection direction) {
    VxFeatures::TFeatureFile file;
    if (!VxFeatures::ReadFeatureFile(featuresPath, file) || file.frames.empty()) {
        std::fprintf(stderr, "%s: not a feature file with frames\n", featuresPath);
        return 1;
    }
    // Records sit at 1..F, as the front end leaves them.
    Vantrix::FramePropertiesVector frames;
    frames.Include(1);
    frames.Include(int32_t(file.frames.size()));
    for (size_t i = 0; i < file.frames.size(); ++i)
        frames.At(int32_t(i) + 1) = file.frames[i];

    const Vantrix::TNetworkWeights net = Vantrix::loadNetworkWeights(weightsPath);
    // The same matrix routine as runNetwork, so both give bit-identical posteriors.
    Vantrix::selectMatrixKernel();
    const std::vector<std::vector<float>> rows = Posteriors(net, direction, frames);
    Vantrix::FrameProbabilitiesVector scores;
    Vantrix::runNetwork(net, direction, frames, scores);
    if (int64_t(rows.size()) != scores.Count()) {
        std::fprintf(stderr, "row count %zu differs from runNetwork's %lld\n", rows.size(),
                     static_cast<long long>(scores.Count()));
        return 3;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        const std::vector<uint8_t>& bytes = scores.At(int32_t(r)).scores;
        std::printf("%zu", r);
        for (size_t k = 0; k < rows[r].size(); ++k) {
            if (Vantrix::quantiseScore(rows[r][k]) != bytes[k]) {
                std::fprintf(stderr, "row %zu class %zu: posterior %.9g but score %u\n", r, k,
                             double(rows[r][k]), unsigned(bytes[k]));
                return 3;
            }
            std::printf(" %.9g", double(rows[r][k]));
        }
        std::printf("\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Vantrix::ENetworkDirection direction = Vantrix::ndForward;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--backward") == 0)
            direction = Vantrix::ndBackward;
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage();
        else
            paths.push_back(argv[i]);
    }
    if (paths.size() != 2) return Usage();
    try {
        return Run(paths[0], paths[1], direction);
    } catch (Vantrix::EErrorType kind) {
        std::fprintf(stderr, "%s: %s: %s\n", paths[0], Vantrix::NameOf(kind),
                     Vantrix::TextOf(kind));
    } catch (const Vantrix::TError& error) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
    }
    return 1;
}
