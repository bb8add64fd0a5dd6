// The mix rendered into a 16-bit stereo WAV file in step with the virtual
// clock, for headless runs and tests; the header is finished when it closes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/audio_sink.h"

namespace audio {
namespace {

void put16(unsigned char* p, uint32_t v) {
    p[0] = v & 0xff;
    p[1] = (v >> 8) & 0xff;
}

void put32(unsigned char* p, uint32_t v) {
    put16(p, v & 0xffff);
    put16(p + 2, v >> 16);
}

void writeWavHeader(FILE* f, int64_t frames) {
    uint32_t dataBytes =
        static_cast<uint32_t>(std::min<int64_t>(frames * kChannels * 2, int64_t(0xffffffff) - 36));
    unsigned char h[44];
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, kChannels);
    put32(h + 24, kOutputRate);
    put32(h + 28, kOutputRate * kChannels * 2);
    put16(h + 32, kChannels * 2);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
    std::fwrite(h, 1, sizeof h, f);
}

class WavSink final : public Sink {
  public:
    WavSink(Mix& mix, FILE* file, int64_t startFrame) : mix_(mix), file_(file), at_(startFrame) {
        writeWavHeader(file_, 0);
    }
    ~WavSink() override {
        std::fseek(file_, 0, SEEK_SET);
        writeWavHeader(file_, frames_);
        std::fclose(file_);
    }

    const char* name() const override { return lost_ ? "silent" : "wav"; }
    bool decodes() const override { return !lost_; }
    bool loseDevice(uint32_t) override {
        lost_ = true;
        return true;
    }
    bool regainDevice() override {
        lost_ = false;
        return true;
    }

    void advanceTo(int64_t target) override {
        int64_t frames = target - at_;
        if (frames <= 0) return;
        at_ = target;
        mixBuffer_.resize(kChunkFrames * kChannels);
        wavBuffer_.resize(kChunkFrames * kChannels);
        while (frames > 0) {
            const int64_t n = std::min(frames, kChunkFrames);
            if (lost_) {
                std::fill(wavBuffer_.begin(), wavBuffer_.end(), int16_t(0));
                mix_.advanceAll(n);
            } else {
                for (auto& [alias, stream] : mix_.streams)
                    fillAhead(*stream, n);
                {
                    std::lock_guard lock(mix_.mutex);
                    mix_.mixLocked(mixBuffer_.data(), n);
                }
                for (size_t i = 0; i < size_t(n * kChannels); ++i)
                    wavBuffer_[i] = static_cast<int16_t>(std::lrint(mixBuffer_[i] * 32767.0f));
            }
            std::fwrite(wavBuffer_.data(), sizeof(int16_t), size_t(n * kChannels), file_);
            frames_ += n;
            frames -= n;
        }
    }

  private:
    Mix& mix_;
    FILE* file_;
    int64_t at_;         // the output frame rendered up to
    int64_t frames_ = 0; // written to the file
    bool lost_ = false;  // the stand-in for a lost device: silence is written
    std::vector<float> mixBuffer_;
    std::vector<int16_t> wavBuffer_;
};

} // namespace

std::unique_ptr<Sink> openWavSink(Mix& mix, const std::string& path, int64_t startFrame) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return nullptr;
    return std::make_unique<WavSink>(mix, file, startFrame);
}

} // namespace audio
