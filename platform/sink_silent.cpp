// Without a device the streams' positions still advance in real time, so the
// playlist plays on and the displays move; nothing is decoded.
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <thread>

#include "platform/audio_sink.h"
#include "platform/clock.h"

namespace audio {
namespace {

constexpr double kTickSeconds = 0.01;

class SilentSink final : public Sink {
  public:
    explicit SilentSink(Mix& mix) : mix_(mix), thread_([this] { keepTime(); }) {}
    ~SilentSink() override {
        {
            std::lock_guard lock(wakeMutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    const char* name() const override { return "silent"; }
    bool decodes() const override { return false; }

  private:
    bool waitTick() {
        std::unique_lock lock(wakeMutex_);
        wake_.wait_for(lock, std::chrono::duration<double>(kTickSeconds), [this] { return quit_; });
        return !quit_;
    }

    void keepTime() {
        const double origin = timing::hostSeconds();
        int64_t done = 0;
        while (waitTick()) {
            const int64_t target = std::llround((timing::hostSeconds() - origin) * kOutputRate);
            std::lock_guard lock(mix_.mutex);
            mix_.advanceAll(target - done);
            done = target;
        }
    }

    Mix& mix_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool quit_ = false;  // guarded by wakeMutex_
    std::thread thread_; // last: it runs from construction on
};

} // namespace

std::unique_ptr<Sink> makeSilentSink(Mix& mix) {
    return std::make_unique<SilentSink>(mix);
}

} // namespace audio
