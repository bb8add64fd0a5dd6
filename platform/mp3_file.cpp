#include "platform/mp3_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/audio_engine.h"

namespace audio {
namespace {

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

off_t streamBytes(const std::vector<Span>& spans) {
    return spans.empty() ? 0 : spans.back().streamAt + spans.back().bytes;
}

// Reads stream bytes from `at` on, span by span.
size_t readStream(WindowReader& r, unsigned char* out, size_t bytes, off_t at) {
    const std::vector<Span>& spans = *r.spans;
    if (spans.empty()) return 0;
    auto span = std::upper_bound(spans.begin(), spans.end(), at,
                                 [](off_t a, const Span& s) { return a < s.streamAt; });
    size_t done = 0;
    for (--span; done < bytes && span != spans.end(); ++span) {
        off_t into = at + static_cast<off_t>(done) - span->streamAt;
        size_t n = static_cast<size_t>(std::min<off_t>(off_t(bytes - done), span->bytes - into));
        size_t got = r.file->readAt(out + done, n, span->fileAt + into);
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
    size_t want = static_cast<size_t>(std::min<off_t>(off_t(chunk), r.size - r.pos));
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
            size_t want =
                static_cast<size_t>(std::min<off_t>(off_t(window_.size()), file_.size() - at));
            have_ = file_.readAt(window_.data(), want, at);
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
        at += off_t(sync - p);
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
        clipped += std::fabs(samples[i]) >= kNearFullScale ? 1u : 0u;
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

} // namespace

Mpg123::~Mpg123() {
    if (handle_) mpg123_delete(handle_);
}

bool Mpg123::open(const Source& source, off_t offset, off_t bytes, Use use) {
    if (!handle_ && !create(use)) return false;
    mpg123_close(handle_);
    reader_ = {source.file, source.spans, offset, bytes, 0, source.window, 0, 0,
               source.bytesRead};
    return mpg123_open_handle(handle_, &reader_) == MPG123_OK &&
           mpg123_set_filesize(handle_, bytes) == MPG123_OK;
}

bool Mpg123::create(Use use) {
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
             mpg123_format(handle_, kOutputRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) == MPG123_OK;
    // Float keeps what lies beyond full scale, where noise shows.
    if (use == Use::Measure)
        ok = mpg123_format_none(handle_) == MPG123_OK &&
             mpg123_format2(handle_, 0, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32) ==
                 MPG123_OK;
    if (ok && mpg123_replace_reader_handle(handle_, readWindow, seekWindow, nullptr) == MPG123_OK)
        return true;
    mpg123_delete(handle_);
    handle_ = nullptr;
    return false;
}

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

Layout measureShared(const File& file) {
    static std::mutex mutex;
    static std::vector<unsigned char> window;
    std::lock_guard lock(mutex);
    return measure(file, window);
}

} // namespace audio
