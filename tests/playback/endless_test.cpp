// ENDLOS: the playlist starts over behind its last song, round after round.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

constexpr int kSongs = 6;
constexpr double kSongSeconds = 21;
const std::string kEndlessClick = "click 458 28 ctrl\nwait 0.4\n"; // Ctrl-click on AUTO PLAY

// The songs in the order the player opened them.
std::vector<std::string> songsOpened(const std::string& logPath) {
    std::vector<std::string> out;
    const std::regex open(R"re(open ".*/(s\d)\.mp3" alias AUBIO_II?)re");
    std::smatch m;
    for (const auto& line : scenario::readMciLog(logPath))
        if (std::regex_match(line.command, m, open)) out.push_back(m[1]);
    return out;
}

struct Played {
    std::map<std::string, std::string> dump;
    std::vector<std::string> order;
    fixtures::Wav sound;
};

Played play(const TempDir& dir, bool endless, double seconds) {
    std::string s = scenario::loadIntoPlaylist(dir.file("m/s1.mp3")) + "wait 0.5\n";
    s += endless ? kEndlessClick : "wait 0.42\n";
    s += "key ctrl+p\nwait " + std::to_string(seconds) + "\ndump d.txt\n";
    auto r = scenario::run(dir.path(), s,
                           {"--mci-log", dir.file("mci.txt"), "--render", dir.file("out.wav")},
                           scenario::isolatedEnvironment(dir.path()));
    EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
    return {scenario::readDump(dir.file("d.txt")), songsOpened(dir.file("mci.txt")),
            fixtures::readWav(dir.file("out.wav"))};
}

// The longest stretch, in seconds, in which the mix stays below -50 dBFS,
// from `from` seconds on.
double longestSilence(const fixtures::Wav& w, double from, double to) {
    const size_t window = size_t(w.rate / 20);
    double longest = 0, run = 0;
    for (size_t start = size_t(from * w.rate);
         start + window <= std::min(w.frames(), size_t(to * w.rate)); start += window) {
        double sum = 0;
        for (size_t i = start; i < start + window; ++i)
            sum += double(w.samples[i * 2]) * w.samples[i * 2];
        const bool silent = std::sqrt(sum / double(window)) < 32768 * std::pow(10, -50 / 20.0);
        run = silent ? run + 0.05 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST(Endless, SixSongsPlayThreeRoundsInTheSameOrderWithoutSilence) {
    TempDir dir;
    fs::create_directory(dir.file("m"));
    for (int i = 1; i <= kSongs; ++i)
        ASSERT_TRUE(fixtures::makeSineMp3(dir.file("m/s" + std::to_string(i) + ".mp3"),
                                          kSongSeconds, 300 + 60 * i, 0.3, 8000, 1));
    const double threeRounds = 3 * kSongs * (kSongSeconds - 1.5);
    Played on = play(dir, true, threeRounds);
    EXPECT_EQ(on.dump["endless"], "1");
    EXPECT_EQ(on.dump["playerRunning"], "1");
    ASSERT_GE(on.order.size(), size_t(3 * kSongs));
    for (size_t i = kSongs; i < on.order.size(); ++i)
        EXPECT_EQ(on.order[i], on.order[i - kSongs]) << "song " << i;
    // Every third song: the played three move behind the other three.
    EXPECT_GE(std::stoi(on.dump["rotations"]), 5);
    EXPECT_EQ(on.dump["playlistCount"], std::to_string(kSongs));
    // From the first song's start to the end: a change-over every 20 s, never a gap.
    EXPECT_LT(longestSilence(on.sound, 4.5, threeRounds), 0.5);

    Played off = play(dir, false, threeRounds);
    EXPECT_EQ(off.order.size(), size_t(kSongs));
    EXPECT_EQ(off.dump["rotations"], "0");
    EXPECT_EQ(off.dump["playPosition"], std::to_string(kSongs));
    EXPECT_EQ(off.dump["channelOpen"], "0,0");
}

} // namespace
