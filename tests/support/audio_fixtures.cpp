#include "tests/support/audio_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>

#include "platform/process.h"

namespace fixtures {

// Names no other test process picks at the same time: the process, the
// clock and a count, without touching the seeded generator.
static std::string uniqueSuffix() {
    static unsigned counter = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto self = std::hash<std::thread::id>{}(std::this_thread::get_id());
    char text[40];
    std::snprintf(text, sizeof text, "%08llx%04x",
                  static_cast<unsigned long long>(now ^ (self << 16)) & 0xffffffffffull,
                  ++counter & 0xffffu);
    return text;
}

static void put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(v & 0xff);
    out.push_back((v >> 8) & 0xff);
}

static void put32(std::vector<unsigned char>& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

static uint32_t get16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
static uint32_t get32(const unsigned char* p) {
    return get16(p) | (get16(p + 2) << 16);
}

bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int rate,
              int channels) {
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<unsigned char> out;
    out.reserve(44 + dataBytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, channels);
    put32(out, rate);
    put32(out, rate * channels * 2);
    put16(out, channels * 2);
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, dataBytes);
    for (int16_t s : samples)
        put16(out, static_cast<uint16_t>(s));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

Wav readWav(const std::string& path) {
    Wav wav;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return wav;
    std::vector<unsigned char> bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return wav;
    int rate = 0, channels = 0, bits = 0;
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const unsigned char* chunk = bytes.data() + pos;
        size_t size = get32(chunk + 4);
        size_t body = pos + 8;
        size_t available = std::min(size, bytes.size() - body);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            channels = get16(chunk + 10);
            rate = get32(chunk + 12);
            bits = get16(chunk + 22);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (bits != 16 || channels <= 0) return wav;
            wav.samples.resize(available / 2);
            for (size_t i = 0; i < wav.samples.size(); ++i)
                wav.samples[i] = static_cast<int16_t>(get16(bytes.data() + body + 2 * i));
            wav.rate = rate;
            wav.channels = channels;
            return wav;
        }
        pos = body + size + (size & 1);
    }
    return wav;
}

std::vector<int16_t> sineSamples(double seconds, double freqHz, double amplitude, int rate,
                                 int channels) {
    size_t frames = static_cast<size_t>(std::llround(seconds * rate));
    std::vector<int16_t> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        double v = amplitude * std::sin(2 * std::numbers::pi * freqHz * i / rate);
        auto s = static_cast<int16_t>(std::lround(v * 32767));
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = s;
    }
    return samples;
}

int runProgram(const std::vector<std::string>& argv) {
    return process::run(argv);
}

// lame gives the same bytes for the same input, so an encoded fixture is kept
// in $KK_FIXTURE_CACHE under the hash of its WAV and settings: a suite run
// encodes each one once, not in every test that makes it.
static std::string cachedMp3Name(const std::string& wavPath, bool vbr) {
    const char* folder = std::getenv("KK_FIXTURE_CACHE");
    if (!folder || !*folder) return {};
    FILE* f = std::fopen(wavPath.c_str(), "rb");
    if (!f) return {};
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    unsigned char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        for (size_t i = 0; i < n; ++i)
            hash = (hash ^ buffer[i]) * 1099511628211ull;
    std::fclose(f);
    char name[48];
    std::snprintf(name, sizeof name, "/%016llx-%s.mp3", static_cast<unsigned long long>(hash),
                  vbr ? "v2" : "b128");
    return folder + std::string(name);
}

bool encodeMp3(const std::string& wavPath, const std::string& mp3Path, bool vbr) {
    namespace fs = std::filesystem;
    const std::string cached = cachedMp3Name(wavPath, vbr);
    std::error_code ec;
    if (!cached.empty() && fs::exists(cached, ec)) {
        fs::copy_file(cached, mp3Path, fs::copy_options::overwrite_existing, ec);
        if (!ec) return true;
    }
    std::vector<std::string> argv = {lameCommand(), "--quiet"};
    if (vbr)
        argv.insert(argv.end(), {"-V", "2"});
    else
        argv.insert(argv.end(), {"-b", "128"});
    argv.insert(argv.end(), {wavPath, mp3Path});
    if (runProgram(argv) != 0) return false;
    if (!cached.empty()) {
        // Shards run side by side: a whole file or none under the cache's name.
        fs::create_directories(fs::path(cached).parent_path(), ec);
        const std::string part = cached + ".part" + uniqueSuffix();
        fs::copy_file(mp3Path, part, fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::rename(part, cached, ec);
        if (ec) fs::remove(part, ec);
    }
    return true;
}

bool makeSineMp3(const std::string& path, double seconds, double freqHz, double amplitude, int rate,
                 int channels, bool vbr) {
    std::string wavPath = path + ".source.wav";
    bool ok = writeWav(wavPath, sineSamples(seconds, freqHz, amplitude, rate, channels), rate,
                       channels) &&
              encodeMp3(wavPath, path, vbr);
    std::remove(wavPath.c_str());
    return ok;
}

int64_t lameDecodedFrames(const std::string& mp3Path, const std::string& scratchWavPath) {
    if (runProgram({lameCommand(), "--quiet", "--decode", mp3Path, scratchWavPath}) != 0) return -1;
    Wav wav = readWav(scratchWavPath);
    std::remove(scratchWavPath.c_str());
    return wav.rate > 0 ? static_cast<int64_t>(wav.frames()) : -1;
}

bool writeSparse(const std::string& path, const std::string& head, int64_t size,
                 const std::string& tail) {
    std::error_code ec;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << head;
        if (!out) return false;
    }
    // The space between is a hole where the file system makes one.
    std::filesystem::resize_file(path, static_cast<uintmax_t>(size), ec);
    if (ec) return false;
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(size - static_cast<int64_t>(tail.size())));
    out << tail;
    return bool(out);
}

std::string id3v2Header(uint32_t bytes) {
    std::string h = {'I', 'D', '3', 4, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7)
        h.push_back(char((bytes >> shift) & 0x7f));
    return h;
}

std::vector<std::string> writeHugeFiles(const std::string& folder, const std::string& mp3) {
    constexpr int64_t kMiB = int64_t(1) << 20;
    constexpr uint32_t kTagBytes = (uint32_t(1) << 28) - 1;
    const std::vector<std::string> names = {"zeros after.mp3", "zeros before.mp3", "huge tag.mp3"};
    bool ok = writeSparse(folder + "/" + names[0], mp3, 1024 * kMiB) &&
              writeSparse(folder + "/" + names[1], {}, 256 * kMiB + int64_t(mp3.size()), mp3) &&
              writeSparse(folder + "/" + names[2], id3v2Header(kTagBytes),
                          10 + int64_t(kTagBytes) + int64_t(mp3.size()), mp3);
    return ok ? names : std::vector<std::string>{};
}

TempDir::TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = base / ("kk-test-" + uniqueSuffix());
        if (fs::create_directory(candidate, ec)) path_ = candidate.string();
    }
}

TempDir::~TempDir() {
    // KK_KEEP_TEMP=1 leaves the folders behind for a look at a failed run.
    const char* keep = std::getenv("KK_KEEP_TEMP");
    if (path_.empty() || (keep && *keep == '1')) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<double> toneLevels(const Wav& wav, double freqHz, double windowSeconds) {
    std::vector<double> out;
    const size_t n = size_t(wav.rate * windowSeconds);
    if (n == 0 || wav.channels <= 0) return out;
    const double k = 2 * std::cos(2 * M_PI * freqHz / wav.rate);
    for (size_t start = 0; start + n <= wav.frames(); start += n) {
        double s1 = 0, s2 = 0;
        for (size_t i = start; i < start + n; ++i) {
            const double s = wav.samples[i * size_t(wav.channels)] / 32768.0 + k * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        out.push_back(2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2)) / double(n));
    }
    return out;
}

} // namespace fixtures
