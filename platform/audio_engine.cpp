#include "platform/audio_engine.h"

#include <cmath>
#include <memory>

#include "platform/audio_sink.h"
#include "platform/audio_stream.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/mp3_file.h"

namespace audio {
namespace {

// The engine's state: the open streams and the one sink they play into.
// Only the main thread calls the engine.
struct Engine {
    SinkKind kind = SinkKind::Null;
    Mix mix;
    std::unique_ptr<Sink> sink;
    std::string deviceError;     // why there is no device, when there is none
    bool deviceWithheld = false; // test hook of the WAV sink
    bool deviceAdded = false;    // a device appeared since the last reopen try
    int64_t measuredBytes = 0;   // what the last open or probe read of its file
};

Engine engine;

StreamPtr find(const std::string& alias) {
    auto it = engine.mix.streams.find(alias);
    return it == engine.mix.streams.end() ? nullptr : it->second;
}

bool sinkDecodes() {
    return engine.sink && engine.sink->decodes();
}

// The one place that says which sink runs: the device, or the silent clock
// when none opens.
std::unique_ptr<Sink> deviceOrSilence() {
    if (auto device = openDeviceSink(engine.mix, engine.deviceError)) {
        device->run();
        return device;
    }
    return makeSilentSink(engine.mix);
}

// After a silent stretch the decoders stand where the sound stopped: each
// playing stream is sought to where the silent clock has it.
void resumeStreamsWithSound() {
    std::vector<StreamPtr> playing;
    for (auto& [alias, stream] : engine.mix.streams) {
        std::lock_guard lock(stream->mutex);
        if (stream->playing) playing.push_back(stream);
    }
    for (const StreamPtr& s : playing) {
        int64_t at;
        {
            std::lock_guard lock(s->mutex);
            at = positionLocked(*s);
        }
        startStream(*s, at, true);
        engine.sink->started(*s);
    }
}

} // namespace

bool start(SinkKind kind, const std::string& wavPath) {
    shutdown();
    const int64_t now = std::llround(timing::now() * kOutputRate);
    engine.kind = kind;
    switch (kind) {
    case SinkKind::Null:
        engine.sink = makeNullSink(engine.mix, now);
        return true;
    case SinkKind::WavFile:
        engine.sink = openWavSink(engine.mix, wavPath, now);
        if (engine.sink) return true;
        engine.kind = SinkKind::Null;
        engine.sink = makeNullSink(engine.mix, now);
        return false;
    case SinkKind::Device:
        engine.sink = deviceOrSilence();
        return true;
    }
    return true;
}

void shutdown() {
    engine.sink.reset(); // its threads end, its device closes, its file is finished
    {
        std::lock_guard lock(engine.mix.mutex);
        engine.mix.streams.clear();
    }
    engine.kind = SinkKind::Null;
    engine.deviceWithheld = false;
    engine.deviceAdded = false;
}

std::string deviceError() {
    return engine.deviceError;
}

std::string sinkName() {
    return engine.sink ? engine.sink->name() : "null";
}

void advanceTo(double seconds) {
    if (engine.sink) engine.sink->advanceTo(std::llround(seconds * kOutputRate));
}

void deviceLost(uint32_t device) {
    if (!engine.sink || std::string(engine.sink->name()) == "silent") return;
    if (engine.kind == SinkKind::WavFile) {
        if (engine.sink->loseDevice(device)) engine.deviceError = "the audio device went away";
        return;
    }
    if (engine.kind != SinkKind::Device || !engine.sink->playsOn(device)) return;
    engine.deviceError = "the audio device went away";
    engine.sink.reset(); // the device closes before the silent clock takes over
    engine.sink = makeSilentSink(engine.mix);
}

void deviceAdded() {
    engine.deviceAdded = true;
}

bool deviceAddedSinceLastTry() {
    return engine.deviceAdded;
}

bool reopenDevice() {
    engine.deviceAdded = false;
    if (!engine.sink) return false;
    if (std::string(engine.sink->name()) != "silent")
        return engine.kind == SinkKind::Device || engine.kind == SinkKind::WavFile;
    if (engine.kind == SinkKind::WavFile) {
        if (engine.deviceWithheld || !engine.sink->regainDevice()) return false;
        resumeStreamsWithSound();
        return true;
    }
    if (engine.kind != SinkKind::Device) return false;
    // The silent clock runs on while the device is tried, so a failed try
    // costs the positions nothing.
    std::string error;
    auto device = openDeviceSink(engine.mix, error);
    if (!device) return false;
    engine.sink = std::move(device); // the silent clock stops here
    engine.deviceError.clear();
    resumeStreamsWithSound();
    engine.sink->run();
    return true;
}

void withholdDevice(bool withheld) {
    engine.deviceWithheld = withheld;
}

bool open(const std::string& alias, const std::string& path) {
    if (find(alias)) return false;
    auto stream = std::make_shared<Stream>();
    engine.measuredBytes = 0;
    if (!stream->file.open(files::resolveCase(path), kMaxFileBytes)) return false;
    Layout layout = measureShared(stream->file);
    engine.measuredBytes = layout.bytesRead;
    if (layout.lengthMs <= 0) return false;
    stream->spans = std::move(layout.spans);
    stream->parts = std::move(layout.parts);
    stream->lengthMs = layout.lengthMs;
    std::lock_guard lock(engine.mix.mutex);
    engine.mix.streams.emplace(alias, std::move(stream));
    return true;
}

bool close(const std::string& alias) {
    StreamPtr stream; // released outside the lock
    std::lock_guard lock(engine.mix.mutex);
    auto it = engine.mix.streams.find(alias);
    if (it == engine.mix.streams.end()) return false;
    stream = std::move(it->second);
    engine.mix.streams.erase(it);
    return true;
}

bool play(const std::string& alias, int64_t fromMs) {
    StreamPtr s = find(alias);
    if (!s || fromMs < 0 || fromMs > s->lengthMs) return false;
    const bool decodes = sinkDecodes();
    startStream(*s, fromMs, decodes);
    if (decodes) engine.sink->started(*s);
    return true;
}

bool stop(const std::string& alias) {
    StreamPtr s = find(alias);
    if (!s) return false;
    std::lock_guard lock(s->mutex);
    s->playing = false;
    return true;
}

bool setBoost(const std::string& alias, int boost) {
    StreamPtr s = find(alias);
    if (!s || boost < 0 || boost > kMaxBoost) return false;
    std::lock_guard lock(s->mutex);
    s->boost = static_cast<float>(boost) / 1000.0f;
    return true;
}

bool setVolume(const std::string& alias, int volume) {
    StreamPtr s = find(alias);
    if (!s || volume < 0 || volume > 1000) return false;
    std::lock_guard lock(s->mutex);
    s->targetGain = static_cast<float>(volume) / 1000.0f;
    if (s->playing) {
        s->gainStep = (s->targetGain - s->gain) / kRampFrames;
    } else {
        s->gain = s->targetGain; // nothing sounds, so nothing can click
        s->gainStep = 0.0f;
    }
    return true;
}

bool lengthMs(const std::string& alias, int64_t& out) {
    StreamPtr s = find(alias);
    if (!s) return false;
    out = s->lengthMs;
    return true;
}

bool positionMs(const std::string& alias, int64_t& out) {
    StreamPtr s = find(alias);
    if (!s) return false;
    std::lock_guard lock(s->mutex);
    out = positionLocked(*s);
    return true;
}

bool isPlaying(const std::string& alias) {
    StreamPtr s = find(alias);
    if (!s) return false;
    std::lock_guard lock(s->mutex);
    return s->playing;
}

int openStreamCount() {
    return static_cast<int>(engine.mix.streams.size());
}

int64_t probeLengthMs(const std::string& path) {
    engine.measuredBytes = 0;
    File file;
    if (!file.open(files::resolveCase(path), kMaxFileBytes)) return 0;
    Layout layout = measureShared(file);
    engine.measuredBytes = layout.bytesRead;
    return layout.lengthMs;
}

int64_t measuredBytes() {
    return engine.measuredBytes;
}

} // namespace audio
