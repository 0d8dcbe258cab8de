// vx-soundinfo: loads sound files the way an analysis does and prints what the engine sees.
#include <cmath>
#include <cstdio>

#include "audio_file.h"
#include "digital_audio.h"

namespace {

const char* TypeName(Vantrix::AudioFileType type) {
    switch (type) {
    case Vantrix::kAudioFileWave:
        return "RIFF/WAVE";
    case Vantrix::kAudioFileAiff:
        return "AIFF";
    case Vantrix::kAudioFileSphere:
        return "NIST SPHERE";
    default:
        return "unknown";
    }
}

void Levels(const Vantrix::TDigitalAudio& audio, double& peak, double& rmsDb) {
    peak = 0;
    double sum = 0;
    for (uint32_t i = 0; i < audio.getSampleCount(); ++i) {
        double x = audio.getSamples()[i];
        peak = std::fmax(peak, std::fabs(x));
        sum += x * x;
    }
    double full = audio.getBitsPerSample() == 8 ? 128.0 : 32768.0;
    double rms = audio.getSampleCount() ? std::sqrt(sum / audio.getSampleCount()) : 0.0;
    rmsDb = rms > 0 ? 20 * std::log10(rms / full) : -INFINITY;
}

int Describe(const char* path) {
    Vantrix::AudioFileType type = -1;
    uint32_t bits = 0, rate = 0, channels = 0, count = 0;
    bool pcm = false;
    Vantrix::getAudioFileInfo(path, type, bits, rate, channels, count, pcm);
    try {
        Vantrix::TDigitalAudio audio(path);
        double peak = 0, rmsDb = 0;
        Levels(audio, peak, rmsDb);
        std::printf("%s\n  file: %s, %u-bit, %u Hz, %u channel(s)\n", path, TypeName(type),
                    audio.getBitsPerSample(), audio.getSampleRate(), channels);
        std::printf("  loaded: %u mono samples, %.1f ms, peak %.0f, RMS %.1f dBFS, %s\n",
                    audio.getSampleCount(), audio.getDurationMs(), peak, rmsDb,
                    Vantrix::isAudioUsable(audio) ? "usable" : "NOT usable for analysis");
        if (audio.normaliseSampleRate())
            std::printf("  for recognition: %u samples at %u Hz\n", audio.getSampleCount(),
                        audio.getSampleRate());
        else
            std::printf("  for recognition: cannot be brought to 8 or 16 kHz\n");
        return 0;
    } catch (const Vantrix::TDigitalAudioError& error) {
        std::fprintf(stderr, "%s: %s\n", path, error.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vx-soundinfo SOUND...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i)
        status |= Describe(argv[i]);
    return status;
}
