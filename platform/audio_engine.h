#pragma once
// The audio engine behind the MCI command strings: one stream per open alias
// (audio_stream.h), decoded by libmpg123 and mixed into one output sink
// (audio_sink.h). Owns the streams and the sink; only the command interpreter
// (mci.cpp), the start-up code and the backends call it, all from the main
// thread.
#include <cstdint>
#include <string>

namespace audio {

constexpr int kOutputRate = 44100;

enum class SinkKind {
    Device,  // SDL audio device in real time; silent time-keeping sink when none opens
    Null,    // virtual time: positions advance with the clock, nothing is decoded
    WavFile, // virtual time: the real mix rendered to a 16-bit stereo WAV file
};

// Starts the engine with the given sink. For WavFile, `wavPath` names the file.
// Returns false only when a WAV file cannot be created (the engine then runs
// with the null sink).
bool start(SinkKind kind, const std::string& wavPath = {});
// Stops the worker and the device, closes every stream and finishes the WAV file.
void shutdown();
// The sink in use now: "device", "silent" (the device or WAV sink without
// its device), "null" or "wav".
std::string sinkName();
// Why the device sink went silent, when it did.
std::string deviceError();

// Virtual-time sinks only: consume (and for WavFile, render) the output up to
// `seconds` on the virtual clock, counted from the clock at start(). Does
// nothing for the device sink.
void advanceTo(double seconds);
// The device went away: carry on with the silent sink, positions advancing in
// real time. `device` is SDL's id of the removed device (0: ours, whichever it
// is); another device going away changes nothing. For the WAV sink it stands
// in for a lost device: silence is rendered until the device is given back.
void deviceLost(uint32_t device = 0);
// A device appeared: the next reopenDevice() is worth trying at once.
void deviceAdded();
bool deviceAddedSinceLastTry();
// While silent, opens the device again; on success every playing stream goes
// on from where the silent clock has it. True when the sound is back. For the
// WAV sink it succeeds once the test hook below gives the device back.
bool reopenDevice();
// Test hook of the WAV sink: while withheld, reopenDevice() fails.
void withholdDevice(bool withheld);

// Stream operations. Aliases arrive upper-cased. Each returns false when the
// alias is not open or the request is out of range; nothing changes then.
bool open(const std::string& alias, const std::string& path);
bool close(const std::string& alias);
bool play(const std::string& alias, int64_t fromMs);
bool stop(const std::string& alias);
// Linear amplitude volume / 1000, ramped so that a change never clicks.
bool setVolume(const std::string& alias, int volume);
// A gain stage behind the volume, in thousandths (0 to kMaxBoost): the level
// match, which may lift a quiet song above its recorded level.
constexpr int kMaxBoost = 4000;
bool setBoost(const std::string& alias, int boost);
bool lengthMs(const std::string& alias, int64_t& out);
bool positionMs(const std::string& alias, int64_t& out);
bool isPlaying(const std::string& alias);
int openStreamCount();

// Exact length in milliseconds of an MP3 file from its decoded sample count.
// 0 when the file holds no MPEG audio: another format under an MP3 name, no
// run of frames within the first megabytes after its ID3v2 tag, or frames
// that decode to noise (open() refuses the same files). Reads frame headers
// through a small window, never the whole file, and gives up on a run of
// zeros or garbage a few megabytes long.
int64_t probeLengthMs(const std::string& path);
// Bytes the last open() or probe read of its file: the work it took, which
// the command layer charges in virtual time.
int64_t measuredBytes();

} // namespace audio
