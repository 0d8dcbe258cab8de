#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "../core/thrown.h"
#include "classifier.h"
#include "errors.h"
#include "weight_file.h"

using namespace Vantrix;

namespace {

const std::string kNetworks = std::string(VX_TEST_DATA) + "/recognizer/networks/";
const char* const kRowsMismatch = "Error #000004: BAAAD stuff, should neven happen (size mismatch)";

// Header words: S, five unused, i0, i1, overwritten, c0, o0, U.
std::vector<int32_t> Header(int32_t s, int32_t i0, int32_t i1, int32_t c0, int32_t o0, int32_t u) {
    return {s, 7, 7, 7, 7, 7, i0, i1, -5, c0, o0, u};
}

std::string WriteWeights(const std::string& name, const std::vector<int32_t>& header,
                         const std::vector<float>& reals, size_t dropBytes = 0) {
    std::vector<uint8_t> bytes;
    auto put = [&](uint32_t w) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(uint8_t(w >> shift));
    };
    for (int32_t w : header)
        put(uint32_t(w));
    for (float r : reals) {
        uint32_t w;
        std::memcpy(&w, &r, 4);
        put(w);
    }
    bytes.resize(bytes.size() - std::min(dropBytes, bytes.size()));
    // CTest runs every test in its own process, several at once: the name must not collide.
    const std::string path =
        testing::TempDir() + "vx_weights_" + std::to_string(getpid()) + "_" + name + ".dat";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// A network without memory or hidden units: output k follows input k (13 classes).
std::string WriteEchoNetwork() {
    const int32_t c0 = 14, u = 27;
    std::vector<float> reals(size_t(u), 0.0f);
    reals[0] = 1.0f;
    for (int32_t k = 0; k < 13; ++k)
        for (int32_t q = 0; q < c0; ++q)
            reals.push_back(q == 1 + k ? 20.0f : 0.0f);
    return WriteWeights("echo", Header(0, 1, 14, c0, c0, u), reals);
}

// Frame f has feature (f % 13) at 1 and the rest at 0; the last one is flagged 128.
FramePropertiesVector OneHotFrames(int32_t count) {
    FramePropertiesVector frames;
    frames.Include(1);
    frames.Include(count);
    for (int32_t f = 0; f < count; ++f) {
        frames.At(1 + f).features[f % 13] = 1.0f;
        frames.At(1 + f).flags = f == count - 1 ? kFrameFlagLast : kFrameFlagNone;
    }
    return frames;
}

int32_t BestClass(const FrameProbabilities& row) {
    return int32_t(std::min_element(row.scores.begin(), row.scores.end()) - row.scores.begin());
}

// Rows 0, 1, ... holding the given scores.
FrameProbabilitiesVector Rows(const std::vector<std::vector<uint8_t>>& scores) {
    FrameProbabilitiesVector rows;
    for (size_t i = 0; i < scores.size(); ++i) {
        rows.Include(int32_t(i));
        rows.At(int32_t(i)).scores = scores[i];
    }
    return rows;
}

// What loading the file throws; its message names the file.
TError LoadError(const std::string& path) {
    return Thrown([&] { loadNetworkWeights(path); });
}

} // namespace

// ---- Scores ----

TEST(ClassifierScores, QuantisationFigures) {
    EXPECT_EQ(quantiseScore(1.0), 0);
    EXPECT_EQ(quantiseScore(0.5), 16);
    EXPECT_EQ(quantiseScore(1e-5), 255);
    EXPECT_EQ(quantiseScore(0.0), 255);
    EXPECT_EQ(quantiseScore(1.0000001), 0);
    EXPECT_EQ(quantiseScore(std::nan("")), 255);
    EXPECT_EQ(quantiseScore(std::exp(-100.5 / 24.0)), 100);
}

TEST(ClassifierMerge, BothZeroScoresGiveTheCentreOfTheirSteps) {
    EXPECT_DOUBLE_EQ(mergeWeight(0, 0), std::exp(-1.0 / 48.0));
    // Two classes a step of 24 apart in both directions: 1 / (1 + e^-1) and the rest.
    FrameProbabilitiesVector forward = Rows({{0, 24}}), backward = forward;
    mergeDirections(2, forward, backward);
    EXPECT_EQ(forward.At(0).scores, (std::vector<uint8_t>{7, 31}));
}

TEST(ClassifierMerge, BackwardRowsPairInReverseOrder) {
    // Frame f's backward row is row 2 - f; the pairing that agrees makes class f win clearly.
    FrameProbabilitiesVector forward = Rows({{0, 200, 200}, {200, 0, 200}, {200, 200, 0}});
    FrameProbabilitiesVector backward = Rows({{200, 200, 0}, {200, 0, 200}, {0, 200, 200}});
    forward.At(2).flags = 128;
    mergeDirections(3, forward, backward);
    for (int32_t f = 0; f < 3; ++f) {
        EXPECT_EQ(forward.At(f).scores[size_t(f)], 0) << f;
        // Paired with the wrong frame, two classes would tie near 16.
        EXPECT_EQ(forward.At(f).scores[size_t((f + 1) % 3)], 200) << f;
    }
    EXPECT_EQ(forward.At(2).flags, 128);
}

TEST(ClassifierMerge, DifferentRangesOrShortRowsAreSizeMismatches) {
    FrameProbabilitiesVector forward = Rows({{0}, {0}, {0}, {0}}), backward = Rows({{0}, {0}, {0}});
    const TError error = Thrown([&] { mergeDirections(2, forward, backward); });
    EXPECT_EQ(error.message, kRowsMismatch);
    EXPECT_EQ(error.kind, eetCatastrophicFailure);
    backward.Include(3); // same range now, but the rows are short
    EXPECT_THROW(mergeDirections(2, forward, backward), TError);
}

// ---- Network step ----

TEST(ClassifierStep, OutputsSeeThePreviousStateAndFloorFarOutliers) {
    // Units: 0 bias, 1 input, 2 state, 3 hidden, 4..6 outputs.
    TNetworkWeights net(TNetworkLayout{1, 1, 2, 3, 4, 7}); // S, i0, i1, c0, o0, U
    const float initial[7] = {1.0f, 0.0f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f};
    std::memcpy(net.InitialUnits(), initial, sizeof initial);
    const float rows[4][3] = {{100, 0, 0}, {0, 0, 1}, {0, 0, 0}, {-100, 0, 0}};
    std::memcpy(net.Weights(), rows, sizeof rows);

    alignas(32) float units[8];
    std::memcpy(units, initial, sizeof initial);
    networkStep(net, units);
    const float hidden = 1.0f / (1.0f + std::exp(-32.0f)); // limited to 32, not 100
    EXPECT_EQ(units[3], hidden);
    EXPECT_EQ(units[2], hidden);     // state copy
    const double e = std::exp(0.25); // the state before this step
    EXPECT_NEAR(units[4], e / (e + 1.0), 1e-6);
    EXPECT_NEAR(units[5], 1.0 / (e + 1.0), 1e-6);
    EXPECT_NEAR(units[6], 1e-37 / (1.0 + 1.0 / e), 1e-42); // floored, not e^-100
    EXPECT_NEAR(units[4] + units[5] + units[6], 1.0f, 1e-6);

    networkStep(net, units);
    const double e1 = std::exp(double(hidden));
    EXPECT_NEAR(units[4], e1 / (e1 + 1.0), 1e-6);
}

// ---- Running a network ----

TEST(ClassifierRun, RowsFollowTheFramesAfterTheDelayUpToTheLastFrame) {
    const TNetworkWeights net = loadNetworkWeights(WriteEchoNetwork());
    // Row j holds the answer given four frames later and the flush repeats the last frame, so
    // fewer than four frames still give four rows.
    const struct {
        ENetworkDirection direction;
        int32_t frames, flaggedLast; // 0: only the final frame is flagged
        std::vector<int32_t> best;
    } cases[] = {
        {ndForward, 10, 0, {4, 5, 6, 7, 8, 9, 9, 9, 9, 9}},
        {ndBackward, 10, 0, {5, 4, 3, 2, 1, 0, 0, 0, 0, 0}},
        {ndForward, 3, 0, {2, 2, 2, 2}},
        {ndForward, 1, 0, {0, 0, 0, 0}},
        {ndForward, 8, 6, {4, 5, 5, 5, 5, 5}}, // nothing read past the flagged frame
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.frames) + (c.direction == ndForward ? " forward" : " back"));
        FramePropertiesVector frames = OneHotFrames(c.frames);
        if (c.flaggedLast) frames.At(c.flaggedLast).flags = kFrameFlagLast;
        FrameProbabilitiesVector rows;
        ASSERT_EQ(runNetwork(net, c.direction, frames, rows), 0);
        ASSERT_EQ(rows.Low(), 0);
        ASSERT_EQ(rows.Count(), int64_t(c.best.size()));
        for (int32_t j = 0; j <= rows.High(); ++j) {
            EXPECT_EQ(BestClass(rows.At(j)), c.best[size_t(j)]) << j;
            EXPECT_EQ(rows.At(j).scores.size(), 13u);
            EXPECT_EQ(rows.At(j).flags, j == rows.High() ? 128 : 0) << j;
        }
    }
}

TEST(ClassifierRun, NoRecordsIsARangeFailure) {
    FrameProbabilitiesVector rows;
    int32_t classes = -1;
    EXPECT_EQ(
        runNetwork(kNetworks + "Wt16M9fs.dat", ndForward, FramePropertiesVector(), rows, classes),
        eetRangeFailure);
    EXPECT_EQ(classifyFrames(kNetworks + "Wt16M9fs.dat", kNetworks + "Wt16M9bs.dat",
                             FramePropertiesVector(), rows),
              eetRangeFailure);
}

// ---- Weight-file faults ----

TEST(ClassifierWeightFile, FaultsFailWithTheirKindNamingTheFile) {
    // A valid small layout: bias, 2 inputs, 1 state, 1 hidden, 2 outputs.
    const std::vector<int32_t> good = Header(1, 1, 3, 4, 5, 7);
    const std::vector<float> reals(7 + 3 * 4, 0.5f);
    EXPECT_EQ(LoadError(WriteWeights("good", good, reals)).kind, eetSuccess);

    for (const std::string& missing : {testing::TempDir() + "vx_missing.dat", testing::TempDir()}) {
        const TError error = LoadError(missing); // a missing file, then a folder
        EXPECT_EQ(error.kind, eetOpenFailure) << missing;
        EXPECT_NE(error.message.find("cannot be opened"), std::string::npos) << error.message;
    }
    const std::string shortFile = WriteWeights("short", good, reals, 1);
    EXPECT_EQ(LoadError(shortFile).message, "weights file " + shortFile + " is truncated");

    std::vector<std::string> faulty = {WriteWeights("empty", {}, {}),
                                       WriteWeights("header", good, {}, 4), shortFile,
                                       WriteWeights("noweights", good, std::vector<float>(7, 0.f))};
    const std::vector<std::vector<int32_t>> inconsistent = {
        Header(2, 1, 3, 4, 5, 7),                   // S != c0 - i1
        Header(-1, 1, 3, 2, 5, 7),                  // negative state count
        Header(1, -1, 3, 4, 5, 7),                  // negative first input
        Header(1, 3, 1, 2, 5, 7),                   // i0 > i1
        Header(1, 1, 1, 2, 5, 7),                   // no inputs
        Header(1, 1, 3, 4, 3, 7),                   // c0 > o0
        Header(1, 1, 3, 4, 5, 5),                   // o0 >= U: no classes
        Header(1, 0, 14, 15, 16, 18),               // 14 inputs
        Header(3, 1, 3, 6, 6, 7),                   // state beyond the computed units
        Header(1, 1, 3, 4, 5, 0x7fffffff),          // sizes far beyond the file
        Header(1, 1, 3, 4, 0x7ffffff0, 0x7fffffff), // product overflowing 32 bits
    };
    for (size_t i = 0; i < inconsistent.size(); ++i)
        faulty.push_back(WriteWeights("bad" + std::to_string(i), inconsistent[i], reals));
    for (const std::string& file : faulty) {
        const TError error = LoadError(file);
        EXPECT_EQ(error.kind, eetCatastrophicFailure) << file;
        EXPECT_EQ(error.message.rfind("weights file " + file + " is ", 0), 0u) << error.message;
    }
}
