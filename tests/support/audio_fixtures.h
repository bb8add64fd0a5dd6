#pragma once
// Audio fixtures for tests and benchmarks: our own 16-bit PCM WAV writer and
// reader, MP3 files generated with the lame tool, and a temporary folder.
// Kept free of GoogleTest because the benchmarks compile it as well.
#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

struct Wav {
    int rate = 0; // 0 when the file could not be read
    int channels = 0;
    std::vector<int16_t> samples; // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// Writes interleaved 16-bit samples as a RIFF/WAVE PCM file.
bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels);
// Reads a 16-bit PCM WAV file, skipping chunks other than "fmt " and "data".
Wav readWav(const std::string& path);

// Interleaved sine samples, the same tone on every channel; amplitude 0..1.
std::vector<int16_t> sineSamples(double seconds, double freqHz, double amplitude, int rate,
                                 int channels);
// Amplitude of one frequency (Goertzel) in each window of the left channel,
// back to back from the start; a full-scale sine reads 1.
std::vector<double> toneLevels(const Wav& wav, double freqHz, double windowSeconds);
// Encodes a WAV file with lame: CBR 128 kbit/s, or VBR quality 2.
bool encodeMp3(const std::string& wavPath, const std::string& mp3Path, bool vbr = false);
// A sine MP3 of round(seconds * rate) samples per channel (the exact decoded
// length, since lame writes a gapless tag).
bool makeSineMp3(const std::string& path, double seconds, double freqHz, double amplitude,
                 int rate = 44100, int channels = 2, bool vbr = false);
// Decodes an MP3 with `lame --decode`; the number of samples per channel, -1 on failure.
int64_t lameDecodedFrames(const std::string& mp3Path, const std::string& scratchWavPath);

// A file of `size` bytes with `head` at its start and `tail` at its end; the
// rest is a hole, which takes no disk space where the file system allows.
bool writeSparse(const std::string& path, const std::string& head, int64_t size,
                 const std::string& tail = {});
// The 10-byte header of an ID3v2.4 tag of `bytes` bytes after it (at most 2^28 - 1).
std::string id3v2Header(uint32_t bytes);
// The files that once stalled a probe, made from the bytes of an admissible
// MP3: the song followed by zeros up to 1 GiB, 256 MiB of zeros before it,
// and the song behind a 256 MiB ID3v2 tag. Their names, in that order.
std::vector<std::string> writeHugeFiles(const std::string& folder, const std::string& mp3);

// Puts the real decoder into `folder`, as the program looks for it there.
void linkDecoder(const std::string& folder);
// The encoder the fixtures are made with, as a command.
std::string lameCommand();
// The real decoder's path, for the stand-in's `decode` step.
std::string decoderPath();
// The stand-in decoder (tests/support/fake_decoder/main.cpp) as `folder`'s
// decoder, doing `steps` for every song it is given; answers its path.
std::string installFakeDecoder(const std::string& folder, const std::string& steps);

// Runs a program with an argument vector (no shell), output discarded.
// Returns its exit status, or -1 when it could not be run.
int runProgram(const std::vector<std::string>& argv);

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

} // namespace fixtures
