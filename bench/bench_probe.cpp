// Length probe: milliseconds per file for three-minute CBR and VBR MP3s with a
// warm cache, against ffprobe on the same files, and the error of each
// against the sample count that `lame --decode` produces. Then the files that
// once stalled the player (1 GiB of zeros after the song, 256 MiB before it,
// the song behind a 256 MiB ID3v2 tag): time and peak memory of their probe.
#include "platform/audio_engine.h"
#include "platform/clock.h"
#include "tests/support/audio_fixtures.h"
// The benchmarks are single-file programs; they share the test fixtures' code.
#include "tests/support/audio_fixtures.cpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double kSeconds = 180.0;
constexpr int kRate = 44100;
constexpr int kProbeRuns = 200;
constexpr int kFfprobeRuns = 10;

// Something closer to music than a sine, so that VBR frames vary in size.
std::vector<int16_t> musicLike(double seconds) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double beat = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 2 * t);
        double tone = 0.3 * std::sin(2 * std::numbers::pi * 220 * t) * beat +
                      0.15 * std::sin(2 * std::numbers::pi * 660 * t + std::sin(t));
        for (int c = 0; c < 2; ++c)
            samples[2 * i + c] = static_cast<int16_t>(
                std::lround(std::clamp(tone + noise(random), -1.0, 1.0) * 32767));
    }
    return samples;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// ffprobe's duration in seconds; NaN when it cannot be run.
double ffprobeSeconds(const std::string& path) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return NAN;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        execlp("ffprobe", "ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
               "csv=p=0", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return NAN;
    return std::strtod(text.c_str(), nullptr);
}

long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Each file is probed in a child process of its own, so that the peak
// resident memory is the probe's and not what the encoding left behind.
void reportHugeFiles(const fixtures::TempDir& dir, const std::string& mp3) {
    constexpr int kRuns = 5;
    std::ifstream in(mp3, std::ios::binary);
    auto names =
        fixtures::writeHugeFiles(dir.path(), std::string(std::istreambuf_iterator<char>(in),
                                                         std::istreambuf_iterator<char>()));
    if (names.empty()) {
        std::fprintf(stderr, "cannot write the huge files in %s\n", dir.path().c_str());
        return;
    }
    std::printf("\n%-17s %9s %10s %9s %12s %12s\n", "huge file", "probe ms", "length ms",
                "read KiB", "base RSS KiB", "peak RSS KiB");
    for (const std::string& name : names) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            long base = peakResidentKb();
            std::string path = dir.file(name);
            double t0 = timing::hostSeconds();
            int64_t length = 0;
            for (int i = 0; i < kRuns; ++i)
                length = audio::probeLengthMs(path);
            double ms = (timing::hostSeconds() - t0) * 1000.0 / kRuns;
            dprintf(fds[1], "%-17s %9.3f %10lld %9lld %12ld %12ld\n", name.c_str(), ms,
                    static_cast<long long>(length),
                    static_cast<long long>(audio::measuredBytes() / 1024), base, peakResidentKb());
            _exit(0);
        }
        close(fds[1]);
        char buf[256];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0)
            std::fwrite(buf, 1, static_cast<size_t>(n), stdout);
        close(fds[0]);
        waitpid(pid, nullptr, 0);
    }
    std::printf("goal: each probe < 16 ms (a compressor tick), peak RSS within 8 MiB of base\n");
}

} // namespace

int main() {
    fixtures::TempDir dir;
    std::string wavPath = dir.file("music.wav");
    if (!fixtures::writeWav(wavPath, musicLike(kSeconds), kRate, 2)) {
        std::fprintf(stderr, "cannot write %s\n", wavPath.c_str());
        return 1;
    }
    struct Case {
        const char* name;
        bool vbr;
    };
    const Case cases[] = {{"CBR 128k", false}, {"VBR -V 2", true}};
    std::printf("%d probes per file, %d ffprobe runs; files of %.0f s\n\n", kProbeRuns,
                kFfprobeRuns, kSeconds);
    std::printf("%-9s %9s %8s %10s %11s %9s %11s %12s %9s\n", "file", "probe ms", "CPU ms",
                "length ms", "decoded ms", "error ms", "ffprobe ms", "ffprobe len", "error ms");
    for (const Case& c : cases) {
        std::string mp3 = dir.file(std::string(c.vbr ? "vbr" : "cbr") + ".mp3");
        if (!fixtures::encodeMp3(wavPath, mp3, c.vbr)) {
            std::fprintf(stderr, "lame failed\n");
            return 1;
        }
        double decodedMs =
            fixtures::lameDecodedFrames(mp3, dir.file("decoded.wav")) * 1000.0 / kRate;

        int64_t length = audio::probeLengthMs(mp3); // warms the cache
        double t0 = timing::hostSeconds();
        double cpu0 = cpuSeconds();
        for (int i = 0; i < kProbeRuns; ++i)
            length = audio::probeLengthMs(mp3);
        double probeMs = (timing::hostSeconds() - t0) * 1000.0 / kProbeRuns;
        double probeCpuMs = (cpuSeconds() - cpu0) * 1000.0 / kProbeRuns;

        double ffSeconds = ffprobeSeconds(mp3);
        double ffMs = NAN;
        if (!std::isnan(ffSeconds)) {
            t0 = timing::hostSeconds();
            for (int i = 0; i < kFfprobeRuns; ++i)
                ffprobeSeconds(mp3);
            ffMs = (timing::hostSeconds() - t0) * 1000.0 / kFfprobeRuns;
        }
        std::printf("%-9s %9.3f %8.3f %10lld %11.1f %9.1f %11.1f %12.1f %9.1f\n", c.name, probeMs,
                    probeCpuMs, static_cast<long long>(length), decodedMs, length - decodedMs, ffMs,
                    ffSeconds * 1000.0, ffSeconds * 1000.0 - decodedMs);
    }
    std::printf(
        "\nprobe ms and ffprobe ms are wall time per file, CPU ms the probe's own CPU time\n"
        "goal: probe < 2 ms per file, error within 1 ms\n");
    std::fflush(stdout);
    reportHugeFiles(dir, dir.file("cbr.mp3"));
    return 0;
}
