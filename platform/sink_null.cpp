// Virtual time without sound: the streams' positions follow the clock and
// nothing is decoded, for headless runs that do not render.
#include "platform/audio_sink.h"

namespace audio {
namespace {

class NullSink final : public Sink {
  public:
    NullSink(Mix& mix, int64_t startFrame) : mix_(mix), at_(startFrame) {}
    const char* name() const override { return "null"; }
    bool decodes() const override { return false; }
    void advanceTo(int64_t target) override {
        if (target <= at_) return;
        mix_.advanceAll(target - at_);
        at_ = target;
    }

  private:
    Mix& mix_;
    int64_t at_;
};

} // namespace

std::unique_ptr<Sink> makeNullSink(Mix& mix, int64_t startFrame) {
    return std::make_unique<NullSink>(mix, startFrame);
}

} // namespace audio
