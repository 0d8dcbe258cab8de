// Whole analyses through the library interface, sound file to tracks, on 10 s, 60 s and 300 s of
// recorded speech, with and without transcript. Counters: "cpu_s_per_audio_s" (process CPU
// seconds per second of audio) and "peak_rss_mb" (the process's peak resident size so far).
//
// Data: the shipped data files; each one still missing is replaced by a stand-in (a network of
// production size with random weights: bias, 13 inputs, 256 state, 256 hidden, 41 classes; or
// the test dictionary). Speech: utterances of the shared corpus joined with sox, else the
// evaluation sounds (or the test chirp) looped.
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "voxtrail.h"

namespace fs = std::filesystem;

namespace {

const char* const kDataFiles[] = {"DtC6dal.dat",  "DtC6dl.dat",  "Wt16M9bs.dat",
                                  "Wt16M9fs.dat", "Wt8S9bs.dat", "Wt8S9fs.dat"};

struct TSample {
    std::string sound;
    std::string transcript;
    double seconds = 0.0;
};

fs::path gWork;
std::string gDataNote;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double PeakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void PutBigEndian(std::ofstream& out, uint32_t word) {
    const char bytes[4] = {char(word >> 24), char(word >> 16), char(word >> 8), char(word)};
    out.write(bytes, 4);
}

// A weight file of production size; weights scaled by fan-in so the units do not saturate.
void WriteRandomNetwork(const fs::path& file, uint32_t seed) {
    const int32_t state = 256, inputs = 13, hidden = 256, classes = 41;
    const int32_t i0 = 1, i1 = i0 + inputs, c0 = i1 + state, o0 = c0 + hidden, units = o0 + classes;
    std::ofstream out(file, std::ios::binary);
    for (int32_t word : {state, 0, 0, 0, 0, 0, i0, i1, 0, c0, o0, units})
        PutBigEndian(out, uint32_t(word));
    auto real = [&](float x) {
        uint32_t bits;
        std::memcpy(&bits, &x, 4);
        PutBigEndian(out, bits);
    };
    for (int32_t u = 0; u < units; ++u)
        real(u == 0 ? 1.0f : 0.0f);
    std::mt19937 rng(seed);
    std::normal_distribution<float> weight(0.0f, 1.0f / std::sqrt(float(c0)));
    for (int64_t k = 0; k < int64_t(units - c0) * c0; ++k)
        real(weight(rng));
}

// The shipped data, file by file; a missing network becomes a random one of production size
// and a missing dictionary the test one.
std::string DataFolder() {
    const fs::path shipped = fs::path(VX_SOURCE_DIR) / "data" / "KvParlo" / "Data";
    bool complete = true;
    for (const char* name : kDataFiles)
        complete = complete && fs::is_regular_file(shipped / name);
    if (complete) {
        gDataNote = "shipped data";
        return shipped.string();
    }
    const fs::path data = gWork / "data";
    fs::create_directories(data);
    std::string shippedNames, madeNames;
    uint32_t seed = 1;
    const fs::path dictionary = fs::path(VX_SOURCE_DIR) / "tests/data/recognizer/dictionary";
    for (const char* name : kDataFiles) {
        const bool network = name[0] == 'W';
        if (fs::is_regular_file(shipped / name)) {
            fs::create_symlink(shipped / name, data / name);
            shippedNames += std::string(shippedNames.empty() ? "" : " ") + name;
        } else {
            if (network)
                WriteRandomNetwork(data / name, seed++);
            else
                fs::create_symlink(dictionary / name, data / name);
            madeNames += std::string(madeNames.empty() ? "" : " ") + name;
        }
    }
    gDataNote = "shipped: [" + shippedNames +
                "]; stand-ins (random networks of production size, "
                "test dictionary): [" +
                madeNames + "]";
    return data.string();
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool HaveSox() {
    return std::system("command -v sox >/dev/null 2>&1") == 0;
}

// Utterances of one corpus folder joined until target seconds (never past 299 s).
bool CorpusSample(double target, const std::string& name, TSample& sample) {
    // The training corpus beside the checkout, as the training scripts find it.
    const char* root = std::getenv("VOXTRAIL_CORPUS");
    const fs::path corpus =
        fs::path(root ? root : VX_SOURCE_DIR "/../shared/corpus") / "ljspeech";
    std::ifstream manifest(corpus / "manifest.tsv");
    if (!manifest || !HaveSox()) return false;
    std::string line;
    std::getline(manifest, line); // header
    std::string files;
    double total = 0.0;
    while (total < target && std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string id, flac, duration, text;
        std::getline(fields, id, '\t');
        std::getline(fields, flac, '\t');
        std::getline(fields, duration, '\t');
        std::getline(fields, text);
        const double seconds = std::atof(duration.c_str());
        if (total + seconds > 299.0) break;
        files += " " + Quote((corpus / flac).string());
        sample.transcript += (sample.transcript.empty() ? "" : " ") + text;
        total += seconds;
    }
    if (total < target * 0.9) return false;
    sample.sound = (gWork / (name + ".wav")).string();
    sample.seconds = total;
    return std::system(("sox" + files + " " + Quote(sample.sound)).c_str()) == 0;
}

// A generated sound repeated to about target seconds.
bool LoopedSample(double target, const std::string& name, TSample& sample) {
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    fs::path source = exe.parent_path().parent_path() / "KvParlo/Evaluation_Sounds/hello_world.wav";
    std::string text = "Hello world. This is a test of automatic lip synchronization.";
    double length = 4.6;
    if (!fs::exists(source)) {
        source = fs::path(VX_SOURCE_DIR) / "tests/data/recognizer/sounds/chirp16k.wav";
        text.clear();
        length = 1.0;
    }
    if (!HaveSox()) return false;
    const int repeats = std::max(0, int(std::floor(std::min(target, 299.0) / length)) - 1);
    sample.sound = (gWork / (name + ".wav")).string();
    if (std::system(("sox " + Quote(source.string()) + " " + Quote(sample.sound) + " repeat " +
                     std::to_string(repeats))
                        .c_str()) != 0)
        return false;
    sample.seconds = length * (repeats + 1);
    for (int i = 0; i <= repeats && !text.empty(); ++i)
        sample.transcript += (i ? " " : "") + text;
    return true;
}

void BM_Analysis(benchmark::State& state, const TSample* sample, bool withTranscript) {
    const VOXTRAIL_ANALYSIS_SETTINGS settings = {sizeof(VOXTRAIL_ANALYSIS_SETTINGS), 30, 0, 7,
                                                 nullptr};
    const char* transcript = withTranscript ? sample->transcript.c_str() : nullptr;
    double cpu = 0.0;
    for (auto _ : state) {
        VOXTRAIL_ANALYSIS* analysis = nullptr;
        const double before = ProcessCpuSeconds();
        const uint32_t code =
            VoxtrailGetAnalysis(&analysis, sample->sound.c_str(), transcript, &settings);
        cpu += ProcessCpuSeconds() - before;
        if (code != VOXTRAIL_NOERR) {
            char text[512];
            VoxtrailGetErrorString(code, sizeof text, text);
            state.SkipWithError(text);
            break;
        }
        VoxtrailFreeAnalysis(&analysis);
    }
    const double runs = double(state.iterations());
    state.counters["audio_s"] = sample->seconds;
    state.counters["cpu_s_per_audio_s"] = runs > 0 ? cpu / runs / sample->seconds : 0.0;
    state.counters["peak_rss_mb"] = PeakRssMegabytes();
}

} // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/vx_analysis_bench_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    gWork = pattern;

    const std::string data = DataFolder();
    if (VoxtrailStartupLibrary(data.c_str()) != VOXTRAIL_NOERR) {
        std::fprintf(stderr, "analysis_bench: the engine does not start on %s\n", data.c_str());
        return 1;
    }

    static std::vector<TSample> samples;
    samples.reserve(3);
    std::string speechNote = "ljspeech corpus";
    for (double target : {10.0, 60.0, 300.0}) {
        TSample sample;
        const std::string name = "speech" + std::to_string(int(target));
        if (!CorpusSample(target, name, sample)) {
            sample = TSample();
            speechNote = "looped evaluation sound";
            if (!LoopedSample(target, name, sample)) {
                std::fprintf(stderr, "analysis_bench: cannot make %s (needs sox)\n", name.c_str());
                return 1;
            }
        }
        samples.push_back(sample);
    }
    benchmark::AddCustomContext("data", gDataNote);
    benchmark::AddCustomContext("speech", speechNote);

    for (const TSample& sample : samples)
        for (bool transcript : {false, true}) {
            const std::string name = "BM_Analysis/" +
                                     std::to_string(int(std::lround(sample.seconds))) + "s/" +
                                     (transcript ? "transcript" : "free");
            benchmark::RegisterBenchmark(name.c_str(), BM_Analysis, &sample, transcript)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(0.5);
        }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    VoxtrailShutdownLibrary();
    std::error_code ignored;
    fs::remove_all(gWork, ignored);
    return 0;
}
