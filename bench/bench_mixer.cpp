// Mixer: CPU time per minute of audio with 1, 2 and 10 streams playing (10:
// both playlist channels and all eight gongs). The WAV sink decodes and mixes
// for real, in virtual time, into /dev/null, so the figure is the engine's own
// cost without a device. Then how long a gong's PLAY takes on the main thread.
#include "platform/audio_engine.h"
#include "platform/clock.h"
#include "tests/support/audio_fixtures.h"
// The benchmarks are single-file programs; they share the test fixtures' code.
#include "tests/support/audio_fixtures.cpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/resource.h>

namespace {

constexpr double kAudioSeconds = 60.0;
constexpr double kStepSeconds = 0.005; // the main loop's sleep

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double virtualNow = 0;

} // namespace

int main() {
    timing::Source clock;
    clock.now = [] { return virtualNow; };
    clock.sleep = [](double ms) { virtualNow += ms / 1000; };
    timing::install(clock);
    fixtures::TempDir dir;
    std::string mp3 = dir.file("song.mp3");
    // Long enough that no stream ends within the measured minute.
    if (!fixtures::makeSineMp3(mp3, 75.0, 440, 0.2)) {
        std::fprintf(stderr, "lame failed\n");
        return 1;
    }
    std::printf("%8s %16s %18s %12s\n", "streams", "CPU s per min", "% of a core", "per stream");
    for (int streams : {1, 2, 10}) {
        virtualNow = 0;
        audio::start(audio::SinkKind::WavFile, "/dev/null");
        for (int i = 0; i < streams; ++i) {
            std::string alias = i == 0   ? "AUBIO_I"
                                : i == 1 ? "AUBIO_II"
                                         : "GONG" + std::to_string(i - 2);
            audio::open(alias, mp3);
            audio::setVolume(alias, 1000 / streams);
            audio::play(alias, i * 1000);
        }
        double before = cpuSeconds();
        while (virtualNow < kAudioSeconds) {
            virtualNow += kStepSeconds;
            audio::advanceTo(virtualNow);
        }
        double cpu = cpuSeconds() - before;
        audio::shutdown();
        double percent = cpu / kAudioSeconds * 100.0;
        std::printf("%8d %16.3f %17.3f%% %11.3f%%\n", streams, cpu * 60.0 / kAudioSeconds, percent,
                    percent / streams);
    }
    std::printf("\ngoal: < 1 %% of a core per stream (decode + mix)\n");

    // A gong's PLAY: open (which measures the file), volume and play, the
    // way the click does it; a five-minute file, the longest a gong may be.
    const std::string gong = dir.file("gong.mp3");
    if (!fixtures::makeSineMp3(gong, 300.0, 880, 0.2)) return 1;
    audio::start(audio::SinkKind::WavFile, "/dev/null");
    double slowest = 0, total = 0;
    constexpr int kStarts = 20;
    for (int i = 0; i < kStarts; ++i) {
        const double t0 = timing::hostSeconds();
        audio::open("GONG0", gong);
        audio::setVolume("GONG0", 800);
        audio::play("GONG0", 0);
        const double ms = (timing::hostSeconds() - t0) * 1000;
        slowest = std::max(slowest, ms);
        total += ms;
        audio::close("GONG0");
    }
    audio::shutdown();
    std::printf("\ngong PLAY of a 300 s MP3: %.2f ms on average, %.2f ms at most (goal: < 20 ms)\n",
                total / kStarts, slowest);
    timing::install({});
    return 0;
}
