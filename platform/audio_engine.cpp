#include "platform/audio_engine.h"

#include "platform/clock.h"
#include "platform/files.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace audio {
namespace {

constexpr int kChannels = 2;
constexpr int64_t kRingFrames = 32768;           // a little more than the worker's lead
constexpr int64_t kLeadFrames = kOutputRate / 2; // what the worker keeps decoded ahead
constexpr int64_t kFirstFillFrames = 4096;       // decoded by play() itself so sound starts at once
constexpr int64_t kChunkFrames = 4096;           // decode and render granularity
// 10 ms: short enough to follow a fade, long enough not to click.
constexpr int kRampFrames = kOutputRate / 100;
constexpr int kDeviceFrames = 1024;
constexpr double kThreadTickSeconds = 0.01;
constexpr off_t kMaxFileBytes = off_t(1) << 30;

// ---------------------------------------------------------------- files

// The whole file, read once. Non-blocking open so that a FIFO or device
// under an MP3 name cannot hang the caller; only regular files are read.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok =
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= kMaxFileBytes;
    if (ok) {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        bytes.resize(done);
        ok = done > 0;
    }
    ::close(fd);
    return ok;
}

// ---------------------------------------------------------------- decoding

struct MemoryReader {
    const std::vector<unsigned char>* bytes = nullptr;
    size_t pos = 0;
};

mpg123_ssize_t readMemory(void* handle, void* buffer, size_t count) {
    auto* r = static_cast<MemoryReader*>(handle);
    size_t n = std::min(count, r->bytes->size() - r->pos);
    std::memcpy(buffer, r->bytes->data() + r->pos, n);
    r->pos += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t seekMemory(void* handle, off_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(handle);
    off_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? static_cast<off_t>(r->pos)
                 : whence == SEEK_END ? static_cast<off_t>(r->bytes->size())
                                      : -1;
    off_t target = base + offset;
    if (base < 0 || target < 0 || target > static_cast<off_t>(r->bytes->size())) return -1;
    r->pos = static_cast<size_t>(target);
    return target;
}

void initMpg123() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

// One libmpg123 handle reading from a file image in memory.
class Mpg123 {
  public:
    Mpg123() = default;
    Mpg123(const Mpg123&) = delete;
    Mpg123& operator=(const Mpg123&) = delete;
    ~Mpg123() {
        if (handle_) mpg123_delete(handle_);
    }

    // `playbackFormat`: float stereo at the output rate, whatever the file
    // holds; otherwise the file's own format.
    bool open(const std::vector<unsigned char>& bytes, bool playbackFormat) {
        initMpg123();
        int err = MPG123_OK;
        handle_ = mpg123_new(nullptr, &err);
        if (!handle_) return false;
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
        if (playbackFormat) {
            mpg123_format_none(handle_);
            if (mpg123_format(handle_, kOutputRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) !=
                MPG123_OK)
                return false;
        }
        reader_.bytes = &bytes;
        reader_.pos = 0;
        return mpg123_replace_reader_handle(handle_, readMemory, seekMemory, nullptr) ==
                   MPG123_OK &&
               mpg123_open_handle(handle_, &reader_) == MPG123_OK &&
               mpg123_set_filesize(handle_, static_cast<off_t>(bytes.size())) == MPG123_OK;
    }

    mpg123_handle* get() const { return handle_; }

  private:
    mpg123_handle* handle_ = nullptr;
    MemoryReader reader_;
};

// Exact length from the decoded sample count: the scan counts every frame,
// and gapless decoding removes the encoder delay and padding of a LAME tag.
int64_t exactLengthMs(const std::vector<unsigned char>& bytes) {
    Mpg123 decoder;
    if (!decoder.open(bytes, false)) return 0;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(decoder.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0)
        return 0;
    if (mpg123_scan(decoder.get()) != MPG123_OK) return 0;
    off_t samples = mpg123_length(decoder.get());
    if (samples <= 0) return 0;
    return std::llround(static_cast<double>(samples) * 1000.0 / static_cast<double>(rate));
}

// ---------------------------------------------------------------- streams

struct Stream {
    std::vector<unsigned char> bytes;
    int64_t lengthMs = 0;

    // Held by whoever decodes (worker, or the main thread in play() and the
    // WAV sink); never by the audio callback.
    std::mutex decodeMutex;
    std::unique_ptr<Mpg123> decoder;
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
};

using StreamPtr = std::shared_ptr<Stream>;

int64_t positionLocked(const Stream& s) {
    if (s.atEnd) return s.lengthMs;
    return std::min(s.lengthMs, s.startMs + s.framesConsumed * 1000 / kOutputRate);
}

// Decodes into the ring until it holds `frames` or the file has ended.
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
        idleReads = got > 0 ? 0 : idleReads + 1;
        bool done = (err != MPG123_OK && err != MPG123_NEW_FORMAT) || idleReads > 16;
        std::lock_guard lock(s.mutex);
        int64_t write = (s.ringRead + s.ringCount) % kRingFrames;
        for (int64_t i = 0; i < got; ++i) {
            int64_t at = (write + i) % kRingFrames * kChannels;
            s.ring[at] = s.scratch[i * kChannels];
            s.ring[at + 1] = s.scratch[i * kChannels + 1];
        }
        s.ringCount += got;
        if (done) {
            s.decodedAll = true;
            return;
        }
    }
}

// Adds a playing stream's next frames to `out`, gain ramped per frame.
void mixStream(Stream& s, float* out, int64_t frames) {
    std::lock_guard lock(s.mutex);
    if (!s.playing) return;
    int64_t n = std::min(frames, s.ringCount);
    for (int64_t i = 0; i < n; ++i) {
        if (s.gain != s.targetGain) {
            s.gain += s.gainStep;
            if ((s.gainStep > 0) == (s.gain > s.targetGain)) s.gain = s.targetGain;
        }
        int64_t at = (s.ringRead + i) % kRingFrames * kChannels;
        out[i * kChannels] += s.ring[at] * s.gain;
        out[i * kChannels + 1] += s.ring[at + 1] * s.gain;
    }
    s.ringRead = (s.ringRead + n) % kRingFrames;
    s.ringCount -= n;
    s.framesConsumed += n;
    if (s.ringCount == 0 && s.decodedAll) {
        s.playing = false;
        s.atEnd = true;
    }
}

// Time passes for a stream without any audio: the null and silent sinks.
void advanceStream(Stream& s, int64_t frames) {
    std::lock_guard lock(s.mutex);
    if (!s.playing) return;
    s.framesConsumed += frames;
    if (s.startMs + s.framesConsumed * 1000 / kOutputRate >= s.lengthMs) {
        s.playing = false;
        s.atEnd = true;
    }
}

// ---------------------------------------------------------------- engine state

struct Engine {
    SinkKind kind = SinkKind::Null;
    std::atomic<bool> silent{false}; // the device sink without a device
    std::string deviceError;         // why there is none

    // Written by the main thread under listMutex; the callback and the
    // threads read it under listMutex, the main thread reads it freely.
    std::map<std::string, StreamPtr> streams;
    std::mutex listMutex;

    int64_t virtualFrames = 0; // absolute output frame clock of the virtual sinks
    std::vector<float> mixBuffer;

    FILE* wav = nullptr;
    int64_t wavFrames = 0;
    std::vector<int16_t> wavBuffer;

    bool sdlAudio = false;
    SDL_AudioDeviceID device = 0;
    std::thread worker;
    std::thread silentThread;
    std::mutex wakeMutex;
    std::condition_variable wake;
    bool quitThreads = false; // guarded by wakeMutex
    uint64_t plays = 0;       // guarded by wakeMutex; counts the plays started
};

Engine engine;

bool sinkDecodes() {
    return engine.kind == SinkKind::WavFile || (engine.kind == SinkKind::Device && !engine.silent);
}

StreamPtr find(const std::string& alias) {
    auto it = engine.streams.find(alias);
    return it == engine.streams.end() ? nullptr : it->second;
}

// Mixes every playing stream into `out`, clipped. Caller holds listMutex.
void mixLocked(float* out, int64_t frames) {
    std::fill(out, out + frames * kChannels, 0.0f);
    for (auto& [alias, stream] : engine.streams)
        mixStream(*stream, out, frames);
    for (int64_t i = 0; i < frames * kChannels; ++i)
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

void deviceCallback(void*, Uint8* bytes, int length) {
    std::lock_guard lock(engine.listMutex);
    mixLocked(reinterpret_cast<float*>(bytes), length / (kChannels * sizeof(float)));
}

bool waitTick() {
    std::unique_lock lock(engine.wakeMutex);
    engine.wake.wait_for(lock, std::chrono::duration<double>(kThreadTickSeconds),
                         [] { return engine.quitThreads; });
    return !engine.quitThreads;
}

bool anyPlaying(const std::vector<StreamPtr>& streams) {
    for (const StreamPtr& s : streams) {
        std::lock_guard lock(s->mutex);
        if (s->playing) return true;
    }
    return false;
}

// With nothing playing there is nothing to decode: sleep until a play
// starts instead of waking a hundred times a second.
bool waitForPlay(uint64_t playsBefore) {
    std::unique_lock lock(engine.wakeMutex);
    engine.wake.wait(lock, [&] { return engine.quitThreads || engine.plays != playsBefore; });
    return !engine.quitThreads;
}

void workerLoop() {
    std::vector<StreamPtr> snapshot;
    bool more = true;
    while (more) {
        uint64_t playsBefore;
        {
            std::lock_guard lock(engine.wakeMutex);
            playsBefore = engine.plays;
        }
        {
            std::lock_guard lock(engine.listMutex);
            snapshot.clear();
            for (auto& [alias, stream] : engine.streams)
                snapshot.push_back(stream);
        }
        for (const StreamPtr& s : snapshot)
            fillAhead(*s, kLeadFrames);
        const bool playing = anyPlaying(snapshot);
        snapshot.clear(); // a closed stream dies here, not in the callback
        more = playing ? waitTick() : waitForPlay(playsBefore);
    }
}

// Keeps time in real time when there is no device, so positions advance.
void silentLoop() {
    double origin = timing::hostSeconds();
    int64_t done = 0;
    while (waitTick()) {
        int64_t target = std::llround((timing::hostSeconds() - origin) * kOutputRate);
        std::lock_guard lock(engine.listMutex);
        for (auto& [alias, stream] : engine.streams)
            advanceStream(*stream, target - done);
        done = target;
    }
}

void stopThreads() {
    {
        std::lock_guard lock(engine.wakeMutex);
        engine.quitThreads = true;
    }
    engine.wake.notify_all();
    if (engine.worker.joinable()) engine.worker.join();
    if (engine.silentThread.joinable()) engine.silentThread.join();
    std::lock_guard lock(engine.wakeMutex);
    engine.quitThreads = false;
}

void closeDevice() {
    if (engine.device)
        SDL_CloseAudioDevice(engine.device); // returns once the callback has finished
    engine.device = 0;
    if (engine.sdlAudio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    engine.sdlAudio = false;
}

void startSilent() {
    engine.silent = true;
    engine.silentThread = std::thread(silentLoop);
}

void startDevice() {
    engine.silent = false;
    engine.sdlAudio = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (engine.sdlAudio) {
        SDL_AudioSpec want{}, have{};
        want.freq = kOutputRate;
        want.format = AUDIO_F32SYS;
        want.channels = kChannels;
        want.samples = kDeviceFrames;
        want.callback = deviceCallback;
        // No changes allowed: SDL converts, so the callback always gets float stereo.
        engine.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (!engine.device) {
        engine.deviceError = SDL_GetError();
        closeDevice();
        startSilent();
        return;
    }
    engine.worker = std::thread(workerLoop);
    SDL_PauseAudioDevice(engine.device, 0);
}

// ---------------------------------------------------------------- WAV file

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

void renderToWav(int64_t frames) {
    engine.mixBuffer.resize(kChunkFrames * kChannels);
    engine.wavBuffer.resize(kChunkFrames * kChannels);
    while (frames > 0) {
        int64_t n = std::min(frames, kChunkFrames);
        for (auto& [alias, stream] : engine.streams)
            fillAhead(*stream, n);
        {
            std::lock_guard lock(engine.listMutex);
            mixLocked(engine.mixBuffer.data(), n);
        }
        for (int64_t i = 0; i < n * kChannels; ++i)
            engine.wavBuffer[i] = static_cast<int16_t>(std::lrint(engine.mixBuffer[i] * 32767.0f));
        std::fwrite(engine.wavBuffer.data(), sizeof(int16_t), n * kChannels, engine.wav);
        engine.wavFrames += n;
        frames -= n;
    }
}

} // namespace

// ---------------------------------------------------------------- interface

bool start(SinkKind kind, const std::string& wavPath) {
    shutdown();
    engine.virtualFrames = std::llround(timing::now() * kOutputRate);
    engine.kind = kind;
    switch (kind) {
    case SinkKind::Null:
        return true;
    case SinkKind::WavFile:
        engine.wav = std::fopen(wavPath.c_str(), "wb");
        if (!engine.wav) {
            engine.kind = SinkKind::Null;
            return false;
        }
        engine.wavFrames = 0;
        writeWavHeader(engine.wav, 0);
        return true;
    case SinkKind::Device:
        startDevice();
        return true;
    }
    return true;
}

void shutdown() {
    stopThreads();
    closeDevice();
    {
        std::lock_guard lock(engine.listMutex);
        engine.streams.clear();
    }
    if (engine.wav) {
        std::fseek(engine.wav, 0, SEEK_SET);
        writeWavHeader(engine.wav, engine.wavFrames);
        std::fclose(engine.wav);
        engine.wav = nullptr;
    }
    engine.kind = SinkKind::Null;
    engine.silent = false;
}

std::string deviceError() {
    return engine.deviceError;
}

std::string sinkName() {
    switch (engine.kind) {
    case SinkKind::Device:
        return engine.silent ? "silent" : "device";
    case SinkKind::WavFile:
        return "wav";
    case SinkKind::Null:
        break;
    }
    return "null";
}

void advanceTo(double seconds) {
    if (engine.kind == SinkKind::Device) return;
    int64_t target = std::llround(seconds * kOutputRate);
    int64_t frames = target - engine.virtualFrames;
    if (frames <= 0) return;
    if (engine.kind == SinkKind::WavFile) {
        renderToWav(frames);
    } else {
        for (auto& [alias, stream] : engine.streams)
            advanceStream(*stream, frames);
    }
    engine.virtualFrames = target;
}

void deviceLost() {
    if (engine.kind != SinkKind::Device || engine.silent) return;
    engine.deviceError = "the audio device went away";
    stopThreads();
    closeDevice();
    startSilent();
}

bool open(const std::string& alias, const std::string& path) {
    if (find(alias)) return false;
    auto stream = std::make_shared<Stream>();
    if (!readWholeFile(files::resolveCase(path), stream->bytes)) return false;
    stream->lengthMs = exactLengthMs(stream->bytes);
    if (stream->lengthMs <= 0) return false;
    std::lock_guard lock(engine.listMutex);
    engine.streams.emplace(alias, std::move(stream));
    return true;
}

bool close(const std::string& alias) {
    StreamPtr stream; // released outside the lock
    std::lock_guard lock(engine.listMutex);
    auto it = engine.streams.find(alias);
    if (it == engine.streams.end()) return false;
    stream = std::move(it->second);
    engine.streams.erase(it);
    return true;
}

bool play(const std::string& alias, int64_t fromMs) {
    StreamPtr s = find(alias);
    if (!s || fromMs < 0 || fromMs > s->lengthMs) return false;
    bool decodes = sinkDecodes();
    std::vector<float> ring; // allocated here, not under the lock the callback takes
    if (decodes && s->ring.empty()) ring.resize(kRingFrames * kChannels);
    {
        std::lock_guard decodeLock(s->decodeMutex);
        bool decoderReady = false;
        if (decodes) {
            if (!s->decoder) {
                s->decoder = std::make_unique<Mpg123>();
                if (!s->decoder->open(s->bytes, true)) s->decoder.reset();
            }
            decoderReady =
                s->decoder &&
                mpg123_seek(s->decoder->get(), static_cast<off_t>(fromMs * kOutputRate / 1000),
                            SEEK_SET) >= 0;
        }
        std::lock_guard lock(s->mutex);
        if (!ring.empty()) s->ring.swap(ring);
        s->ringRead = 0;
        s->ringCount = 0;
        s->decodedAll = decodes && !decoderReady; // an undecodable rest ends at once
        s->startMs = fromMs;
        s->framesConsumed = 0;
        s->atEnd = false;
        s->playing = true;
    }
    if (engine.kind == SinkKind::Device && decodes) {
        fillAhead(*s, kFirstFillFrames);
        {
            std::lock_guard lock(engine.wakeMutex);
            ++engine.plays;
        }
        engine.wake.notify_all();
    }
    return true;
}

bool stop(const std::string& alias) {
    StreamPtr s = find(alias);
    if (!s) return false;
    std::lock_guard lock(s->mutex);
    s->playing = false;
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
    return static_cast<int>(engine.streams.size());
}

int64_t probeLengthMs(const std::string& path) {
    // Reused, so that a run of probes does not fault in fresh pages for every file.
    static std::vector<unsigned char> bytes;
    bool ok = readWholeFile(files::resolveCase(path), bytes);
    int64_t ms = ok ? exactLengthMs(bytes) : 0;
    if (bytes.capacity() > (size_t(64) << 20)) std::vector<unsigned char>().swap(bytes);
    return ms;
}

} // namespace audio
