#pragma once
// What a file of MPEG audio holds, found without trusting it: the stretches
// of chained frames past tags, damage and other formats, the parts of joined
// files, the exact length; and the libmpg123 handle that reads those frames
// through a small window. Used by the audio engine only; no state but the
// probes' shared window.
#include <mpg123.h>

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// An open file. Non-blocking open so that a FIFO or device under an MP3 name
// cannot hang the caller; only regular files are taken.
// A sanity limit on what one file may claim; the work of a probe is bounded
// by the MPEG audio found in the file, not by its size.
constexpr off_t kMaxFileBytes = off_t(1) << 30;

// Each system's own (posix/, win32/file_reader.cpp).
class File {
  public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Regular files only, of at most `maxBytes`.
    bool open(const std::string& path, off_t maxBytes);
    off_t size() const { return size_; }
    // Fills `out` from the file at `at`; fewer bytes where an unreadable
    // sector or the end of the file comes first. Keeps no file position, so
    // measuring a file and decoding it never disturb each other.
    size_t readAt(unsigned char* out, size_t bytes, off_t at) const;

  private:
    intptr_t handle_ = -1;
    off_t size_ = 0;
};

// A stretch of the file made of MPEG audio frames, each followed at once by
// the next. The decoder sees the spans of a file back to back as one stream,
// so tags, damage and zeros between them never reach it.
struct Span {
    off_t fileAt = 0;
    off_t streamAt = 0;
    off_t bytes = 0;
};

// One byte range of that stream, which libmpg123 takes for a whole file, read
// through a bounded window. pread keeps no file offset, so measuring a file
// and decoding it never disturb each other.
struct WindowReader {
    const File* file = nullptr;
    const std::vector<Span>* spans = nullptr;
    off_t base = 0;
    off_t size = 0;
    off_t pos = 0;
    std::vector<unsigned char>* window = nullptr;
    off_t windowAt = 0;
    size_t windowBytes = 0;
    int64_t* bytesRead = nullptr; // counts what came from the file, where wanted
};

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
    ~Mpg123();

    // `offset` and `bytes` count in the stream of the source's spans.
    bool open(const Source& source, off_t offset, off_t bytes, Use use);
    mpg123_handle* get() const { return handle_; }

  private:
    bool create(Use use);

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

// A file that holds no MPEG audio, or frames that decode to noise, gets an
// empty layout: length 0, which no list admits.
Layout measure(const File& file, std::vector<unsigned char>& window);
// The same through one window that all probes share, so that a run of them
// does not fault in fresh pages for every file.
Layout measureShared(const File& file);

} // namespace audio
