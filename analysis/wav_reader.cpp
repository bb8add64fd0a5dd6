#include "analysis/wav_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "analysis/envelope.h"

static_assert(std::endian::native == std::endian::little, "samples are read in place");

namespace {

// Between blocks the caller keeps the screen alive; a few times a second of
// audio is plenty and costs nothing measurable.
constexpr int32_t kBlocksPerHook = 64;
std::function<void()> blockWalkHook;

// Reads of 2206 values that skip their first and step on by 2205 tile the
// data from its second value on; so a block is simply the 2205 values per
// channel that follow, and the data's first value is never used.
constexpr int64_t kFirstValueBytes = 2;
constexpr int64_t kStepBytes = kSamplesPerBlock * 2;
// The last 11 kB of the data are left unread, as the decoder tends to end in padding.
constexpr int64_t kTailMarginBytes = 11000;
constexpr int kMaxChunkSkips = 3;

const char* const kUnknownText = " unknown  ... nicht bekannt.";

// Positional reads; whatever lies outside the source reads as zeros.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual int64_t size() const = 0;
    virtual void readAt(int64_t pos, uint8_t* dst, size_t n) = 0;
    // `count` little-endian samples from `pos`: a view into the source's own
    // buffer where it holds them all, else a copy into `scratch`.
    virtual std::span<const int16_t> samplesAt(int64_t pos, size_t count,
                                               std::vector<int16_t>& scratch) {
        scratch.resize(count);
        readAt(pos, reinterpret_cast<uint8_t*>(scratch.data()), count * 2);
        return scratch;
    }
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const uint8_t> b) : bytes(b) {}
    int64_t size() const override { return int64_t(bytes.size()); }
    void readAt(int64_t pos, uint8_t* dst, size_t n) override {
        std::memset(dst, 0, n);
        if (pos < 0 || pos >= size()) return;
        size_t avail = std::min(n, size_t(size() - pos));
        std::memcpy(dst, bytes.data() + pos, avail);
    }

  private:
    std::span<const uint8_t> bytes;
};

// Reads the file in large sequential pieces into a buffer of samples, so the
// block walk looks at the samples where they landed, without a copy.
class FileSource final : public ByteSource {
  public:
    explicit FileSource(std::FILE* f) : file(f) {
        if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
        if (length < 0) length = 0;
        // A small file needs no more window than itself.
        window.resize(std::min(kWindowValues, size_t(length) / 2 + 1));
    }
    int64_t size() const override { return length; }
    void readAt(int64_t pos, uint8_t* dst, size_t n) override {
        std::memset(dst, 0, n);
        if (pos < 0 || pos >= length) return;
        if (!holds(pos, n)) fill(pos);
        int64_t from = pos - windowStart;
        size_t have = size_t(std::min<int64_t>(int64_t(n), windowBytes - from));
        if (from >= 0 && have > 0) std::memcpy(dst, bytes() + from, have);
        // What lies past the end of the file stays zero.
    }
    std::span<const int16_t> samplesAt(int64_t pos, size_t count,
                                       std::vector<int16_t>& scratch) override {
        const size_t n = count * 2;
        if (pos >= 0 && pos < length && !holds(pos, n)) fill(pos);
        // A fill starts at the block, and blocks lie an even number of bytes apart.
        if (holds(pos, n) && (pos - windowStart) % 2 == 0)
            return {window.data() + (pos - windowStart) / 2, count};
        return ByteSource::samplesAt(pos, count, scratch);
    }

  private:
    static constexpr size_t kWindowValues = size_t(1) << 19; // 1 MiB

    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(window.data()); }
    bool holds(int64_t pos, size_t n) const {
        return pos >= windowStart && pos + int64_t(n) <= windowStart + windowBytes;
    }
    void fill(int64_t pos) {
        windowStart = pos;
        windowBytes = 0;
        if (std::fseek(file, long(pos), SEEK_SET) == 0)
            windowBytes = int64_t(std::fread(bytes(), 1, window.size() * 2, file));
    }

    std::FILE* file;
    int64_t length = 0;
    std::vector<int16_t> window;
    int64_t windowStart = 0;
    int64_t windowBytes = 0;
};

struct ChunkHeader {
    std::array<uint8_t, 80> bytes{};
    bool is(const char* id) const { return std::memcmp(bytes.data(), id, 4) == 0; }
    uint32_t u32(size_t at) const {
        return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
    }
    uint16_t u16(size_t at) const { return uint16_t(bytes[at] | bytes[at + 1] << 8); }
};

ChunkHeader headerAt(ByteSource& src, int64_t pos) {
    ChunkHeader h;
    src.readAt(pos, h.bytes.data(), h.bytes.size());
    return h;
}

// Moves `pos` onto the chunk `id`, skipping at most three others. Sizes are
// taken as they stand (no pad byte) and added in 64 bits, so hostile sizes
// only move the position past the end, where the zeros fail the next test.
bool findChunk(ByteSource& src, int64_t& pos, const char* id, ChunkHeader& h) {
    h = headerAt(src, pos);
    for (int skips = 0; !h.is(id); ++skips) {
        if (skips == kMaxChunkSkips) return false;
        pos += int64_t(h.u32(4)) + 8;
        h = headerAt(src, pos);
    }
    return true;
}

WaveReadResult refuse(int slot, const char* why) {
    clearEnvelopeSlot(slot);
    return {false, std::string(kUnknownText) + why, 0, 0};
}

WaveReadResult parse(ByteSource& src, int slot) {
    if (slot < 0 || slot >= kEnvelopeSlots) return {false, kUnknownText, 0, 0};
    allocateEnvelopes();

    ChunkHeader h = headerAt(src, 0);
    if (!h.is("RIFF") || std::memcmp(h.bytes.data() + 8, "WAVE", 4) != 0)
        return refuse(slot, "RIFF / WAVE.");

    int64_t p = 12;
    if (!findChunk(src, p, "fmt ", h)) return refuse(slot, " FMT-Eintrag nicht gefunden.");
    if (h.u16(8) != 1) return refuse(slot, " Format ist nicht PCM.");
    int channels = h.u16(10);
    if (channels != 1 && channels != 2) return refuse(slot, " Format ist nicht Mono oder Stereo.");
    if (h.u16(22) != 16) return refuse(slot, " Format ist nicht 16bit .");
    const int sampleRate = int(h.u32(12));

    p += int64_t(h.u32(4)) + 8;
    if (!findChunk(src, p, "data", h)) return refuse(slot, "Audiodaten nicht gefunden.");
    int64_t dataBytes = h.u32(4);
    if (dataBytes > int64_t(kMaxWaveDataBytes)) return refuse(slot, "Datei zu gross.");
    const int64_t present = std::max<int64_t>(0, std::min<int64_t>(dataBytes, int64_t(src.size()) - (p + 8)));

    const size_t blockValues = size_t(kSamplesPerBlock) * size_t(channels);
    const int64_t blockStep = kStepBytes * channels;
    std::vector<int16_t> scratch;
    int64_t q = p + 8;
    int32_t blocks = 0;
    // The blocks are too coarse for K-weighting: the meter hears every sample.
    LoudnessMeter meter(sampleRate, channels);
    do {
        const auto values = src.samplesAt(q + kFirstValueBytes, blockValues, scratch);
        addEnvelopeBlock(slot, blocks, values, channels);
        meter.add(values);
        q += blockStep;
        ++blocks;
        if (blocks % kBlocksPerHook == 0 && blockWalkHook) blockWalkHook();
        // A data size pointing past the file ends the walk at the file's end
        // instead of filling the tables with zeros.
    } while (q + kTailMarginBytes < p + dataBytes && q < src.size() && blocks < kEnvelopeBlocks);

    finishEnvelope(slot, blocks, meter.integrated());
    return {true, "", channels, blocks, sampleRate, present / (2 * channels)};
}

} // namespace

void setBlockWalkHook(std::function<void()> hook) {
    blockWalkHook = std::move(hook);
}

WaveReadResult parseDecodedWave(std::span<const uint8_t> bytes, int slot) {
    MemorySource src(bytes);
    return parse(src, slot);
}

WaveReadResult readDecodedWave(const std::string& path, int slot) {
    if (path.empty()) return {false, kUnknownText, 0, 0};
    // The hook may end the session in the middle of the walk.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) return refuse(slot, "RIFF / WAVE.");
    FileSource src(f.get());
    return parse(src, slot);
}
