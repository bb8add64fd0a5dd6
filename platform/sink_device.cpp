// The SDL sound device: its callback mixes the streams, and a worker thread
// keeps every playing stream decoded half a second ahead.
#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <thread>
#include <vector>

#include "platform/audio_sink.h"

namespace audio {
namespace {

constexpr int kDeviceFrames = 1024;
constexpr double kTickSeconds = 0.01;

class DeviceSink final : public Sink {
  public:
    explicit DeviceSink(Mix& mix) : mix_(mix) {}
    ~DeviceSink() override {
        {
            std::lock_guard lock(wakeMutex_);
            quit_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
        if (device_) SDL_CloseAudioDevice(device_); // returns once the callback has finished
        if (sdlAudio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool open(std::string& error) {
        sdlAudio_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (sdlAudio_) {
            SDL_AudioSpec want{}, have{};
            want.freq = kOutputRate;
            want.format = AUDIO_F32SYS;
            want.channels = kChannels;
            want.samples = kDeviceFrames;
            want.callback = callback;
            want.userdata = this;
            // No changes allowed: SDL converts, so the callback always gets float stereo.
            device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        }
        if (device_) return true;
        error = SDL_GetError();
        return false;
    }

    const char* name() const override { return "device"; }
    bool decodes() const override { return true; }
    bool playsOn(uint32_t device) const override { return device == 0 || device == device_; }
    void run() override {
        if (!worker_.joinable()) worker_ = std::thread([this] { workerLoop(); });
        SDL_PauseAudioDevice(device_, 0);
    }

    void started(Stream& stream) override {
        fillAhead(stream, kFirstFillFrames);
        {
            std::lock_guard lock(wakeMutex_);
            ++plays_;
        }
        wake_.notify_all();
    }

  private:
    static void callback(void* self, Uint8* bytes, int length) {
        Mix& mix = static_cast<DeviceSink*>(self)->mix_;
        std::lock_guard lock(mix.mutex);
        mix.mixLocked(reinterpret_cast<float*>(bytes),
                      length / static_cast<int>(kChannels * sizeof(float)));
    }

    static bool anyPlaying(const std::vector<StreamPtr>& streams) {
        for (const StreamPtr& s : streams) {
            std::lock_guard lock(s->mutex);
            if (s->playing) return true;
        }
        return false;
    }

    // With nothing playing there is nothing to decode: sleep until a play
    // starts instead of waking a hundred times a second.
    bool waitFor(bool playing, uint64_t playsBefore) {
        std::unique_lock lock(wakeMutex_);
        if (playing)
            wake_.wait_for(lock, std::chrono::duration<double>(kTickSeconds),
                           [&] { return quit_; });
        else
            wake_.wait(lock, [&] { return quit_ || plays_ != playsBefore; });
        return !quit_;
    }

    void workerLoop() {
        std::vector<StreamPtr> snapshot;
        bool more = true;
        while (more) {
            uint64_t playsBefore;
            {
                std::lock_guard lock(wakeMutex_);
                playsBefore = plays_;
            }
            {
                std::lock_guard lock(mix_.mutex);
                snapshot.clear();
                for (auto& [alias, stream] : mix_.streams)
                    snapshot.push_back(stream);
            }
            for (const StreamPtr& s : snapshot)
                fillAhead(*s, kLeadFrames);
            const bool playing = anyPlaying(snapshot);
            snapshot.clear(); // a closed stream dies here, not in the callback
            more = waitFor(playing, playsBefore);
        }
    }

    Mix& mix_;
    bool sdlAudio_ = false;
    SDL_AudioDeviceID device_ = 0;
    std::thread worker_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool quit_ = false;  // guarded by wakeMutex_
    uint64_t plays_ = 0; // guarded by wakeMutex_; counts the plays started
};

} // namespace

std::unique_ptr<Sink> openDeviceSink(Mix& mix, std::string& error) {
    auto sink = std::make_unique<DeviceSink>(mix);
    if (!sink->open(error)) return nullptr;
    return sink;
}

} // namespace audio
