// Sounds in any format libsndfile reads, and sounds longer than an analysis accepts: what the
// engine cannot read itself reaches it as private temporary 16-bit PCM WAV files, a piece at a
// time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vantrix {

// The longest sound one analysis accepts.
constexpr double kEngineMaxSeconds = 300.0;

// A file created with mkstemps, removed when the object goes, or when the process is ended by
// SIGINT, SIGTERM or SIGHUP. One at a time per process.
class TTempFile {
public:
    TTempFile() = default;
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    ~TTempFile();
    // Creates an empty file in $TMPDIR (else /tmp) and returns its descriptor, or -1.
    int Create(const char* suffix);
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Mono 16-bit samples of a sound.
struct TSamples {
    int32_t rate = 0;
    std::vector<int16_t> data;
    double Seconds() const { return rate > 0 ? double(data.size()) / rate : 0.0; }
};

// One part of a sound as the engine reads it.
struct TSoundPiece {
    std::string path;          // the user's file; empty for samples written out when analysed
    double offset = 0;         // where the piece starts in the user's sound, in seconds
    double duration = 0;       // 0 when the engine reads the user's file and measures it itself
    double speech = 0;         // seconds of speech in the piece (long sounds only)
    bool sndfile = true;       // libsndfile reads it (the word recogniser needs that)
    size_t begin = 0, end = 0; // its samples
};

struct TPreparedSound {
    std::vector<TSoundPiece> pieces;
    double duration = 0; // the whole sound's, when it was read here
    TSamples samples;    // when it was read here
};

// Makes sound readable by the engine: the file itself when the engine reads it (or libsndfile
// does not know it, for the engine to say why), else its samples in pieces the engine accepts.
// False with the reason (in the user's terms, without the sound's name) in error.
bool PrepareSound(const std::string& sound, TPreparedSound& prepared, std::string& error);

// The file the engine reads for a piece: the user's, or its samples written to temp, which
// lives as long as the analysis of the piece (one at a time: no disk filled by a long sound).
bool PiecePath(const TPreparedSound& prepared, size_t index, TTempFile& temp, std::string& path,
               std::string& error);

// Why a file neither libsndfile nor the engine reads is no sound, for the engine's own refusal
// in engineDetail.
std::string UnreadableReason(const std::string& sound, const std::string& engineDetail);

// Writes samples [begin, end) as a 16-bit PCM WAV file to an open descriptor (which it closes).
bool WriteWave(int fd, const TSamples& samples, size_t begin, size_t end, std::string& error);

} // namespace Vantrix
