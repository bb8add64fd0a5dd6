// A shop's day: started unattended with --resume --endless on a saved session
// of 66 songs, the player plays twelve hours without stopping. Run once, on
// its own (it is long even in virtual time), not in the shuffled rounds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lists/name_scramble.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;

TEST(AllDay, AResumedEndlessSessionOf66SongsPlaysTwelveHours) {
    fixtures::TempDir dir;
    const std::string music = dir.file("Musik") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("song.mp3"), 180, 440, 0.3, 8000, 1));
    std::ofstream session(dir.file("KLANGKELTER-Spielliste-Autosave.sav"), std::ios::binary);
    session << "AUTOLOAD/AUTOSAVE Klangkelter\r\nFolders/Ordner\r\nAnzahl\r\n1\r\n"
            << music << "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n66\r\n";
    for (int i = 1; i <= 66; ++i) {
        const std::string name = "Lied " + std::to_string(i) + ".mp3";
        fs::create_hard_link(dir.file("song.mp3"), music + name);
        session << scrambleName(name) << "\r\n1\r\n";
    }
    session << "Files/Dateien Stapel\r\nAnzahl\r\n0\r\nAutoplay\r\n1\r\nPlayposition\r\n1\r\n";
    session.close();

    constexpr int kSeconds = 12 * 3600;
    auto r = scenario::runRaw(dir.path(), "wait " + std::to_string(kSeconds) + "\ndump d.txt\n",
                              {"--resume", "--endless", "--program-dir", dir.path()},
                              scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["playerRunning"], "1");
    EXPECT_NE(d["channelOpen"], "0,0");
    EXPECT_EQ(d["playlistCount"], "66");
    // About 240 songs in twelve hours; every 63 songs the played ones move behind.
    EXPECT_GE(std::stoi(d["fadesDone"]), 230);
    EXPECT_GE(std::stoi(d["rotations"]), 3);
}

} // namespace
