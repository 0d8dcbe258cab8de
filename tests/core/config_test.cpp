#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "data_paths.h"
#include "speech_target_config.h"
#include "test_folders.h"
#include "track_mapper.h"
#include "voxtrail.h"

using namespace Vantrix;

namespace {

// Writes a configuration with N targets; rows maps a row key to its value (a missing entry
// gets N copies of "0.5"; an entry holding "<omit>" leaves the key out).
std::string WriteConfig(const std::string& name, const std::string& numTargets, int n,
                        const std::map<std::string, std::string>& rows = {},
                        const std::string& header = "[PhonemeToSpeechTargetMapping]") {
    // CTest runs tests in parallel processes: keep each process's files apart.
    std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
    std::ofstream out(path, std::ios::binary);
    out << "; written by the test\r\n" << header << "\r\nNumSpeechTargets=" << numTargets << "\r\n";
    for (const char* key : kMapRowKeys) {
        std::string value;
        for (int j = 0; j < n; ++j)
            value += j ? ",0.5" : "0.5";
        auto it = rows.find(key);
        if (it != rows.end()) value = it->second;
        if (value == "<omit>") continue;
        std::string spelled = std::string(1, key[0]);
        for (const char* c = key + 1; *c; ++c)
            spelled += char(std::tolower(*c));
        out << spelled << "=" << value << "\r\n";
    }
    return path;
}

struct ParseOutcome {
    uint32_t code;
    std::string detail;
    std::unique_ptr<TLabeledPhonemesToTracksMap> map;
    int32_t label = -1;
};

ParseOutcome Parse(const std::string& path, TTrackMapper* mapper) {
    ParseOutcome outcome;
    outcome.code = ParseSpeechTargetConfiguration(outcome.map, outcome.label, path.c_str(), mapper,
                                                  outcome.detail);
    return outcome;
}

} // namespace

TEST(BuiltInMap, SixteenTracksOneWeightPerRowAndRangesChecked) {
    TTrackMapper mapper;
    const TPhonemesToTracksMap& map = mapper.Current();
    ASSERT_EQ(map.NumTracks(), 16);
    EXPECT_TRUE(map.IsValid());
    EXPECT_EQ(mapper.CurrentLabel(), 0);
    // Every row drives exactly one track; silence drives the rest track.
    EXPECT_EQ(map.Weight(40, 0), 1.0);
    for (int32_t r = 0; r < kMapRows; ++r) {
        int nonZero = 0;
        for (int32_t t = 0; t < 16; ++t)
            nonZero += map.Weight(r, t) != 0.0;
        EXPECT_EQ(nonZero, 1) << kMapRowKeys[r];
    }
    TPhonemesToTracksMap three(3);
    EXPECT_EQ(three.SetWeight(43, 0, 1.0), eetRangeFailure);
    EXPECT_EQ(three.SetWeight(0, 3, 1.0), eetRangeFailure);
    EXPECT_THROW(three.Weight(0, -1), EErrorType);
    EXPECT_THROW(TPhonemesToTracksMap(0), EErrorType);
}

// The mapper's notifications only mark the driver's tracks stale, a flag no code reads.
TEST(TrackMapper, AddSelectAndReset) {
    TTrackMapper mapper;
    TLabeledPhonemesToTracksMap four(4, 7);
    EXPECT_EQ(mapper.AddMap(four), 0);
    EXPECT_EQ(mapper.AddMap(four), eetArgumentFailure);
    EXPECT_EQ(mapper.CurrentLabel(), 0); // adding does not select
    EXPECT_EQ(mapper.SelectMap(8), eetArgumentFailure);
    EXPECT_EQ(mapper.SelectMap(7), 0);
    EXPECT_EQ(mapper.Current().NumTracks(), 4);
    EXPECT_EQ(mapper.ResetToDefault(), 0);
    EXPECT_EQ(mapper.Current().NumTracks(), 16);
    EXPECT_EQ(mapper.Maps().Count(), 2);
}

TEST(SpeechTargetConfig, ThreeTargetsAtHalf) {
    TTrackMapper mapper;
    ParseOutcome out = Parse(WriteConfig("three.ini", "3", 3), &mapper);
    ASSERT_EQ(out.code, VOXTRAIL_NOERR) << out.detail;
    ASSERT_TRUE(out.map);
    EXPECT_EQ(out.map->NumTracks(), 4);
    for (int32_t r = 0; r < kMapRows; ++r) {
        EXPECT_EQ(out.map->Weight(r, 0), r == 40 ? 1.0 : 0.0);
        for (int32_t j = 1; j <= 3; ++j)
            EXPECT_EQ(out.map->Weight(r, j), 0.5);
    }
    EXPECT_GE(out.label, 1);
    EXPECT_EQ(out.map->Label(), out.label);
    EXPECT_EQ(mapper.CurrentLabel(), out.label);
    EXPECT_EQ(mapper.Current().NumTracks(), 4);

    ParseOutcome again = Parse(WriteConfig("three.ini", "3", 3), &mapper);
    ASSERT_EQ(again.code, VOXTRAIL_NOERR);
    EXPECT_GT(again.label, out.label); // labels are never reused
}

const std::string kNoSection =
    "NumSpeechTargets not specified or PhonemeToSpeechTargetMapping section not found";

// Values without a refusal parse.
TEST(SpeechTargetConfig, NumSpeechTargetsMessages) {
    TTrackMapper mapper;
    const std::string notInteger = "NumSpeechTargets must have integer value",
                      belowOne = "NumSpeechTargets must be >= 1";
    const std::pair<std::string, std::string> cases[] = {
        {"2abc", ""},      {" 2 ", ""},
        {"+2", ""},        {"abc", notInteger},
        {"-", notInteger}, {"0", belowOne},
        {"-4", belowOne},  {"-99999999999999999999999", belowOne},
        {"", kNoSection},
    };
    for (const auto& [value, refusal] : cases) {
        ParseOutcome out = Parse(WriteConfig("num.ini", value, 2), &mapper);
        EXPECT_EQ(out.code, refusal.empty() ? VOXTRAIL_NOERR : VOXTRAIL_CONFIG_PARSE_ERROR)
            << value;
        EXPECT_EQ(out.detail, refusal) << value;
        EXPECT_EQ(bool(out.map), refusal.empty());
    }
}

TEST(SpeechTargetConfig, HugeTargetCountFailsWithoutAllocating) {
    TTrackMapper mapper;
    for (const char* value : {"513", "2147483647", "99999999999999999999999"}) {
        ParseOutcome out = Parse(WriteConfig("huge.ini", value, 3), &mapper);
        EXPECT_EQ(out.code, VOXTRAIL_CONFIG_PARSE_ERROR);
        EXPECT_EQ(out.detail, "parse error for phoneme \"IY\"");
    }
    // 512 one-digit numbers fit exactly in the longest value the reader keeps.
    std::string row = "1";
    for (int j = 1; j < 512; ++j)
        row += ",1";
    std::map<std::string, std::string> rows;
    for (const char* key : kMapRowKeys)
        rows[key] = row;
    ParseOutcome out = Parse(WriteConfig("max.ini", "512", 0, rows), &mapper);
    ASSERT_EQ(out.code, VOXTRAIL_NOERR) << out.detail;
    EXPECT_EQ(out.map->NumTracks(), 513);
}

TEST(SpeechTargetConfig, MissingSectionOrRows) {
    TTrackMapper mapper;
    ParseOutcome noSection = Parse(WriteConfig("nosec.ini", "3", 3, {}, "[Other]"), &mapper);
    EXPECT_EQ(noSection.detail, kNoSection);
    ParseOutcome noFile = Parse("/nonexistent/config.ini", &mapper);
    EXPECT_EQ(noFile.code, VOXTRAIL_CONFIG_PARSE_ERROR);

    ParseOutcome noFlap = Parse(WriteConfig("noflap.ini", "3", 3, {{"FLAP", "<omit>"}}), &mapper);
    EXPECT_EQ(noFlap.code, VOXTRAIL_CONFIG_PARSE_ERROR);
    EXPECT_EQ(noFlap.detail, "missing phoneme \"FLAP\"");
    ParseOutcome several =
        Parse(WriteConfig("several.ini", "3", 3, {{"K", "<omit>"}, {"Z", ""}, {"FLAP", "<omit>"}}),
              &mapper);
    EXPECT_EQ(several.detail, "missing phoneme \"Z\"");
    EXPECT_EQ(mapper.CurrentLabel(), 0); // failures leave the mapper as it was
}

TEST(SpeechTargetConfig, RowParsing) {
    TTrackMapper mapper;
    // No weights: refused, naming the non-finite number if one caused it.
    const struct {
        std::string ax;
        std::vector<double> weights;
        std::string nonFinite = "";
    } cases[] = {
        {"0.5,0.5", {}},
        {"0.5,,0.5", {}},
        {"0.5,x,0.5", {}},
        {"0.5,nan,0.5", {}, "nan"},
        {"0.5,inf,0.5", {}, "inf"},
        {"0.5,1e999,0.5", {}, "1e999"},
        {"1,2,3,4,5", {1, 2, 3}},
        {"0 .5,1,\t2", {0.5, 1, 2}},
        {",1,2,3", {1, 2, 3}},
        {"-1e-1,+2.5,3abc", {-0.1, 2.5, 3}},
        {"1.,2,3", {1, 2, 3}},
        // Hexadecimal floats as "%lf" reads them, never a silent 0.
        {"0x1p-1,0X.8,-0x1.8p1", {0.5, 0.5, -3}},
        {"0x,0xg,0x10", {0, 0, 16}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ax);
        ParseOutcome out = Parse(WriteConfig("ax.ini", "3", 3, {{"AX", c.ax}}), &mapper);
        if (c.weights.empty()) {
            EXPECT_EQ(out.code, VOXTRAIL_CONFIG_PARSE_ERROR);
            EXPECT_EQ(out.detail, "parse error for phoneme \"AX\"" +
                                      (c.nonFinite.empty()
                                           ? ""
                                           : ": \"" + c.nonFinite + "\" is not a finite number"));
            continue;
        }
        ASSERT_EQ(out.code, VOXTRAIL_NOERR) << out.detail;
        for (int j = 0; j < 3; ++j)
            EXPECT_DOUBLE_EQ(out.map->Weight(15, j + 1), c.weights[size_t(j)]);
    }
}

TEST(DataPaths, SeparatorAndRateLookups) {
    TDataPaths withSlash, without, windows, empty;
    withSlash.SetDataFolder("/opt/kv/Data/");
    without.SetDataFolder("/opt/kv/Data");
    windows.SetDataFolder("C:\\Kv\\Data\\");
    empty.SetDataFolder("");
    EXPECT_EQ(withSlash.DictionaryPath(), "/opt/kv/Data/DtC6dal.dat");
    EXPECT_EQ(without.DictionaryPath(), withSlash.DictionaryPath());
    EXPECT_EQ(without.ForwardWeightsPath(16000), withSlash.ForwardWeightsPath(16000));
    EXPECT_EQ(windows.AlignedLexiconPath(), "C:\\Kv\\Data\\DtC6dl.dat");
    EXPECT_EQ(empty.BackwardWeightsPath(8000), "./Wt8S9bs.dat");
    EXPECT_EQ(TDataPaths().ForwardWeightsPath(8000), "./Wt8S9fs.dat");
    EXPECT_EQ(without.BackwardWeightsPath(16000), "/opt/kv/Data/Wt16M9bs.dat");
    EXPECT_EQ(without.ForwardWeightsPath(22050), "");
}

TEST(DataPaths, PresentOnlyWhenAllSixOpen) {
    TempFolder folder;
    TDataPaths paths;
    paths.SetDataFolder(folder.path.string());
    const char* names[] = {"DtC6dal.dat",  "DtC6dl.dat",  "Wt16M9fs.dat",
                           "Wt16M9bs.dat", "Wt8S9fs.dat", "Wt8S9bs.dat"};
    for (const char* name : names) {
        EXPECT_FALSE(paths.DataPresent()) << name;
        std::ofstream(folder.File(name)) << "x";
    }
    EXPECT_TRUE(paths.DataPresent());
    std::filesystem::remove(folder.File("Wt8S9bs.dat"));
    EXPECT_FALSE(paths.DataPresent());
}
