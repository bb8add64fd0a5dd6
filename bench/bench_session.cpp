// Restoring a full session: 66 playlist songs, 66 stack entries and eight
// gongs, every file probed, with warm caches (the best of five restores
// after a first one). Goal: under 0.5 s.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/session_file.h"
#include "app/startup.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/screen.h"
#include "playback/gongs.h"
#include "tests/support/audio_fixtures.h"
// The benchmarks are single-file programs; they share the test fixtures' code.
#include "tests/support/audio_fixtures.cpp"

namespace fs = std::filesystem;

int main() {
    fixtures::TempDir dir;
    const std::string song = dir.file("song.mp3"), gong = dir.file("gong.mp3");
    // Three-minute songs, as a shop plays them; the probe reads them whole.
    if (!fixtures::makeSineMp3(song, 180, 440, 0.2) || !fixtures::makeSineMp3(gong, 8, 880, 0.2)) {
        std::fprintf(stderr, "lame failed\n");
        return 1;
    }
    resetProgramState();
    screen::open(screen::kWidth, screen::kHeight);
    audio::start(audio::SinkKind::Null);
    sessionFile.path = dir.file("session.sav");
    for (int f = 0; f < 6; ++f) {
        fs::create_directory(dir.file("folder " + std::to_string(f)));
        claimFolder(dir.file("folder " + std::to_string(f)) + "/");
    }
    for (int i = 1; i <= 2 * maxTracks; ++i) {
        const int f = i % 6;
        const std::string folder = dir.file("folder " + std::to_string(f)) + "/";
        const std::string name = "Lied " + std::to_string(i) + ".mp3";
        fs::create_hard_link(song, folder + name);
        if (i > maxTracks)
            appendStackEntry(name, 180000, f + 1, 0);
        else
            appendPlaylistEntry(name, 180000, f + 1);
    }
    for (GongPlayer& p : gongs.player) {
        p.path = gong;
        p.name = "gong.mp3";
    }
    if (!writeAutosave()) return 1;

    double best = 1e9;
    for (int run = 0; run < 6; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        readAutosave();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (run > 0) best = std::min(best, s); // the first warms the caches
    }
    std::printf("| session restore (%d songs, 8 gongs) | %.3f s | < 0.5 s |\n",
                tracks.playlistCount + tracks.stackCount, best);
    audio::shutdown();
    return 0;
}
