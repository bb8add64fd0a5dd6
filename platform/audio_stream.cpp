#include "platform/audio_stream.h"

#include <algorithm>
#include <cstdio>

namespace audio {
namespace {

// Points the decoder at one part of the file. Caller holds decodeMutex.
bool openPart(Stream& s, size_t index) {
    if (!s.decoder) s.decoder = std::make_unique<Mpg123>();
    s.part = index;
    const Part& p = s.parts[index];
    if (s.decoder->open({&s.file, &s.spans, &s.window}, p.offset, p.bytes, Use::Play)) return true;
    s.decoder.reset();
    return false;
}

} // namespace

int64_t positionLocked(const Stream& s) {
    if (s.atEnd) return s.lengthMs;
    return std::min(s.lengthMs, s.startMs + s.framesConsumed * 1000 / kOutputRate);
}

void fillAhead(Stream& s, int64_t frames) {
    std::lock_guard decodeLock(s.decodeMutex);
    if (!s.decoder) return;
    if (s.scratch.empty()) s.scratch.resize(kChunkFrames * kChannels);
    int idleReads = 0;
    for (;;) {
        int64_t space;
        {
            std::lock_guard lock(s.mutex);
            if (!s.playing || s.decodedAll || s.ringCount >= frames) return;
            space = kRingFrames - s.ringCount;
        }
        size_t want =
            static_cast<size_t>(std::min(space, kChunkFrames)) * kChannels * sizeof(float);
        size_t bytes = 0;
        int err = mpg123_read(s.decoder->get(), s.scratch.data(), want, &bytes);
        int64_t got = static_cast<int64_t>(bytes / (kChannels * sizeof(float)));
        bool ended = err != MPG123_OK && err != MPG123_NEW_FORMAT;
        // A stitched file goes on with its next part without a gap.
        bool nextPart = ended && s.part + 1 < s.parts.size() && openPart(s, s.part + 1);
        idleReads = got > 0 || nextPart ? 0 : idleReads + 1;
        bool done = (ended && !nextPart) || idleReads > 16;
        std::lock_guard lock(s.mutex);
        int64_t write = (s.ringRead + s.ringCount) % kRingFrames;
        for (int64_t i = 0; i < got; ++i) {
            const auto at = size_t((write + i) % kRingFrames * kChannels);
            const auto from = size_t(i * kChannels);
            s.ring[at] = s.scratch[from];
            s.ring[at + 1] = s.scratch[from + 1];
        }
        s.ringCount += got;
        if (done) {
            s.decodedAll = true;
            return;
        }
    }
}

void mixStream(Stream& s, float* out, int64_t frames) {
    std::lock_guard lock(s.mutex);
    if (!s.playing) return;
    int64_t n = std::min(frames, s.ringCount);
    for (int64_t i = 0; i < n; ++i) {
        if (s.gain != s.targetGain) {
            s.gain += s.gainStep;
            if ((s.gainStep > 0) == (s.gain > s.targetGain)) s.gain = s.targetGain;
        }
        const auto at = size_t((s.ringRead + i) % kRingFrames * kChannels);
        const float g = s.gain * s.boost;
        out[i * kChannels] += s.ring[at] * g;
        out[i * kChannels + 1] += s.ring[at + 1] * g;
    }
    s.ringRead = (s.ringRead + n) % kRingFrames;
    s.ringCount -= n;
    s.framesConsumed += n;
    if (s.ringCount == 0 && s.decodedAll) {
        s.playing = false;
        s.atEnd = true;
    }
}

void advanceStream(Stream& s, int64_t frames) {
    std::lock_guard lock(s.mutex);
    if (!s.playing) return;
    s.framesConsumed += frames;
    if (s.startMs + s.framesConsumed * 1000 / kOutputRate >= s.lengthMs) {
        s.playing = false;
        s.atEnd = true;
    }
}

void startStream(Stream& s, int64_t fromMs, bool decodes) {
    std::vector<float> ring; // allocated here, not under the lock the callback takes
    if (decodes && s.ring.empty()) ring.resize(kRingFrames * kChannels);
    std::lock_guard decodeLock(s.decodeMutex);
    bool decoderReady = false;
    if (decodes) {
        size_t index = 0;
        while (index + 1 < s.parts.size() && s.parts[index + 1].startMs <= fromMs)
            ++index;
        // The same part again keeps the decoder and the frame index it has built.
        bool opened = (s.decoder && s.part == index) || openPart(s, index);
        int64_t offset = (fromMs - s.parts[index].startMs) * kOutputRate / 1000;
        decoderReady =
            opened && mpg123_seek(s.decoder->get(), static_cast<off_t>(offset), SEEK_SET) >= 0;
    }
    std::lock_guard lock(s.mutex);
    if (!ring.empty()) s.ring.swap(ring);
    s.ringRead = 0;
    s.ringCount = 0;
    s.decodedAll = decodes && !decoderReady; // an undecodable rest ends at once
    s.startMs = fromMs;
    s.framesConsumed = 0;
    s.atEnd = false;
    s.playing = true;
}

void Mix::mixLocked(float* out, int64_t frames) {
    std::fill(out, out + frames * kChannels, 0.0f);
    for (auto& [alias, stream] : streams)
        mixStream(*stream, out, frames);
    for (int64_t i = 0; i < frames * kChannels; ++i)
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

void Mix::advanceAll(int64_t frames) {
    for (auto& [alias, stream] : streams)
        advanceStream(*stream, frames);
}

} // namespace audio
