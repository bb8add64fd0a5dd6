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
// A sanity limit on what one file may claim; the work of a probe is bounded
// by the MPEG audio found in the file, not by its size.
constexpr off_t kMaxFileBytes = off_t(1) << 30;
// A few reads per song for the scan, yet an open stream never holds more of
// its file than this, whatever the file's size.
constexpr size_t kWindowBytes = size_t(1) << 20;
constexpr size_t kJumpReadBytes = size_t(16) << 10;
// Frames that must follow one another before any of them counts: false
// headers turn up in any data, four of them chained hardly ever.
constexpr int kRunFrames = 4;
// How far the search for the first frames, or for frames again after a
// damaged stretch, goes before the file (or the rest of it) counts as no audio.
constexpr off_t kSearchBytes = off_t(2) << 20;

// ---------------------------------------------------------------- files

// An open file. Non-blocking open so that a FIFO or device under an MP3 name
// cannot hang the caller; only regular files are taken.
class File {
  public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }

    bool open(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return false;
        struct stat st;
        if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
            st.st_size > kMaxFileBytes)
            return false;
        size_ = st.st_size;
        return true;
    }
    int fd() const { return fd_; }
    off_t size() const { return size_; }

  private:
    int fd_ = -1;
    off_t size_ = 0;
};

// Fills `out` from the file at `at`; fewer bytes where an unreadable sector
// or the end of the file comes first.
size_t readAt(int fd, unsigned char* out, size_t bytes, off_t at) {
    size_t done = 0;
    while (done < bytes) {
        ssize_t n = ::pread(fd, out + done, bytes - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

// A stretch of the file made of MPEG audio frames, each followed at once by
// the next. The decoder sees the spans of a file back to back as one stream,
// so tags, damage and zeros between them never reach it.
struct Span {
    off_t fileAt = 0;
    off_t streamAt = 0;
    off_t bytes = 0;
};

off_t streamBytes(const std::vector<Span>& spans) {
    return spans.empty() ? 0 : spans.back().streamAt + spans.back().bytes;
}

// One byte range of that stream, which libmpg123 takes for a whole file, read
// through a bounded window. pread keeps no file offset, so measuring a file
// and decoding it never disturb each other.
struct WindowReader {
    int fd = -1;
    const std::vector<Span>* spans = nullptr;
    off_t base = 0;
    off_t size = 0;
    off_t pos = 0;
    std::vector<unsigned char>* window = nullptr;
    off_t windowAt = 0;
    size_t windowBytes = 0;
    int64_t* bytesRead = nullptr; // counts what came from the file, where wanted
};

// Reads stream bytes from `at` on, span by span.
size_t readStream(WindowReader& r, unsigned char* out, size_t bytes, off_t at) {
    const std::vector<Span>& spans = *r.spans;
    if (spans.empty()) return 0;
    auto span = std::upper_bound(spans.begin(), spans.end(), at,
                                 [](off_t a, const Span& s) { return a < s.streamAt; });
    size_t done = 0;
    for (--span; done < bytes && span != spans.end(); ++span) {
        off_t into = at + static_cast<off_t>(done) - span->streamAt;
        size_t n = static_cast<size_t>(std::min<off_t>(bytes - done, span->bytes - into));
        size_t got = readAt(r.fd, out + done, n, span->fileAt + into);
        done += got;
        if (got < n) break; // an unreadable sector ends the file here
    }
    if (r.bytesRead) *r.bytesRead += static_cast<int64_t>(done);
    return done;
}

bool refillWindow(WindowReader& r) {
    if (r.window->empty()) r.window->resize(kWindowBytes);
    // After a jump (the peek for an ID3v1 tag, the return from a scan) only a
    // frame or two is wanted; reading on from the window's end, the rest of the file is.
    bool readingOn = r.pos == r.windowAt + static_cast<off_t>(r.windowBytes);
    size_t chunk = readingOn ? r.window->size() : kJumpReadBytes;
    size_t want = static_cast<size_t>(std::min<off_t>(chunk, r.size - r.pos));
    size_t done = readStream(r, r.window->data(), want, r.base + r.pos);
    r.windowAt = r.pos;
    r.windowBytes = done;
    return done > 0;
}

mpg123_ssize_t readWindow(void* handle, void* buffer, size_t count) {
    auto* r = static_cast<WindowReader*>(handle);
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count && r->pos < r->size) {
        off_t windowEnd = r->windowAt + static_cast<off_t>(r->windowBytes);
        if ((r->pos < r->windowAt || r->pos >= windowEnd) && !refillWindow(*r)) break;
        windowEnd = r->windowAt + static_cast<off_t>(r->windowBytes);
        size_t n = std::min(count - done, static_cast<size_t>(windowEnd - r->pos));
        std::memcpy(out + done, r->window->data() + (r->pos - r->windowAt), n);
        done += n;
        r->pos += static_cast<off_t>(n);
    }
    return static_cast<mpg123_ssize_t>(done);
}

off_t seekWindow(void* handle, off_t offset, int whence) {
    auto* r = static_cast<WindowReader*>(handle);
    off_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? r->pos
                 : whence == SEEK_END ? r->size
                                      : -1;
    off_t target = base + offset;
    if (base < 0 || target < 0 || target > r->size) return -1;
    r->pos = target;
    return target;
}

// ---------------------------------------------------------------- frames

// The file's bytes through a window, for the walk over frame headers.
class FileBytes {
  public:
    FileBytes(const File& file, std::vector<unsigned char>& window, int64_t& bytesRead)
        : file_(file), window_(window), bytesRead_(bytesRead) {}

    // The `count` bytes at `at`, or nullptr when the file ends first.
    const unsigned char* at(off_t at, size_t count) {
        if (at < 0 || at + static_cast<off_t>(count) > file_.size()) return nullptr;
        if (at < from_ || at + static_cast<off_t>(count) > from_ + static_cast<off_t>(have_)) {
            if (window_.empty()) window_.resize(kWindowBytes);
            size_t want = static_cast<size_t>(std::min<off_t>(window_.size(), file_.size() - at));
            have_ = readAt(file_.fd(), window_.data(), want, at);
            from_ = at;
            bytesRead_ += static_cast<int64_t>(have_);
            if (have_ < count) return nullptr;
        }
        return window_.data() + (at - from_);
    }
    // Where the window ends, at or after `at` (which the window holds).
    off_t windowEnd() const { return from_ + static_cast<off_t>(have_); }
    off_t size() const { return file_.size(); }

  private:
    const File& file_;
    std::vector<unsigned char>& window_;
    int64_t& bytesRead_;
    off_t from_ = 0;
    size_t have_ = 0;
};

struct FrameHeader {
    uint32_t kind = 0; // version, layer and sample rate: what a run must keep
    off_t bytes = 0;
};

bool readFrameHeader(const unsigned char* p, FrameHeader& h) {
    // kbit/s by [MPEG-1 or not][layer I, II, III][index]
    static constexpr int kKbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr long kRates[3] = {44100, 48000, 32000};
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0) return false;
    int version = (p[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    int layer = 4 - ((p[1] >> 1) & 3);
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    // Free-format frames carry no size, so they cannot be chained.
    if (version == 1 || layer == 4 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        (p[3] & 3) == 2)
        return false;
    bool mpeg1 = version == 3;
    long rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    long bitsPerSecond = kKbps[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000L;
    int padding = (p[2] >> 1) & 1;
    if (layer == 1)
        h.bytes = (12 * bitsPerSecond / rate + padding) * 4;
    else
        h.bytes = (layer == 3 && !mpeg1 ? 72 : 144) * bitsPerSecond / rate + padding;
    h.kind = (uint32_t(p[1]) << 8 | p[2]) & 0x1e0c;
    return true;
}

// The size of an ID3v2 tag at `at` by its header, footer included; 0 when none starts there.
off_t id3v2Bytes(FileBytes& bytes, off_t at) {
    const unsigned char* p = bytes.at(at, 10);
    if (!p || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xff || p[4] == 0xff) return 0;
    off_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (p[i] & 0x80) return 0;
        size = size << 7 | p[i];
    }
    return 10 + size + ((p[5] & 0x10) ? 10 : 0);
}

off_t pastId3v2(FileBytes& bytes, off_t at) {
    while (off_t tag = id3v2Bytes(bytes, at))
        at += tag;
    return at;
}

// Containers and formats that are not MPEG audio, by their first bytes:
// their data holds false frame headers enough to be played as noise.
bool otherFormat(FileBytes& bytes, off_t at) {
    const unsigned char* p = bytes.at(at, 12);
    if (!p) return false;
    auto is = [&](int offset, const char* magic) {
        return std::memcmp(p + offset, magic, std::strlen(magic)) == 0;
    };
    bool adts = p[0] == 0xff && (p[1] & 0xf6) == 0xf0; // AAC: layer bits 00
    return (is(0, "RIFF") && is(8, "WAVE")) || is(4, "ftyp") || is(0, "OggS") || is(0, "fLaC") ||
           adts;
}

// True when kRunFrames frames of one kind start at `at`, each where the one
// before ends, all of them inside the file.
bool runStartsAt(FileBytes& bytes, off_t at) {
    FrameHeader first, h;
    for (int i = 0; i < kRunFrames; ++i) {
        const unsigned char* p = bytes.at(at, 4);
        if (!p || !readFrameHeader(p, h) || (i > 0 && h.kind != first.kind) ||
            at + h.bytes > bytes.size())
            return false;
        if (i == 0) first = h;
        at += h.bytes;
    }
    return true;
}

// The first run of frames at or after `from` that starts within kSearchBytes; -1 if none.
off_t findRun(FileBytes& bytes, off_t from) {
    off_t limit = std::min(bytes.size(), from + kSearchBytes);
    for (off_t at = from; at < limit;) {
        const unsigned char* p = bytes.at(at, 1);
        if (!p) return -1;
        off_t end = std::min(limit, bytes.windowEnd());
        auto* sync = static_cast<const unsigned char*>(std::memchr(p, 0xff, size_t(end - at)));
        if (!sync) {
            at = end;
            continue;
        }
        at += sync - p;
        if (runStartsAt(bytes, at)) return at;
        ++at;
    }
    return -1;
}

// The spans of MPEG audio in a file: past its ID3v2 tags, from the first run
// of frames, frame by frame by their headers. Where the chain breaks (damage,
// a song of another rate joined on) the walk looks for a new run; where none
// comes within kSearchBytes, the audio has ended.
std::vector<Span> findFrames(FileBytes& bytes) {
    std::vector<Span> spans;
    off_t at = pastId3v2(bytes, 0);
    if (otherFormat(bytes, at)) return spans;
    for (at = findRun(bytes, at); at >= 0; at = findRun(bytes, pastId3v2(bytes, at))) {
        FrameHeader first, h;
        readFrameHeader(bytes.at(at, 4), first);
        off_t start = at;
        for (const unsigned char* p; (p = bytes.at(at, 4)) && readFrameHeader(p, h) &&
                                     h.kind == first.kind && at + h.bytes <= bytes.size();)
            at += h.bytes;
        if (!spans.empty() && spans.back().fileAt + spans.back().bytes == start)
            spans.back().bytes += at - start;
        else
            spans.push_back({start, streamBytes(spans), at - start});
    }
    return spans;
}

// ---------------------------------------------------------------- decoding

void initMpg123() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

enum class Use {
    Measure, // the file's own rate and channels, float samples
    Walk,    // frame by frame, tag frames seen as frames
    Play,    // float stereo at the output rate, whatever the file holds
};

// What a decoder reads: the frames of one file, through a window.
struct Source {
    const File* file = nullptr;
    const std::vector<Span>* spans = nullptr;
    std::vector<unsigned char>* window = nullptr;
    int64_t* bytesRead = nullptr;
};

// One libmpg123 handle; opened again on another byte range, it keeps its settings.
class Mpg123 {
  public:
    Mpg123() = default;
    Mpg123(const Mpg123&) = delete;
    Mpg123& operator=(const Mpg123&) = delete;
    ~Mpg123() {
        if (handle_) mpg123_delete(handle_);
    }

    // `offset` and `bytes` count in the stream of the source's spans.
    bool open(const Source& source, off_t offset, off_t bytes, Use use) {
        if (!handle_ && !create(use)) return false;
        mpg123_close(handle_);
        reader_ = {source.file->fd(), source.spans, offset, bytes, 0, source.window, 0, 0,
                   source.bytesRead};
        return mpg123_open_handle(handle_, &reader_) == MPG123_OK &&
               mpg123_set_filesize(handle_, bytes) == MPG123_OK;
    }

    mpg123_handle* get() const { return handle_; }

  private:
    bool create(Use use) {
        initMpg123();
        int err = MPG123_OK;
        handle_ = mpg123_new(nullptr, &err);
        if (!handle_) return false;
        long flags = MPG123_QUIET | MPG123_GAPLESS;
        if (use == Use::Walk) flags |= MPG123_IGNORE_INFOFRAME;
        mpg123_param(handle_, MPG123_ADD_FLAGS, flags, 0);
        bool ok = true;
        if (use == Use::Play)
            ok = mpg123_format_none(handle_) == MPG123_OK &&
                 mpg123_format(handle_, kOutputRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) ==
                     MPG123_OK;
        // Float keeps what lies beyond full scale, where noise shows.
        if (use == Use::Measure)
            ok = mpg123_format_none(handle_) == MPG123_OK &&
                 mpg123_format2(handle_, 0, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32) ==
                     MPG123_OK;
        if (ok &&
            mpg123_replace_reader_handle(handle_, readWindow, seekWindow, nullptr) == MPG123_OK)
            return true;
        mpg123_delete(handle_);
        handle_ = nullptr;
        return false;
    }

    mpg123_handle* handle_ = nullptr;
    WindowReader reader_;
};

// Songs of different rates joined with cat make one file that libmpg123
// would measure at the first song's rate, with the later songs' tag frames,
// encoder delays and paddings left in. Such a file is measured and played
// part by part, each part a file of its own to libmpg123.
struct Part {
    off_t offset = 0; // in the stream of the file's spans
    off_t bytes = 0;
    long rate = 0;
    int64_t samples = 0; // at the part's own rate
    int64_t startMs = 0;
};

struct Layout {
    std::vector<Span> spans;
    std::vector<Part> parts;
    int64_t lengthMs = 0;
    int64_t bytesRead = 0;
};

// Exact sample count: the scan counts every frame, and gapless decoding
// removes the encoder delay and padding of a LAME tag.
bool scanPart(Mpg123& decoder, const Source& source, Part& part, bool& stitched) {
    if (!decoder.open(source, part.offset, part.bytes, Use::Measure)) return false;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(decoder.get(), &part.rate, &channels, &encoding) != MPG123_OK ||
        part.rate <= 0)
        return false;
    if (mpg123_scan(decoder.get()) != MPG123_OK) return false;
    part.samples = mpg123_length(decoder.get());
    long value = 0;
    double unused = 0;
    stitched = mpg123_getstate(decoder.get(), MPG123_FRANKENSTEIN, &value, &unused) == MPG123_OK &&
               value != 0;
    return part.samples > 0;
}

// Frames that pass every header test can still carry no sound: decoded, they
// give noise, with many samples at full scale or more power than a
// full-scale square wave. A stretch from the middle of the song tells.
bool decodesToNoise(Mpg123& decoder, const Part& whole) {
    constexpr size_t kCheckSamples = 16384;
    constexpr float kNearFullScale = 0.98f;
    constexpr size_t kClippedShare = 20; // one sample in this many
    if (mpg123_seek(decoder.get(), static_cast<off_t>(whole.samples / 2), SEEK_SET) < 0)
        return false;
    std::vector<float> samples(kCheckSamples);
    size_t bytes = 0;
    mpg123_read(decoder.get(), samples.data(), samples.size() * sizeof(float), &bytes);
    size_t count = bytes / sizeof(float), clipped = 0;
    double power = 0;
    for (size_t i = 0; i < count; ++i) {
        clipped += std::fabs(samples[i]) >= kNearFullScale ? 1 : 0;
        power += double(samples[i]) * samples[i];
    }
    return clipped * kClippedShare > count || power > double(count);
}

// The Xing or Info frame that starts every LAME-encoded song.
bool isTagFrame(mpg123_handle* handle, const mpg123_frameinfo& info) {
    unsigned long header = 0;
    unsigned char* body = nullptr;
    size_t bytes = 0;
    if (info.layer != 3 || mpg123_framedata(handle, &header, &body, &bytes) != MPG123_OK || !body)
        return false;
    bool mono = info.mode == MPG123_M_MONO;
    size_t sideInfo = info.version == MPG123_1_0 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    size_t at = sideInfo + ((info.flags & MPG123_CRC) ? 2 : 0);
    return bytes >= at + 4 &&
           (std::memcmp(body + at, "Xing", 4) == 0 || std::memcmp(body + at, "Info", 4) == 0);
}

// A new part begins at each tag frame after the first frame and where the
// sample rate changes. Garbage can pass for a frame or two of another rate,
// so a new rate counts only once it has held for a few frames.
std::vector<off_t> partStarts(const Source& source) {
    constexpr int kRateFrames = 3;
    std::vector<off_t> starts = {0};
    Mpg123 walker;
    if (!walker.open(source, 0, streamBytes(*source.spans), Use::Walk)) return starts;
    long rate = 0, newRate = 0;
    off_t newRateAt = 0;
    int newRateFrames = 0;
    for (bool first = true;; first = false) {
        int err = mpg123_framebyframe_next(walker.get());
        mpg123_frameinfo info;
        if ((err != MPG123_OK && err != MPG123_NEW_FORMAT) ||
            mpg123_info(walker.get(), &info) != MPG123_OK)
            break;
        off_t at = mpg123_framepos(walker.get());
        if (first) {
            rate = info.rate;
        } else if (isTagFrame(walker.get(), info)) {
            if (at > starts.back()) starts.push_back(at);
            rate = info.rate;
            newRateFrames = 0;
        } else if (info.rate == rate) {
            newRateFrames = 0;
        } else if (newRateFrames > 0 && info.rate == newRate) {
            if (++newRateFrames < kRateFrames) continue;
            if (newRateAt > starts.back()) starts.push_back(newRateAt);
            rate = newRate;
            newRateFrames = 0;
        } else {
            newRate = info.rate;
            newRateAt = at;
            newRateFrames = 1;
        }
    }
    return starts;
}

// A file that holds no MPEG audio, or frames that decode to noise, gets an
// empty layout: length 0, which no list admits.
Layout measure(const File& file, std::vector<unsigned char>& window) {
    Layout layout;
    FileBytes bytes(file, window, layout.bytesRead);
    std::vector<Span> spans = findFrames(bytes);
    const Source source{&file, &spans, &window, &layout.bytesRead};
    Mpg123 decoder;
    Part whole;
    whole.bytes = streamBytes(spans);
    bool stitched = false;
    if (spans.empty() || !scanPart(decoder, source, whole, stitched) ||
        decodesToNoise(decoder, whole))
        return layout;
    std::vector<off_t> starts = stitched ? partStarts(source) : std::vector<off_t>{0};
    for (size_t i = 0; starts.size() > 1 && i < starts.size(); ++i) {
        Part part;
        part.offset = starts[i];
        part.bytes = (i + 1 < starts.size() ? starts[i + 1] : whole.bytes) - starts[i];
        bool ignored = false;
        if (scanPart(decoder, source, part, ignored)) layout.parts.push_back(part);
    }
    if (layout.parts.empty()) layout.parts.push_back(whole);
    double ms = 0;
    for (Part& part : layout.parts) {
        part.startMs = std::llround(ms);
        ms += static_cast<double>(part.samples) * 1000.0 / static_cast<double>(part.rate);
    }
    layout.lengthMs = std::llround(ms);
    layout.spans = std::move(spans);
    return layout;
}

// Probes share one window, so that a run of them does not fault in fresh
// pages for every file.
Layout measureShared(const File& file) {
    static std::mutex mutex;
    static std::vector<unsigned char> window;
    std::lock_guard lock(mutex);
    return measure(file, window);
}

// ---------------------------------------------------------------- streams

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
};

using StreamPtr = std::shared_ptr<Stream>;

int64_t positionLocked(const Stream& s) {
    if (s.atEnd) return s.lengthMs;
    return std::min(s.lengthMs, s.startMs + s.framesConsumed * 1000 / kOutputRate);
}

// Points the decoder at one part of the file. Caller holds decodeMutex.
bool openPart(Stream& s, size_t index) {
    if (!s.decoder) s.decoder = std::make_unique<Mpg123>();
    s.part = index;
    const Part& p = s.parts[index];
    if (s.decoder->open({&s.file, &s.spans, &s.window}, p.offset, p.bytes, Use::Play)) return true;
    s.decoder.reset();
    return false;
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
        bool ended = err != MPG123_OK && err != MPG123_NEW_FORMAT;
        // A stitched file goes on with its next part without a gap.
        bool nextPart = ended && s.part + 1 < s.parts.size() && openPart(s, s.part + 1);
        idleReads = got > 0 || nextPart ? 0 : idleReads + 1;
        bool done = (ended && !nextPart) || idleReads > 16;
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
    std::atomic<bool> silent{false}; // the device (or WAV) sink without a device
    std::string deviceError;         // why there is none
    bool deviceWithheld = false;     // test hook of the WAV sink
    bool deviceAdded = false;        // a device appeared since the last reopen try

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

    int64_t measuredBytes = 0; // what the last open or probe read of its file
};

Engine engine;

bool sinkDecodes() {
    return (engine.kind == SinkKind::WavFile || engine.kind == SinkKind::Device) && !engine.silent;
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

// Opens the device paused; false (and the subsystem closed again) when none opens.
bool openDevice() {
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
        return false;
    }
    return true;
}

void startDevice() {
    engine.silent = false;
    if (!openDevice()) {
        startSilent();
        return;
    }
    engine.worker = std::thread(workerLoop);
    SDL_PauseAudioDevice(engine.device, 0);
}

bool startStream(const StreamPtr& s, int64_t fromMs);

// After a silent stretch the decoders stand where the sound stopped: each
// playing stream is sought to where the silent clock has it.
void resumeStreamsWithSound() {
    std::vector<StreamPtr> playing;
    for (auto& [alias, stream] : engine.streams) {
        std::lock_guard lock(stream->mutex);
        if (stream->playing) playing.push_back(stream);
    }
    for (const StreamPtr& s : playing) {
        int64_t at;
        {
            std::lock_guard lock(s->mutex);
            at = positionLocked(*s);
        }
        startStream(s, at);
    }
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
        if (engine.silent) {
            std::fill(engine.wavBuffer.begin(), engine.wavBuffer.end(), int16_t(0));
            for (auto& [alias, stream] : engine.streams)
                advanceStream(*stream, n);
            std::fwrite(engine.wavBuffer.data(), sizeof(int16_t), n * kChannels, engine.wav);
            engine.wavFrames += n;
            frames -= n;
            continue;
        }
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
    engine.deviceWithheld = false;
    engine.deviceAdded = false;
}

std::string deviceError() {
    return engine.deviceError;
}

std::string sinkName() {
    switch (engine.kind) {
    case SinkKind::Device:
        return engine.silent ? "silent" : "device";
    case SinkKind::WavFile:
        return engine.silent ? "silent" : "wav";
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

void deviceLost(uint32_t device) {
    if (engine.silent) return;
    if (engine.kind == SinkKind::WavFile) {
        engine.deviceError = "the audio device went away";
        engine.silent = true;
        return;
    }
    if (engine.kind != SinkKind::Device || (device != 0 && device != engine.device)) return;
    engine.deviceError = "the audio device went away";
    stopThreads();
    closeDevice();
    startSilent();
}

void deviceAdded() {
    engine.deviceAdded = true;
}

bool deviceAddedSinceLastTry() {
    return engine.deviceAdded;
}

bool reopenDevice() {
    engine.deviceAdded = false;
    if (!engine.silent) return engine.kind == SinkKind::Device || engine.kind == SinkKind::WavFile;
    if (engine.kind == SinkKind::WavFile) {
        if (engine.deviceWithheld) return false;
        engine.silent = false;
        resumeStreamsWithSound();
        return true;
    }
    if (engine.kind != SinkKind::Device) return false;
    // The silent clock runs on while the device is tried, so a failed try
    // costs the positions nothing.
    if (!openDevice()) return false;
    stopThreads();
    engine.silent = false;
    engine.deviceError.clear();
    engine.worker = std::thread(workerLoop);
    resumeStreamsWithSound();
    SDL_PauseAudioDevice(engine.device, 0);
    return true;
}

void withholdDevice(bool withheld) {
    engine.deviceWithheld = withheld;
}

bool open(const std::string& alias, const std::string& path) {
    if (find(alias)) return false;
    auto stream = std::make_shared<Stream>();
    engine.measuredBytes = 0;
    if (!stream->file.open(files::resolveCase(path))) return false;
    Layout layout = measureShared(stream->file);
    engine.measuredBytes = layout.bytesRead;
    if (layout.lengthMs <= 0) return false;
    stream->spans = std::move(layout.spans);
    stream->parts = std::move(layout.parts);
    stream->lengthMs = layout.lengthMs;
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
    return startStream(s, fromMs);
}

namespace {

bool startStream(const StreamPtr& s, int64_t fromMs) {
    bool decodes = sinkDecodes();
    std::vector<float> ring; // allocated here, not under the lock the callback takes
    if (decodes && s->ring.empty()) ring.resize(kRingFrames * kChannels);
    {
        std::lock_guard decodeLock(s->decodeMutex);
        bool decoderReady = false;
        if (decodes) {
            size_t index = 0;
            while (index + 1 < s->parts.size() && s->parts[index + 1].startMs <= fromMs)
                ++index;
            // The same part again keeps the decoder and the frame index it has built.
            bool opened = (s->decoder && s->part == index) || openPart(*s, index);
            int64_t offset = (fromMs - s->parts[index].startMs) * kOutputRate / 1000;
            decoderReady =
                opened && mpg123_seek(s->decoder->get(), static_cast<off_t>(offset), SEEK_SET) >= 0;
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

} // namespace

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
    engine.measuredBytes = 0;
    File file;
    if (!file.open(files::resolveCase(path))) return 0;
    Layout layout = measureShared(file);
    engine.measuredBytes = layout.bytesRead;
    return layout.lengthMs;
}

int64_t measuredBytes() {
    return engine.measuredBytes;
}

} // namespace audio
