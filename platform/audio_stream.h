#pragma once
// One open alias: its file's frames, its decoder and the ring of decoded
// frames that a sink mixes from, with its gain ramp and position; and the set
// of open streams the engine and its sinks share. Used by the audio engine
// and its sinks only.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio_engine.h"
#include "platform/mp3_file.h"

namespace audio {

constexpr int kChannels = 2;
constexpr int64_t kRingFrames = 32768;           // a little more than the worker's lead
constexpr int64_t kLeadFrames = kOutputRate / 2; // what the worker keeps decoded ahead
constexpr int64_t kFirstFillFrames = 4096;       // decoded by play() itself so sound starts at once
constexpr int64_t kChunkFrames = 4096;           // decode and render granularity
// 10 ms: short enough to follow a fade, long enough not to click.
constexpr int kRampFrames = kOutputRate / 100;

struct Stream {
    File file;
    std::vector<Span> spans;
    std::vector<Part> parts;
    int64_t lengthMs = 0;

    // Held by whoever decodes (worker, or the main thread in play() and the
    // WAV sink); never by the audio callback. The decoder reads the file
    // through its own window.
    std::mutex decodeMutex;
    std::vector<unsigned char> window;
    std::unique_ptr<Mpg123> decoder;
    size_t part = 0; // the part the decoder reads
    std::vector<float> scratch;

    // Held briefly by everyone, the callback included; guards all below.
    std::mutex mutex;
    std::vector<float> ring; // allocated by the first play on a decoding sink
    int64_t ringRead = 0;
    int64_t ringCount = 0;
    bool decodedAll = false; // the decoder's last frame is in the ring
    bool playing = false;
    bool atEnd = false;
    int64_t startMs = 0;
    int64_t framesConsumed = 0;
    float gain = 1.0f;
    float targetGain = 1.0f;
    float gainStep = 0.0f;
    // The level match above the volume, set before the stream plays.
    float boost = 1.0f;
};

using StreamPtr = std::shared_ptr<Stream>;

// The position in ms. Caller holds the stream's mutex.
int64_t positionLocked(const Stream& s);
// Decodes into the ring until it holds `frames` or the file has ended.
void fillAhead(Stream& s, int64_t frames);
// Adds a playing stream's next frames to `out`, gain ramped per frame.
void mixStream(Stream& s, float* out, int64_t frames);
// Time passes for a stream without any audio: the null and silent sinks.
void advanceStream(Stream& s, int64_t frames);
// Starts the stream at `fromMs`; with `decodes`, its decoder is sought there
// first (a rest that cannot be decoded ends at once).
void startStream(Stream& s, int64_t fromMs, bool decodes);

// The open streams by alias. Written by the main thread under `mutex`; the
// sinks' threads and the device callback read them under it.
struct Mix {
    std::map<std::string, StreamPtr> streams;
    std::mutex mutex;

    // Every playing stream mixed into `out`, clipped. Caller holds `mutex`.
    void mixLocked(float* out, int64_t frames);
    // Time passes for every stream without sound.
    void advanceAll(int64_t frames);
};

} // namespace audio
