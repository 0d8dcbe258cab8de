// voxtrail: runs one analysis through the engine's public interface and prints it.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis_output.h"
#include "phoneme_data.h"
#include "voxtrail.h"

#ifndef VOXTRAIL_INSTALLED_DATA
#define VOXTRAIL_INSTALLED_DATA ""
#endif
// The installed data relative to the installed tool: "../share/voxtrail/KvParlo/Data".
#ifndef VOXTRAIL_DATA_FROM_BIN
#define VOXTRAIL_DATA_FROM_BIN ""
#endif
#ifndef VOXTRAIL_SOURCE_DATA
#define VOXTRAIL_SOURCE_DATA ""
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: voxtrail analyze SOUND [--text TEXT | --text-file FILE] [--config INI] [--fps N]\n"
    "                        [--seed N] [--fast] [--data DIR] [--format json|tsv|phonemedata]\n"
    "                        [--output FILE]\n"
    "       voxtrail --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Finds the timed phonemes and words of a recorded voice (WAV, AIFF or NIST SPHERE) and the\n"
    "animation tracks they drive, and prints them.\n"
    "\n"
    "options:\n"
    "  --text TEXT       what is said; \"\" analyses without a transcript (default: the file\n"
    "                    beside SOUND with the extension .txt, when there is one)\n"
    "  --text-file FILE  read what is said from FILE\n"
    "  --config INI      speech-target configuration file (default: the built-in mapping)\n"
    "  --fps N           rate of the engine's own frame sampling, 1 to 1000 (default 30); the\n"
    "                    keys printed do not depend on it\n"
    "  --seed N          seed of the gestures; -1 takes the clock (default -1)\n"
    "  --fast            the fast variant of lip synching (default off)\n"
    "  --data DIR        folder of the six engine data files (default: $VOXTRAIL_DATA, else the\n"
    "                    data installed with this tool, else the source tree's)\n"
    "  --format FORMAT   json (default): everything, times in seconds; tsv: one phoneme per\n"
    "                    line (start, end, name); phonemedata: the plug-in's phoneme data file\n"
    "  --output FILE     write the result to FILE, replaced only once complete (default -:\n"
    "                    standard output)\n"
    "  -h, --help        print this help and exit\n"
    "  --version         print the version and exit\n"
    "\n"
    "exit status: 0 success, 1 engine or file error, 2 usage error\n";

// Options that take a value; the rest are flags.
bool TakesValue(const std::string& option) {
    for (const char* name :
         {"--text", "--text-file", "--config", "--fps", "--seed", "--data", "--format", "--output"})
        if (option == name) return true;
    return false;
}

struct TOptions {
    std::string sound;
    bool haveText = false;
    std::string text;
    std::string textFile;
    std::string config;
    int32_t fps = 30;
    int32_t seed = -1;
    bool fast = false;
    std::string data;
    std::string format = "json";
    std::string output;
};

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "voxtrail: %s\n", problem);
    std::fputs(kUsage, stderr);
    std::fputs("Try 'voxtrail --help' for the options.\n", stderr);
    return kExitUsage;
}

int Help() {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return -1;
}

int Version() {
    char version[32] = {};
    VoxtrailGetVersion(sizeof version, version);
    std::printf("voxtrail %s\n", version);
    return -1;
}

bool ParseInt(const char* text, int32_t& value) {
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = int32_t(parsed);
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    text = buffer.str();
    return true;
}

// Reads a transcript file; false, with the reason on standard error, for anything that is not
// a readable text file (a folder reads as empty, a NUL byte would cut the text short).
bool ReadTranscript(const std::string& path, std::string& text) {
    const char* problem = nullptr;
    if (IsDirectory(path))
        problem = "is a folder, not a text file";
    else if (!ReadFile(path, text))
        problem = "cannot be read";
    else if (text.find('\0') != std::string::npos)
        problem = "holds a NUL byte: it is not a text file";
    if (!problem) return true;
    std::fprintf(stderr, "voxtrail: the transcript file '%s' %s\n", path.c_str(), problem);
    return false;
}

// The data beside this executable as installed, whatever prefix the install was given; empty
// when there is none (a build tree).
std::string DataBesideExecutable() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !*VOXTRAIL_DATA_FROM_BIN) return "";
    const std::filesystem::path data =
        std::filesystem::weakly_canonical(self.parent_path() / VOXTRAIL_DATA_FROM_BIN, error);
    return !error && IsDirectory(data.string()) ? data.string() : "";
}

// --data, then $VOXTRAIL_DATA, then the data installed with this tool, then the configured
// install location, then the source tree's.
std::string DataFolder(const TOptions& options) {
    if (!options.data.empty()) return options.data;
    if (const char* env = std::getenv("VOXTRAIL_DATA"); env && *env) return env;
    if (const std::string beside = DataBesideExecutable(); !beside.empty()) return beside;
    if (*VOXTRAIL_INSTALLED_DATA && IsDirectory(VOXTRAIL_INSTALLED_DATA))
        return VOXTRAIL_INSTALLED_DATA;
    return VOXTRAIL_SOURCE_DATA;
}

// The sound's name with its extension replaced by .txt.
std::string TranscriptBeside(const std::string& sound) {
    const size_t slash = sound.find_last_of('/');
    const size_t dot = sound.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? sound.substr(0, dot) : sound) + ".txt";
}

std::string ErrorText(uint32_t code) {
    char text[1024] = {};
    VoxtrailGetErrorString(code, sizeof text, text);
    return text;
}

// The failure's detail (the engine appends it in brackets); the message when there is none.
std::string DetailOf(uint32_t code) {
    const std::string text = ErrorText(code);
    const size_t open = text.rfind(" [");
    if (open == std::string::npos || text.back() != ']') return text;
    return text.substr(open + 2, text.size() - open - 3);
}

// An analysis failure in the user's terms: which of their inputs, and what is wrong with it,
// with the engine's code name for reference.
std::string AnalysisFailure(uint32_t code, const TOptions& options) {
    const std::string text = ErrorText(code);
    const std::string name = " (" + text.substr(0, text.find(':')) + ")";
    const std::string detail = DetailOf(code);
    switch (code) {
    case VOXTRAIL_CONFIG_PARSE_ERROR:
        return "the configuration file '" + options.config + "' is invalid: " + detail + name;
    case VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR:
        return "cannot read the sound '" + options.sound + "': " + detail + name;
    case VOXTRAIL_ANALYSIS_FAILED_ERR:
        return "the analysis of '" + options.sound + "' failed: " + detail + name;
    case VOXTRAIL_INVALID_PARAMETER_ERR:
        return detail + name;
    default:
        return options.sound + ": " + text;
    }
}

// Writes text to path through a temporary file beside it, so that a failure leaves nothing
// half-written. Returns an empty string or the reason for the failure.
std::string WriteAtomically(const std::string& path, const std::string& text) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return std::strerror(errno);
    std::string problem;
    size_t written = 0;
    while (written < text.size() && problem.empty()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            problem = std::strerror(errno);
        } else {
            written += size_t(n);
        }
    }
    // The file keeps the permissions a plain create would give it.
    const mode_t mask = umask(0);
    umask(mask);
    if (problem.empty() && fchmod(fd, 0666 & ~mask) != 0) problem = std::strerror(errno);
    if (close(fd) != 0 && problem.empty()) problem = std::strerror(errno);
    if (problem.empty() && std::rename(temp.c_str(), path.c_str()) != 0)
        problem = std::strerror(errno);
    if (!problem.empty()) unlink(temp.c_str());
    return problem;
}

int ParseArguments(int argc, char** argv, TOptions& options) {
    if (argc < 2) return Usage(nullptr);
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") return Help();
    if (command == "--version") return Version();
    if (command != "analyze") return Usage(("unknown command '" + command + "'").c_str());
    bool haveTextFile = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (arg == "--fast") {
            options.fast = true;
        } else if (arg == "--help" || arg == "-h") {
            return Help();
        } else if (arg == "--version") {
            return Version();
        } else if (arg.size() > 1 && arg[0] == '-' && !TakesValue(arg)) {
            return Usage(("unknown option '" + arg + "'").c_str());
        } else if (TakesValue(arg)) {
            if (!value(v)) return Usage((arg + " needs a value").c_str());
            if (arg == "--text") {
                options.haveText = true;
                options.text = v;
            } else if (arg == "--text-file") {
                haveTextFile = true;
                options.textFile = v;
            } else if (arg == "--config") {
                options.config = v;
            } else if (arg == "--fps") {
                if (!ParseInt(v, options.fps) || options.fps <= 0 ||
                    options.fps > VOXTRAIL_MAX_FRAMES_PER_SECOND)
                    return Usage("--fps needs a whole number from 1 to 1000");
            } else if (arg == "--seed") {
                if (!ParseInt(v, options.seed)) return Usage("--seed needs a whole number");
            } else if (arg == "--data") {
                options.data = v;
            } else if (arg == "--format") {
                options.format = v;
                if (options.format != "json" && options.format != "tsv" &&
                    options.format != "phonemedata")
                    return Usage("--format must be json, tsv or phonemedata");
            } else if (arg == "--output") {
                options.output = v;
                if (options.output.empty()) return Usage("--output needs a file name");
            }
        } else if (options.sound.empty() && !arg.empty()) {
            options.sound = arg;
        } else {
            return Usage(("unexpected argument '" + arg + "'").c_str());
        }
    }
    if (options.sound.empty()) return Usage("no sound file given");
    if (options.haveText && haveTextFile) return Usage("--text and --text-file exclude each other");
    if (haveTextFile) {
        if (!ReadTranscript(options.textFile, options.text)) return kExitFailure;
        options.haveText = true;
    } else if (!options.haveText) {
        const std::string beside = TranscriptBeside(options.sound);
        if (IsRegularFile(beside)) {
            if (!ReadTranscript(beside, options.text)) return kExitFailure;
            options.haveText = true;
        }
    }
    return 0;
}

// The analysis in the requested format; 0 or the code of a failing query.
uint32_t Render(VOXTRAIL_ANALYSIS* analysis, const TOptions& options, std::string& out) {
    if (options.format == "tsv") return Vantrix::FormatTsv(analysis, out);
    if (options.format == "phonemedata") {
        std::vector<std::string> problems;
        out = Vantrix::FormatPhonemeData(analysis, &problems);
        for (const std::string& problem : problems)
            std::fprintf(stderr, "voxtrail: %s\n", problem.c_str());
        return problems.empty() ? VOXTRAIL_NOERR : VOXTRAIL_ERROR;
    }
    return Vantrix::FormatJson(analysis, options.sound, options.fps, out);
}

int Analyze(const TOptions& options) {
    const std::string data = DataFolder(options);
    uint32_t code = VoxtrailStartupLibrary(data.c_str());
    if (code != VOXTRAIL_NOERR) {
        std::fprintf(stderr, "voxtrail: cannot start the engine with the data folder '%s': %s\n",
                     data.c_str(), ErrorText(code).c_str());
        VoxtrailShutdownLibrary();
        return kExitFailure;
    }

    VOXTRAIL_ANALYSIS_SETTINGS settings = {};
    settings.size = sizeof settings;
    settings.framesPerSecond = options.fps;
    settings.fastFlag = options.fast ? 1 : 0;
    settings.randomSeed = options.seed;
    settings.configFile = options.config.empty() ? nullptr : options.config.c_str();

    VOXTRAIL_ANALYSIS* analysis = nullptr;
    const char* transcript =
        options.haveText && !options.text.empty() ? options.text.c_str() : nullptr;
    code = VoxtrailGetAnalysis(&analysis, options.sound.c_str(), transcript, &settings);
    if (code != VOXTRAIL_NOERR) {
        std::fprintf(stderr, "voxtrail: %s\n", AnalysisFailure(code, options).c_str());
        VoxtrailShutdownLibrary();
        return kExitFailure;
    }

    // A warning of the engine rides on the success message, until the next call.
    const std::string success = ErrorText(VOXTRAIL_NOERR);
    const size_t warning = success.find(" [warning: ");
    if (warning != std::string::npos && success.back() == ']')
        std::fprintf(stderr, "voxtrail: %s\n",
                     success.substr(warning + 2, success.size() - warning - 3).c_str());

    // The engine falls back to finding phonemes alone; the user should know the text went unused.
    int32_t wordCount = 0;
    if (transcript && options.text.find_first_not_of(" \t\r\n") != std::string::npos &&
        VoxtrailGetNumWords(analysis, &wordCount) == VOXTRAIL_NOERR && wordCount == 0)
        std::fprintf(stderr, "voxtrail: warning: no word of the transcript could be aligned; "
                             "the phonemes were found without it\n");

    std::string out;
    code = Render(analysis, options, out);
    VoxtrailFreeAnalysis(&analysis);
    VoxtrailShutdownLibrary();
    if (code != VOXTRAIL_NOERR) {
        std::fprintf(stderr, "voxtrail: reading the analysis failed: %s\n",
                     ErrorText(code).c_str());
        return kExitFailure;
    }

    if (options.output.empty() || options.output == "-") {
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() ||
            std::fflush(stdout) != 0) {
            std::fprintf(stderr, "voxtrail: cannot write to standard output: %s\n",
                         std::strerror(errno));
            return kExitFailure;
        }
        return 0;
    }
    const std::string problem = WriteAtomically(options.output, out);
    if (!problem.empty()) {
        std::fprintf(stderr, "voxtrail: cannot write '%s': %s\n", options.output.c_str(),
                     problem.c_str());
        return kExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed < 0) return 0;
    if (parsed > 0) return parsed;
    return Analyze(options);
}
