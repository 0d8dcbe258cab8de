#include <pocketsphinx.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "sound_16k.h"
#include "word_recognizer.h"

namespace Vantrix {

namespace {

constexpr const char* kModelPackage = "pocketsphinx-en-us";
constexpr int kFramesPerSecond = 100;

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// A word the decoder put where the voice detector heard no speech is noise it took for one.
bool mostlyVoiced(const std::vector<bool>& voiced, int sf, int ef) {
    int inside = 0;
    for (int f = std::max(sf, 0); f <= ef && size_t(f) < voiced.size(); ++f)
        inside += voiced[size_t(f)];
    return 2 * inside > ef - sf + 1;
}

// Fillers (<sil>, [NOISE], ++UM++), sentence marks and empty entries carry no mouth shapes.
bool isWord(const char* w) {
    return w && *w && *w != '<' && *w != '[' && *w != '+';
}

// "read(2)" -> "read", lower case.
std::string spelling(const char* w) {
    std::string s(w);
    size_t paren = s.find('(');
    if (paren != std::string::npos && paren > 0 && s.back() == ')') s.erase(paren);
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class TPocketSphinxRecognizer : public IWordRecognizer {
public:
    TPocketSphinxRecognizer(cmd_ln_t* config, ps_decoder_t* decoder, fe_t* speechGate)
        : config(config), decoder(decoder), speechGate(speechGate) {}
    ~TPocketSphinxRecognizer() override {
        fe_free(speechGate);
        ps_free(decoder);
        cmd_ln_free_r(config);
    }
    TPocketSphinxRecognizer(const TPocketSphinxRecognizer&) = delete;
    TPocketSphinxRecognizer& operator=(const TPocketSphinxRecognizer&) = delete;

    bool Recognize(const std::string& soundPath, TWordRecognition& out,
                   std::string& error) override {
        std::vector<int16_t> samples;
        int rate = 0;
        if (!readSound16k(soundPath, samples, rate, error)) return false;
        out.recognizer = "pocketsphinx en-us";
        out.words.clear();
        if (samples.empty()) return true;
        const std::vector<bool> voiced = voicedFrames(samples);
        if (std::find(voiced.begin(), voiced.end(), true) == voiced.end()) return true;
        if (ps_start_utt(decoder) < 0 ||
            ps_process_raw(decoder, samples.data(), samples.size(), FALSE, TRUE) < 0 ||
            ps_end_utt(decoder) < 0) {
            error = "the word recogniser failed on sound file " + soundPath;
            return false;
        }
        const double duration = double(samples.size()) / kWordModelRate;
        for (ps_seg_t* seg = ps_seg_iter(decoder); seg; seg = ps_seg_next(seg)) {
            const char* w = ps_seg_word(seg);
            if (!isWord(w)) continue;
            int sf = 0, ef = 0;
            ps_seg_frames(seg, &sf, &ef);
            if (!mostlyVoiced(voiced, sf, ef)) continue;
            TRecognizedWord word;
            word.text = spelling(w);
            word.start = std::min(double(sf) / kFramesPerSecond, duration);
            word.end = std::min(double(ef + 1) / kFramesPerSecond, duration);
            out.words.push_back(word);
        }
        return true;
    }

private:
    // Which 10 ms frames the voice detector takes for speech: silence, steady noise and tones
    // have none, and the decoder would otherwise fill them with invented words.
    std::vector<bool> voicedFrames(const std::vector<int16_t>& samples) {
        const size_t width = size_t(fe_get_output_size(speechGate));
        std::vector<mfcc_t> cepstra(kGateBlock * width);
        std::vector<mfcc_t*> rows(kGateBlock);
        for (size_t i = 0; i < kGateBlock; ++i)
            rows[i] = cepstra.data() + i * width;
        std::vector<bool> voiced(samples.size() / 160 + 2, false);
        const int16* in = samples.data();
        size_t left = samples.size(), next = 0;
        fe_start_stream(speechGate); // frame numbers count from this sound's start
        fe_start_utt(speechGate);
        while (left > 0) {
            // One frame shift at a time, so the frames one call returns are consecutive.
            size_t block = std::min<size_t>(left, 160), rest = left - block;
            int32 frames = kGateBlock, first = 0;
            if (fe_process_frames(speechGate, &in, &block, rows.data(), &frames, &first) < 0) break;
            // The detector names the first frame of a stretch of speech only where it starts.
            if (frames > 0 && first > 0) next = size_t(first);
            for (int32 k = 0; k < frames; ++k, ++next)
                if (next < voiced.size()) voiced[next] = true;
            left = rest + block;
        }
        int32 last = 0;
        fe_end_utt(speechGate, rows[0], &last);
        return voiced;
    }

    static constexpr size_t kGateBlock = 256;
    cmd_ln_t* config;
    ps_decoder_t* decoder;
    fe_t* speechGate;
};

} // namespace

bool PrefersPhonemeLoop(int sampleRate) {
    // Measured on telephone copies of read speech: the recogniser on 8 kHz brought up to its
    // 16 kHz model makes more phone and mouth-shape errors than the engine's own 8 kHz loop.
    return sampleRate < kWordModelRate;
}

std::unique_ptr<IWordRecognizer> CreatePocketSphinxRecognizer(const std::string& modelFolder,
                                                              std::string& error) {
    std::string folder = modelFolder;
    if (folder.empty()) {
        const char* env = std::getenv("VOXTRAIL_WORDS_MODEL");
        folder = env && *env ? env : VX_WORDS_DEFAULT_MODEL;
    }
    const std::string hmm = folder + "/en-us", dict = folder + "/cmudict-en-us.dict",
                      lm = folder + "/en-us.lm.bin";
    for (const std::string& part : {hmm + "/mdef", dict, lm}) {
        if (!exists(part)) {
            error = "word recognition model missing: " + part + " (install the package " +
                    kModelPackage + ")";
            return nullptr;
        }
    }
    // Timings must count every frame, so the decoder keeps silence (no voice detection).
    // Two Gaussians per senone and tighter per-frame limits: about 40% less decoding time
    // than PocketSphinx's defaults for a few more word errors (tuned on voices outside the
    // measured set).
    // clang-format off
    std::vector<std::string> args = {"-hmm", hmm, "-dict", dict, "-lm", lm,
                                     "-remove_silence", "no",
                                     "-topn", "2", "-maxhmmpf", "3000", "-maxwpf", "10",
                                     "-logfn", "/dev/null"};
    // clang-format on
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), int(argv.size()), argv.data(), TRUE);
    if (!config) {
        error = "the word recogniser did not accept its settings";
        return nullptr;
    }
    ps_decoder_t* decoder = ps_init(config);
    if (!decoder) {
        cmd_ln_free_r(config);
        error = "the word recognition model in " + folder +
                " did not load (reinstall the package " + kModelPackage + ")";
        return nullptr;
    }
    // The voice detector on the model's own front-end settings (read by ps_init from the model).
    cmd_ln_set_boolean_r(config, "-remove_silence", TRUE);
    fe_t* gate = fe_init_auto_r(config);
    cmd_ln_set_boolean_r(config, "-remove_silence", FALSE);
    if (!gate) {
        ps_free(decoder);
        cmd_ln_free_r(config);
        error = "the word recogniser's voice detector did not start";
        return nullptr;
    }
    return std::make_unique<TPocketSphinxRecognizer>(config, decoder, gate);
}

} // namespace Vantrix
