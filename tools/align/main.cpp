// vx-align: runs the recognition entry on sounds, with or without their transcripts, and prints
// the timed phonemes (and words), for labelling training speech and measuring the recognizer.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../common/analysis_sound.h"
#include "data_paths.h"
#include "digital_audio.h"
#include "errors.h"
#include "recognizer.h"
#include "trace.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: vx-align [--data DIR] [--to-8k] [--trace] SOUND [TRANSCRIPT]\n"
        "       vx-align [--data DIR] [--to-8k] [--trace] --list FILE\n"
        "  Recognizes SOUND (free phoneme loop, or aligned to TRANSCRIPT) with the data\n"
        "  files in DIR (default .) and prints 'P start_ms end_ms phoneme' and\n"
        "  'W start_ms end_ms word' lines. --list reads lines 'SOUND<TAB>TRANSCRIPT'\n"
        "  (the transcript may be empty) and prints '# SOUND' before each result.\n"
        "  --to-8k brings a 16 kHz sound to 8 kHz first; --trace shows the engine trace.\n");
    return 2;
}

void ToStderr(const char* text) {
    std::fputs(text, stderr);
}

// Result code of one sound; its segments go to stdout.
int Align(const Vantrix::TDataPaths& paths, const std::string& soundPath,
          const std::string& transcript, bool to8k) {
    try {
        Vantrix::TDigitalAudio sound(soundPath.c_str());
        if (!VxTools::PrepareAnalysisSound(sound, soundPath.c_str(), to8k)) return 1;
        Vantrix::TPhonemeRecognizer recognizer(paths);
        Vantrix::TPhonemeList phonemes;
        Vantrix::TWordList words;
        double misfit = 0.0;
        const int32_t code = Vantrix::recognizePhonemes(recognizer, sound, transcript, phonemes,
                                                        words, nullptr, &misfit);
        if (!transcript.empty()) std::fprintf(stderr, "transcript misfit %.2f\n", misfit);
        if (code != 0) {
            std::fprintf(stderr, "%s: recognition failed (%s)\n", soundPath.c_str(),
                         Vantrix::NameOf(Vantrix::EErrorType(code)));
            return 1;
        }
        for (int32_t i = 0; i < words.Count(); ++i)
            std::printf("W %d %d %s\n", words[i].StartMs(), words[i].EndMs(),
                        words[i].Text().c_str());
        for (int32_t i = 0; i < phonemes.Count(); ++i)
            std::printf("P %d %d %s\n", phonemes[i].StartMs(), phonemes[i].EndMs(),
                        phonemes[i].Name());
        return 0;
    } catch (const Vantrix::TDigitalAudioError& error) {
        std::fprintf(stderr, "%s: %s\n", soundPath.c_str(), error.what());
    } catch (Vantrix::EErrorType kind) {
        std::fprintf(stderr, "%s: %s: %s\n", soundPath.c_str(), Vantrix::NameOf(kind),
                     Vantrix::TextOf(kind));
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string data = ".", list;
    bool to8k = false;
    std::vector<const char*> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--to-8k") == 0)
            to8k = true;
        else if (std::strcmp(argv[i], "--trace") == 0)
            Vantrix::SetTraceSink(ToStderr);
        else if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc)
            data = argv[++i];
        else if (std::strcmp(argv[i], "--list") == 0 && i + 1 < argc)
            list = argv[++i];
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage();
        else
            args.push_back(argv[i]);
    }
    Vantrix::TDataPaths paths;
    paths.SetDataFolder(data);
    if (!paths.DataPresent()) {
        std::fprintf(stderr, "%s: the six data files are not all there\n", data.c_str());
        return 1;
    }
    if (list.empty()) {
        if (args.empty() || args.size() > 2) return Usage();
        return Align(paths, args[0], args.size() > 1 ? args[1] : "", to8k);
    }
    if (!args.empty()) return Usage();
    std::FILE* file = std::fopen(list.c_str(), "r");
    if (!file) {
        std::fprintf(stderr, "%s: cannot open\n", list.c_str());
        return 1;
    }
    int failures = 0;
    std::string line;
    for (int c = std::fgetc(file);; c = std::fgetc(file)) {
        if (c != '\n' && c != EOF) {
            line.push_back(char(c));
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) {
            const size_t tab = line.find('\t');
            const std::string sound = line.substr(0, tab);
            const std::string transcript = tab == std::string::npos ? "" : line.substr(tab + 1);
            std::printf("# %s\n", sound.c_str());
            failures += Align(paths, sound, transcript, to8k) != 0;
            std::fflush(stdout);
        }
        line.clear();
        if (c == EOF) break;
    }
    std::fclose(file);
    return failures ? 1 : 0;
}
