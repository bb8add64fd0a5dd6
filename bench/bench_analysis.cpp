// The analysis' own costs: reading a decoded 5-minute stereo WAV into an
// envelope (against lame's own decode of the song), and one compressor tick.
#include <chrono>
#include <cstdio>
#include <string>

#include "analysis/compressor.h"
#include "analysis/envelope.h"
#include "analysis/wav_reader.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "tests/support/audio_fixtures.h"

#include "tests/support/audio_fixtures.cpp"

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
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
    readDecodedWave(wav, 0); // warm the cache
    double best = 1e9;
    int blocks = 0;
    for (int i = 0; i < 5; ++i) {
        double t0 = seconds();
        auto r = readDecodedWave(wav, 0);
        best = std::min(best, seconds() - t0);
        blocks = r.ok ? envelopes.blockCount[0] : -1;
    }
    double t0 = seconds();
    fixtures::runProgram({"lame", "--quiet", "--decode", mp3, dir.file("decoded.wav")});
    double lameSeconds = seconds() - t0;

    // A playing song with an envelope: the tick reads ahead, steps, draws its bars.
    screen::open(screen::kWidth, screen::kHeight);
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
    std::printf("| lame --decode of the same song | %.0f ms | the decoder's own cost |\n",
                lameSeconds * 1000);
    std::printf("| compressor tick | %.1f us | goal < 20 us |\n", perTick * 1e6);
    return 0;
}
