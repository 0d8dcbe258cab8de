// The command-line tool, run as a separate process: formats, transcripts, data folders, sound
// formats, long sounds, several sounds at once, and failures that must leave standard output
// and the target file alone.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <strings.h>

#include "cli_support.h"

namespace {

// Small random test networks and dictionaries, so that runs are quick.
class Cli : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        dataDir = data.path.string();
    }
    // Files in dir other than the fixtures.
    std::vector<std::string> Leftovers() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name != "hello.wav" && name != "hello.txt") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    DataFolder data;
};

} // namespace

// Read through a parser, so that member order and spacing stay the writer's own.
TEST_F(Cli, JsonIsTheDefaultAndUsesTheTranscriptBesideTheSound) {
    const Outcome o = Analyze({});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const nlohmann::json result = nlohmann::json::parse(o.out); // also refuses NaN and infinities
    EXPECT_EQ(result["sound"]["path"], (dir / "hello.wav").string());
    EXPECT_EQ(result["framesPerSecond"], 30);
    EXPECT_EQ(result["wordSource"], "transcript");
    EXPECT_EQ(result["words"][0]["text"], "HELLO");
    EXPECT_EQ(result["words"][1]["text"], "WORLD");
    EXPECT_EQ(result["speechTargets"].size(), 15u);
    ASSERT_EQ(result["gestures"].size(), 11u);
    EXPECT_EQ(result["gestures"][10]["name"], "Right Eye Up-Down");
    EXPECT_TRUE(result["gestures"][10]["keys"].at(0).contains("inSlope"));
    EXPECT_EQ(o.out.back(), '\n');

    // The same seed gives the same bytes; an empty --text drops the transcript.
    EXPECT_EQ(Analyze({}).out, o.out);
    EXPECT_TRUE(nlohmann::json::parse(Analyze({"--text", ""}).out)["words"].empty());
    const Outcome given = Analyze({"--text", "Goodbye"});
    EXPECT_EQ(nlohmann::json::parse(given.out)["words"][0]["text"], "GOODBYE");
}

// The formats list the same phonemes, contiguous from 0: JSON's identities and names, one TSV
// line each, and the phoneme data's rows (the names capitalised, CRLF line ends).
TEST_F(Cli, EveryFormatListsTheSamePhonemes) {
    const nlohmann::json phonemes = nlohmann::json::parse(Analyze({}).out)["phonemes"];
    const Outcome tsv = Analyze({"--format", "tsv"}), raw = Analyze({"--format", "phonemedata"});
    ASSERT_EQ(tsv.status, 0) << tsv.err;
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out.rfind("PHONEME DATA:\r\n", 0), 0u);
    const size_t wordsAt = raw.out.find("\r\n\r\nWORD DATA:\r\nHELLO\t");
    ASSERT_NE(wordsAt, std::string::npos);
    EXPECT_EQ(raw.out.substr(raw.out.size() - 4), "\r\n\r\n");
    EXPECT_EQ(Occurrences(raw.out, "\n"), Occurrences(raw.out, "\r\n"));

    const std::vector<std::string> lines = Lines(tsv.out), rows = Lines(raw.out.substr(0, wordsAt));
    ASSERT_GT(phonemes.size(), 5u);
    ASSERT_EQ(lines.size(), phonemes.size());
    ASSERT_EQ(rows.size(), phonemes.size() + 1); // after the heading
    std::map<int, std::string> nameOf;
    double previousEnd = 0.0;
    for (size_t i = 0; i < phonemes.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        double start = -1, end = -1, rowStart = -1, rowEnd = -1;
        char name[8] = {}, rowName[12] = {};
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "%lf\t%lf\t%7s", &start, &end, name), 3);
        ASSERT_EQ(
            std::sscanf(rows[i + 1].c_str(), "%11[A-Za-z]\t%lf\t%lf", rowName, &rowStart, &rowEnd),
            3);
        EXPECT_EQ(start, previousEnd);
        EXPECT_LT(start, end);
        EXPECT_EQ(phonemes[i]["name"], name);
        EXPECT_EQ(nameOf.emplace(phonemes[i]["id"], name).first->second, name);
        EXPECT_EQ(strcasecmp(rowName, name), 0) << rowName;
        EXPECT_NEAR(rowStart, start, 1e-4);
        EXPECT_NEAR(rowEnd, end, 1e-4);
        previousEnd = end;
    }
    // The small test networks need not find the silence; where they do, it is named so.
    EXPECT_TRUE(!nameOf.count(40) || nameOf[40] == "sil");
    EXPECT_GT(nameOf.size(), 3u);
}

// A target that cannot be written fails; none leaves a file behind, temporary or not.
// Unreadable inputs are UnusableFilesAndDataAreNamedAndLeaveTheTargetAlone's.
TEST_F(Cli, OutputFileAndDashHoldWhatStandardOutputWouldAndBadTargetsFail) {
    const fs::path target = dir / "result.json";
    const Outcome o = Analyze({"--output", target.string()});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    const std::string out = Analyze({}).out;
    EXPECT_EQ(Slurp(target), out);
    EXPECT_EQ(Analyze({"--output", "-"}).out, out);

    fs::create_directory(dir / "folder");
    for (const fs::path& bad : {dir / "nowhere" / "out.json", dir / "folder"}) {
        const Outcome failed = Analyze({"--output", bad.string()});
        EXPECT_EQ(failed.status, 1) << bad;
        EXPECT_NE(failed.err.find("cannot write"), std::string::npos);
        EXPECT_EQ(failed.out, "");
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
    EXPECT_EQ(Leftovers(), (std::vector<std::string>{"folder", "result.json"}));
}

// Files and data the tool cannot use: exit status 1, the cause named, nothing written and the
// target left alone. The sounds go without a transcript, so that the word recogniser is not what
// reports them.
TEST_F(Cli, UnusableFilesAndDataAreNamedAndLeaveTheTargetAlone) {
    const fs::path target = dir / "kept.json";
    std::ofstream(target) << "previous";
    std::ofstream(dir / "text.wav") << "Hello world, this is text.\n";
    std::ofstream(dir / "empty.wav");
    fs::create_directory(dir / "folder.wav");
    // A header the engine walks into a missing file, and one that promises no samples.
    std::ofstream(dir / "cut.wav", std::ios::binary) << std::string("RIFF\xff\xff\xff\xffWAVEfmt ");
    std::ofstream(dir / "header.wav", std::ios::binary)
        << std::string("RIFF$\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x80>\0\0\0}\0\0\x02\0\x10\0"
                       "data\0\0\0\0",
                       44);
    std::ofstream(dir / "nul.txt") << std::string("hello\0world", 11);
    const fs::path ini = dir / "broken.ini";
    std::ofstream(ini) << "[PhonemeToSpeechTargetMapping]\nNumSpeechTargets=0\n";
    const std::string hello = (dir / "hello.wav").string(), nothing = (dir / "nothing").string();
    struct Case {
        std::vector<std::string> args;
        std::string err, env = "";
    };
    const auto sound = [&](const char* name, const std::string& reason) {
        const std::string path = (dir / name).string();
        return Case{{path, "--data", dataDir}, "cannot read the sound '" + path + "': " + reason};
    };
    const auto text = [&](const char* name, const std::string& reason) {
        const std::string path = (dir / name).string();
        return Case{{hello, "--data", dataDir, "--text-file", path},
                    "the transcript file '" + path + "' " + reason};
    };
    const Case cases[] = {
        sound("text.wav", "not a sound file libsndfile or the engine can read (libsndfile: format "
                          "not recognised; the engine: unsupported or invalid audio file)"),
        sound("empty.wav", "it is an empty file"),
        sound("cut.wav", "not a sound file libsndfile or the engine can read (libsndfile: error in "
                         "WAV file. No 'data' chunk marker)"),
        sound("header.wav", "it holds no samples: a header without any sound"),
        sound("folder.wav", "it is a folder, not a sound file"),
        sound("absent.wav", "there is no such file"),
        text("folder.wav", "is a folder, not a text file"),
        text("nul.txt", "holds a NUL byte: it is not a text file"),
        text("absent.txt", "cannot be read"),
        {{hello, "--data", dataDir, "--config", ini.string()},
         "the configuration file '" + ini.string() +
             "' is invalid: NumSpeechTargets must be >= 1 (VOXTRAIL_CONFIG_PARSE_ERROR)"},
        {{hello, "--data", dataDir, "--config", dir.string()},
         "the configuration file " + dir.string() +
             " is a folder (VOXTRAIL_INVALID_PARAMETER_ERR)"},
        {{hello},
         "cannot start the engine with the data folder '" + nothing +
             "': VOXTRAIL_CORE_DATA_NOT_FOUND_ERR: the Voxtrail data files could not be found "
             "[invalid path or missing files]",
         "VOXTRAIL_DATA=" + Quote(nothing)},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"analyze"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"--output", target.string()});
        const Outcome o = Run(args, c.env);
        EXPECT_EQ(o.status, 1) << c.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err, "voxtrail: " + c.err + "\n");
        EXPECT_EQ(Slurp(target), "previous");
    }
}

TEST_F(Cli, DataFolderComesFromTheEnvironmentWhenNotGiven) {
    const Outcome o =
        Run({"analyze", (dir / "hello.wav").string(), "--seed", "8", "--format", "tsv"},
            "VOXTRAIL_DATA=" + Quote(dataDir));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, Analyze({"--format", "tsv"}).out);
}

// A transcript that cannot help is warned about and the analysis goes on: one without a word to
// align is dropped, one that does not match is used. Matching is judged with the shipped
// networks, as the test ones are random and fit nothing.
TEST_F(Cli, TranscriptsThatCannotHelpAreWarnedAbout) {
    const struct {
        std::string data, text, warning;
    } cases[] = {
        {dataDir, "?! -- ...",
         "no word of the transcript could be aligned; the phonemes were found without it"},
        {dataDir, "42", ""}, // numbers are words
        {VX_SHIPPED_DATA, Slurp(dir / "hello.txt"), ""},
        {VX_SHIPPED_DATA, "The quick brown fox jumps over the lazy dog.",
         "the transcript does not seem to match the sound; its words may be placed wrongly"},
    };
    for (const auto& c : cases) {
        const Outcome o = Run({"analyze", (dir / "hello.wav").string(), "--data", c.data, "--seed",
                               "8", "--format", "tsv", "--text", c.text});
        EXPECT_EQ(o.status, 0) << c.text;
        EXPECT_EQ(o.err, c.warning.empty() ? "" : "voxtrail: warning: " + c.warning + "\n");
        EXPECT_NE(o.out, "");
    }
    EXPECT_EQ(Analyze({"--text", "?! -- ...", "--format", "tsv"}).out,
              Analyze({"--text", "", "--format", "tsv"}).out);
}

TEST_F(Cli, UsageErrorsExitTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"analyse", "x.wav"},
        {"analyze"},
        {"analyze", "x.wav", "--fps", "0"},
        {"analyze", "x.wav", "--fps", "12abc"},
        {"analyze", "x.wav", "--fps", "1001"},
        {"analyze", "x.wav", "--seed"},
        {"analyze", "x.wav", "--format", "xml"},
        {"analyze", "x.wav", "--bogus", "1"},
        {"analyze", "x.wav", "--bogus"},
        {"analyze", "-x", "x.wav"},
        {"analyze", "x.wav", "--text", "a", "--text-file", "b"},
        {"analyze", "x.wav", "y.wav"},
        {"analyze", "x.wav", "y.wav", "--output-dir", "d", "--output", "f"},
        {"analyze", "x.wav", "y.wav", "--output-dir", "d", "--text", ""}, // for one sound only
        {"analyze", "x.wav", "--jobs", "0"},
    };
    for (const auto& args : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find("usage: voxtrail analyze SOUND..."), std::string::npos);
    }
    EXPECT_NE(Run({"analyze", "-x", "x.wav"}).err.find("unknown option '-x'"), std::string::npos);
}

TEST_F(Cli, HelpGivesEveryOptionAndVersionTheLibrarys) {
    for (const char* flag : {"--help", "-h"}) {
        const Outcome help = Run({flag});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        for (const char* piece : {"Usage:", "--text TEXT", "--text-file FILE", "--config INI",
                                  "--fps N", "(default 30)", "--seed N", "--fast", "--data DIR",
                                  "--format FORMAT", "--output FILE", "--version",
                                  "exit status: 0 success, 1 engine or file error, 2 usage error"})
            EXPECT_NE(help.out.find(piece), std::string::npos) << piece;
    }
    const Outcome version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "voxtrail 1.5.0\n");
}

// As the help says: only the echoed setting differs.
TEST_F(Cli, TheFrameRateChangesNoKey) {
    nlohmann::json at24 = nlohmann::json::parse(Analyze({"--fps", "24"}).out);
    EXPECT_EQ(at24["framesPerSecond"], 24);
    at24["framesPerSecond"] = 60;
    EXPECT_EQ(at24, nlohmann::json::parse(Analyze({"--fps", "60"}).out));
}

namespace {

using Json = nlohmann::json;

std::vector<std::string> WordTexts(const Json& result) {
    std::vector<std::string> texts;
    for (const Json& word : result.at("words"))
        texts.push_back(word.at("text"));
    return texts;
}

// The transcript's words as the engine spells them: capitals, no punctuation.
std::vector<std::string> TranscriptWords(const fs::path& file) {
    std::istringstream in(Slurp(file));
    std::vector<std::string> words;
    for (std::string token; in >> token;) {
        std::string word;
        for (char c : token)
            if (std::isalpha(static_cast<unsigned char>(c)))
                word += char(std::toupper(static_cast<unsigned char>(c)));
        if (!word.empty()) words.push_back(word);
    }
    return words;
}

} // namespace

// Every format sox writes here comes out as the 16-bit WAV does, through libsndfile and a
// temporary file that does not outlive the run.
TEST_F(Cli, SoundsInOtherFormatsGiveTheSameWords) {
    const Json wave = Json::parse(Analyze({}).out);
    const fs::path temp = dir / "tmp";
    fs::create_directory(temp);
    const struct {
        const char* name;
        const char* soxOptions;
    } cases[] = {
        {"flac.flac", ""},           {"vorbis.ogg", ""},
        {"pcm24.wav", "-b 24"},      {"float.wav", "-e floating-point -b 32"},
        {"pcm32.aiff", "-b 32"},     {"six.wav", "-c 6"},
        {"rate96k.wav", "-r 96000"}, {"mpeg.mp3", ""},
    };
    for (const auto& c : cases) {
        const fs::path sound = dir / c.name;
        const std::string sox = "sox -q -D " + Quote((dir / "hello.wav").string()) + " " +
                                c.soxOptions + " " + Quote(sound.string()) + " 2>/dev/null";
        if (std::system(sox.c_str()) != 0) {
            ASSERT_STREQ(c.name, "mpeg.mp3") << "sox cannot write it";
            continue; // a sox without an MP3 encoder
        }
        const Outcome o = Run({"analyze", sound.string(), "--text-file",
                               (dir / "hello.txt").string(), "--data", dataDir, "--seed", "8"},
                              "TMPDIR=" + Quote(temp.string()));
        ASSERT_EQ(o.status, 0) << c.name << ": " << o.err;
        const Json result = Json::parse(o.out);
        EXPECT_EQ(result["sound"]["path"], sound.string());
        EXPECT_EQ(WordTexts(result), WordTexts(wave)) << c.name;
        // MP3 pads the ends by a few frames of its codec.
        EXPECT_NEAR(result["sound"]["durationSeconds"].get<double>(),
                    wave["sound"]["durationSeconds"].get<double>(), 0.12)
            << c.name;
        EXPECT_TRUE(fs::is_empty(temp)) << c.name;
    }
}

// Twelve minutes, more than twice what one analysis accepts: cut, analysed in pieces with their
// share of the transcript, and joined into one result as if analysed whole.
TEST_F(Cli, ALongSoundIsCutAndJoinedSeamlessly) {
    const fs::path take = VX_LONG_TAKE;
    const Outcome o = Run({"analyze", take.string(), "--data", dataDir, "--seed", "8"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Json result = Json::parse(o.out);

    const double seconds = (fs::file_size(take) - 44) / 2.0 / 16000.0; // 16-bit, 16 kHz, mono
    ASSERT_GT(seconds, 700.0);
    EXPECT_DOUBLE_EQ(result["sound"]["durationSeconds"].get<double>(), seconds);

    EXPECT_EQ(WordTexts(result), TranscriptWords(fs::path(take).replace_extension(".txt")));
    double previous = 0.0;
    for (const Json& word : result["words"]) {
        EXPECT_GE(word["start"].get<double>(), previous) << word;
        previous = word["end"];
    }
    const Json& phonemes = result["phonemes"];
    ASSERT_FALSE(phonemes.empty());
    EXPECT_EQ(phonemes.front()["start"].get<double>(), 0.0);
    EXPECT_EQ(phonemes.back()["end"].get<double>(), seconds);
    for (size_t i = 0; i + 1 < phonemes.size(); ++i) {
        EXPECT_EQ(phonemes[i]["end"].get<double>(), phonemes[i + 1]["start"].get<double>()) << i;
        EXPECT_LT(phonemes[i]["start"].get<double>(), phonemes[i]["end"].get<double>()) << i;
        EXPECT_FALSE(phonemes[i]["id"] == 40 && phonemes[i + 1]["id"] == 40) << i;
    }
    for (const char* kind : {"speechTargets", "gestures"})
        for (const Json& track : result[kind]) {
            double last = -1e9;
            for (const Json& key : track["keys"]) {
                EXPECT_GE(key["time"].get<double>(), last) << kind << track["index"];
                last = key["time"];
            }
            EXPECT_LT(last, seconds + 1.0) << kind << track["index"];
        }
}

// Three sounds, one broken, two at a time: the others complete, each finished file is reported
// once, and the failure is named at the end.
TEST_F(Cli, SeveralSoundsRunInWorkersAndFailuresAreNamed) {
    const fs::path out = dir / "results";
    fs::copy_file(dir / "hello.wav", dir / "second.wav");
    fs::copy_file(dir / "hello.txt", dir / "second.txt");
    std::ofstream(dir / "broken.wav") << "RIFF not really";
    const std::string broken = (dir / "broken.wav").string();
    std::ofstream(dir / "list") << (dir / "second.wav").string() << "\n\n# a comment\n"
                                << broken << "\n";
    const Outcome batch =
        Run({"analyze", (dir / "hello.wav").string(), "--batch", (dir / "list").string(), "-j", "2",
             "--output-dir", out.string(), "--data", dataDir, "--seed", "8"});
    EXPECT_EQ(batch.status, 1) << batch.err;
    EXPECT_EQ(batch.out, "");
    EXPECT_EQ(Slurp(out / "hello.json"), Analyze({}).out);
    EXPECT_EQ(WordTexts(Json::parse(Slurp(out / "second.json"))),
              TranscriptWords(dir / "hello.txt"));
    EXPECT_FALSE(fs::exists(out / "broken.json"));

    std::vector<std::string> progress;
    for (const std::string& line : Lines(batch.err))
        if (line.rfind("voxtrail: [", 0) == 0) progress.push_back(line);
    ASSERT_EQ(progress.size(), 3u) << batch.err;
    for (size_t i = 0; i < progress.size(); ++i)
        EXPECT_EQ(progress[i].rfind("voxtrail: [" + std::to_string(i + 1) + "/3] ", 0), 0u);
    EXPECT_NE(batch.err.find("] " + broken + ": failed: cannot read the sound '" + broken + "'"),
              std::string::npos)
        << batch.err;
    EXPECT_NE(batch.err.find("] " + (dir / "second.wav").string() + ": done\n"), std::string::npos);
    EXPECT_EQ(batch.err.substr(batch.err.rfind("voxtrail: ")),
              "voxtrail: 1 of 3 sounds failed: " + broken + "\n");
}
