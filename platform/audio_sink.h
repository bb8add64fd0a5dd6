#pragma once
// Where the mix goes: the sound device, the silent clock that stands in for
// a missing device, a WAV file, or nowhere. The engine holds one sink and
// chooses it in one place (audio_engine.cpp); each sink owns its threads,
// device or file.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio_stream.h"

namespace audio {

class Sink {
  public:
    virtual ~Sink() = default;
    // "device", "silent", "null" or "wav".
    virtual const char* name() const = 0;
    // Whether the streams are decoded for it.
    virtual bool decodes() const = 0;
    // Virtual-time sinks consume (and a WAV file renders) the output up to the
    // absolute output frame `target`; real-time sinks keep their own time.
    virtual void advanceTo(int64_t target) { (void)target; }
    // A stream has just been started: a real-time sink decodes its first
    // frames at once and wakes its worker.
    virtual void started(Stream& stream) { (void)stream; }
    // The device went away (0: whichever the sink plays on). True when this
    // sink goes silent by itself; false when it must be replaced or has none.
    virtual bool loseDevice(uint32_t device) {
        (void)device;
        return false;
    }
    // A sink that went silent by itself tries its device again.
    virtual bool regainDevice() { return false; }
    // Lets the sound run, once the streams are where they should be.
    virtual void run() {}
    // Whether `device` (SDL's id) is the one this sink plays on.
    virtual bool playsOn(uint32_t device) const { return device == 0; }
};

// The SDL device, opened paused; nullptr (and `error` says why) when none opens.
std::unique_ptr<Sink> openDeviceSink(Mix& mix, std::string& error);
// Keeps the streams' time in real time, without sound.
std::unique_ptr<Sink> makeSilentSink(Mix& mix);
// Virtual time from output frame `startFrame` on, nothing decoded.
std::unique_ptr<Sink> makeNullSink(Mix& mix, int64_t startFrame);
// The mix rendered to a 16-bit stereo WAV file from output frame `startFrame`
// on; nullptr when the file cannot be created. For tests it stands in for a
// device that can be lost: it renders silence until its device is regained.
std::unique_ptr<Sink> openWavSink(Mix& mix, const std::string& path, int64_t startFrame);

} // namespace audio
