// The analysis' own costs: reading a decoded 5-minute stereo WAV into an
// envelope (against lame's own decode of the song), and one compressor tick.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "analysis/envelope.h"
#include "analysis/wav_reader.h"
#include "app/main_loop.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/transport.h"
#include "tests/support/audio_fixtures.h"

#include "tests/support/audio_fixtures.cpp"

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Best of several runs, after one to warm the caches.
double bestSeconds(const std::function<void()>& run, int runs = 7) {
    run();
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        double t0 = seconds();
        run();
        best = std::min(best, seconds() - t0);
    }
    return best;
}

// Reads the file through one reused 1 MiB buffer, as the reader does, handing
// each piece to `use`.
void readPieces(const std::string& path, const std::function<void(const uint8_t*, size_t)>& use) {
    static std::vector<uint8_t> piece(1 << 20);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    size_t n;
    while ((n = std::fread(piece.data(), 1, piece.size(), f)) > 0)
        use(piece.data(), n);
    std::fclose(f);
}

} // namespace

int main() {
    fixtures::TempDir dir;
    const std::string wav = dir.file("song.wav"), mp3 = dir.file("song.mp3");
    if (!fixtures::writeWav(wav, fixtures::sineSamples(300, 440, 0.5, 44100, 2), 44100, 2) ||
        !fixtures::encodeMp3(wav, mp3)) {
        std::printf("cannot make the test song (is lame installed?)\n");
        return 1;
    }
    allocateEnvelopes();
    int blocks = 0;
    double best = bestSeconds([&] {
        auto r = readDecodedWave(wav, 0);
        blocks = r.ok ? envelopes.blockCount[0] : -1;
    });
    // For scale: the file's bytes alone, and a plain loop over its samples
    // (the piece size is even, so no sample straddles two pieces).
    double fileOnly = bestSeconds([&] { readPieces(wav, [](const uint8_t*, size_t) {}); });
    volatile int64_t sink = 0;
    double plainLoop = bestSeconds([&] {
        int64_t sum = 0;
        readPieces(wav, [&](const uint8_t* b, size_t n) {
            for (size_t i = 0; i + 1 < n; i += 2)
                sum += std::abs(int16_t(b[i] | b[i + 1] << 8));
        });
        sink = sum;
    });
    // The block walk alone, over an image already in memory.
    std::vector<uint8_t> image;
    readPieces(wav, [&](const uint8_t* b, size_t n) { image.insert(image.end(), b, b + n); });
    double walkOnly = bestSeconds([&] { parseDecodedWave(image, 0); });
    double t0 = seconds();
    fixtures::runProgram({"lame", "--quiet", "--decode", mp3, dir.file("decoded.wav")});
    double lameSeconds = seconds() - t0;

    // A playing song with an envelope: the tick reads ahead, steps, draws its bars.
    screen::open(screen::kWidth, screen::kHeight);
    installHooks(); // the bars are drawn as in the program
    buildThresholdCurve(0);
    tracks.playlistCount = 1;
    tracks.playPosition = 1;
    tracks.playlist[1].lengthMs = 300000;
    transport.channelOpen[0] = 1;
    double now = 1000.0;
    timing::install({[&] { return now; }, [&](double ms) { now += ms / 1000.0; }});
    const int ticks = 200000;
    double c0 = seconds();
    for (int i = 0; i < ticks; ++i) {
        now += 0.016;
        transport.channelSyncTime[0] = now;
        transport.channelSyncPos[0] = (i * 16) % 300000;
        compressorTick();
    }
    double perTick = (seconds() - c0) / ticks;
    timing::install({});

    std::printf("| envelope read of a 5-minute stereo WAV (%d blocks) | %.1f ms | goal < 25 ms |\n",
                blocks, best * 1000);
    std::printf("| reading the same file alone | %.1f ms | for scale |\n", fileOnly * 1000);
    std::printf("| reading it with a plain loop over its samples | %.1f ms | for scale |\n",
                plainLoop * 1000);
    std::printf("| the envelope's block walk of the file in memory | %.1f ms | |\n",
                walkOnly * 1000);
    std::printf("| lame --decode of the same song | %.0f ms | the decoder's own cost |\n",
                lameSeconds * 1000);
    std::printf("| compressor tick | %.1f us | goal < 20 us |\n", perTick * 1e6);
    return 0;
}
