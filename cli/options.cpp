#include "options.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <CLI/CLI.hpp>

#include "voxtrail.h"

namespace Vantrix {

namespace {

constexpr const char* kUsage =
    "usage: voxtrail analyze SOUND... [options]   analyse sounds and print or write the result\n"
    "       voxtrail plot SOUND [options] -o OUT.svg  draw the result as a picture\n"
    "       voxtrail --help | --version\n";

constexpr const char* kFooter =
    "The keys do not depend on --fps: it sets the engine's own frame sampling and the frames of\n"
    "--frames, moho and shapes-* output.\n"
    "\n"
    "exit status: 0 success, 1 engine or file error, 2 usage error";

const std::vector<std::string> kFormats = {"json",       "tsv",         "phonemedata", "moho",
                                           "shapes-tsv", "shapes-json", "textgrid"};

// The sounds a --batch list names, one per line, after those already given; blank lines and
// lines starting with # are skipped.
bool ReadList(const std::string& path, std::vector<std::string>& sounds) {
    std::ifstream in(path);
    if (!in || std::filesystem::is_directory(path)) {
        std::fprintf(stderr, "voxtrail: cannot read the list of sounds '%s'\n", path.c_str());
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        const size_t first = line.find_first_not_of(" \t\r");
        const size_t last = line.find_last_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        sounds.push_back(line.substr(first, last - first + 1));
    }
    if (in.bad()) {
        std::fprintf(stderr, "voxtrail: cannot read the list of sounds '%s'\n", path.c_str());
        return false;
    }
    return true;
}

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "voxtrail: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    std::fputs("Try 'voxtrail --help' for the options.\n", stderr);
    return kExitUsage;
}

// The options analyze and plot share.
void AddAnalysisOptions(CLI::App& app, TOptions& o) {
    app.add_option("--text", o.text,
                   "what is said; \"\" analyses without a transcript (default: the file beside "
                   "SOUND with the extension .txt, when there is one)");
    app.add_option("--text-file", o.textFile, "read what is said from FILE")->type_name("FILE");
    app.add_option("--config", o.config,
                   "speech-target configuration file (default: the built-in mapping)")
        ->type_name("INI");
    app.add_option("--shapes", o.shapes,
                   "mouth-shape set naming the tracks: cartoon, a-h-x, visemes or blendshapes "
                   "(data/mouth-shapes; default: the built-in unnamed targets)")
        ->type_name("NAME");
    app.add_option("--fps", o.fps, "frames per second, 1 to 1000 (default 30)")->type_name("N");
    app.add_option("--seed", o.seed, "seed of the gestures; -1 takes the clock (default -1)")
        ->type_name("N");
    app.add_flag("--fast", o.fast, "the fast variant of lip synching (default off)");
    app.add_option("--data", o.data,
                   "folder of the six engine data files (default: $VOXTRAIL_DATA, else the data "
                   "installed with this tool, else the source tree's)")
        ->type_name("DIR");
    app.add_option("--recognizer", o.recognizer,
                   std::string("without a transcript: words (recognise the words, then align "
                               "them) or phonemes (the phoneme loop); default ") +
                       DefaultRecognizer())
        ->type_name("words|phonemes");
    app.add_option("-o,--output", o.output,
                   "write the result to FILE, replaced only once complete (default -: standard "
                   "output)")
        ->type_name("FILE");
}

} // namespace

const char* DefaultRecognizer() {
#ifdef VOXTRAIL_WITH_WORDS
    return "words";
#else
    return "phonemes";
#endif
}

int ParseOptions(int argc, char** argv, TOptions& o) {
    CLI::App app("Finds the timed phonemes and words of a recorded voice and the animation tracks "
                 "they drive.",
                 "voxtrail");
    app.set_help_flag("-h,--help", "print this help and exit");
    app.footer(kFooter);
    app.get_formatter()->column_width(26);
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, "print the version and exit");

    CLI::App* analyze =
        app.add_subcommand("analyze", "analyse sounds and print or write the result");
    analyze
        ->add_option("SOUND", o.sounds,
                     "sound files: WAV, AIFF, NIST SPHERE, FLAC, Ogg, MP3 and whatever else "
                     "libsndfile reads; sounds over 300 s are cut at pauses and joined")
        ->type_name("");
    AddAnalysisOptions(*analyze, o);
    analyze
        ->add_option("--format", o.format,
                     "json (default): everything, times in seconds; tsv: one phoneme per line "
                     "(start, end, name); phonemedata: the plug-in's phoneme data file; moho: "
                     "switch data; shapes-tsv, shapes-json: the shape per change; textgrid: "
                     "Praat TextGrid")
        ->type_name("FORMAT")
        ->check(CLI::IsMember(kFormats));
    analyze->add_flag("--frames", o.frames,
                      "add every track's value at each frame of --fps to the JSON (json only)");
    analyze
        ->add_option("--batch", o.batchList,
                     "also analyse the sounds named in LIST, one per line (relative to the "
                     "current folder; blank lines and lines starting with # skipped)")
        ->type_name("LIST");
    analyze
        ->add_option("-j,--jobs", o.jobs,
                     "analyses run at once, each in a process of its own (default 1)")
        ->type_name("N");
    analyze
        ->add_option("--output-dir", o.outputDir,
                     "write each result into DIR (made when missing), named after its sound with "
                     "the format's extension; needed with several sounds")
        ->type_name("DIR");

    CLI::App* plot =
        app.add_subcommand("plot", "draw the waveform, words, phonemes and curves as SVG");
    plot->add_option("SOUND", o.sounds, "the sound file")->expected(1)->type_name("");
    AddAnalysisOptions(*plot, o);
    plot->add_flag("--gestures", o.plotGestures, "draw the gesture curves too");

    for (CLI::App* sub : {analyze, plot}) {
        sub->set_help_flag("-h,--help", "print this help and exit");
        sub->footer(kFooter);
        sub->allow_extras();
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() != 0) return Usage(error.what());
        // The tool's own help shows every command's options; a command's help shows its own.
        if (argc == 2)
            std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), stdout);
        else
            app.exit(error);
        return -1;
    }
    if (version) {
        char text[32] = {};
        VoxtrailGetVersion(sizeof text, text);
        std::printf("voxtrail %s\n", text);
        return -1;
    }
    CLI::App* chosen = analyze->parsed() ? analyze : plot->parsed() ? plot : nullptr;
    if (!chosen) {
        if (!app.remaining().empty())
            return Usage("unknown command '" + app.remaining().front() + "'");
        return Usage("");
    }
    o.command = chosen->get_name();
    for (const std::string& extra : chosen->remaining())
        if (extra.size() > 1 && extra[0] == '-') return Usage("unknown option '" + extra + "'");
    if (!chosen->remaining().empty())
        return Usage("unexpected argument '" + chosen->remaining().front() + "'");

    o.haveText = chosen->count("--text") > 0;
    const bool haveTextFile = chosen->count("--text-file") > 0;
    if (o.haveText && haveTextFile) return Usage("--text and --text-file exclude each other");
    if (!o.config.empty() && !o.shapes.empty())
        return Usage("--config and --shapes exclude each other");
    if (o.fps <= 0 || o.fps > VOXTRAIL_MAX_FRAMES_PER_SECOND)
        return Usage("--fps needs a whole number from 1 to 1000");
    if (chosen->count("--output") && o.output.empty()) return Usage("--output needs a file name");
    o.recognizerChosen = !o.recognizer.empty();
    if (o.recognizer.empty()) o.recognizer = DefaultRecognizer();
    if (o.recognizer != "words" && o.recognizer != "phonemes")
        return Usage("--recognizer must be words or phonemes");
#ifndef VOXTRAIL_WITH_WORDS
    if (o.recognizer == "words")
        return Usage("this voxtrail was built without word recognition; use --recognizer phonemes");
#endif
    if (o.jobs < 1) return Usage("--jobs needs a whole number from 1");
    if (!o.batchList.empty() && !ReadList(o.batchList, o.sounds)) return kExitFailure;
    if (o.sounds.empty()) return Usage("no sound file given");
    if (!o.output.empty() && !o.outputDir.empty())
        return Usage("--output and --output-dir exclude each other");
    if (o.sounds.size() > 1) {
        if (!o.output.empty()) return Usage("--output takes one sound; use --output-dir DIR");
        if (o.outputDir.empty()) return Usage("several sounds need --output-dir DIR");
        if (o.haveText || haveTextFile)
            return Usage("--text and --text-file take one sound; with several, each sound's "
                         ".txt file beside it is its transcript");
    }
    if (o.command == "plot" && o.output.empty()) return Usage("plot needs -o OUT.svg");
    return 0;
}

} // namespace Vantrix
