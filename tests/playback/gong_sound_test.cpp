// What the gongs do to the playlist's sound: rendered through the WAV sink,
// with the playlist, the gongs and the two songs of a fade on tones of their
// own, so that each can be measured in the mix.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

constexpr double kWindow = 0.025; // a whole number of periods of every tone below
constexpr double kSongHz = 440, kNextSongHz = 680, kGong1Hz = 1320, kGong2Hz = 1760;
constexpr double kToneAmplitude = 0.3;
constexpr double kGongSeconds = 12;

// The GONG panel's controls (card i counts from the top of the bank).
std::string gongTab() {
    return "click 938 40\nwait 0.5\n";
}
std::string cardClick(int card, int x, const std::string& mods = "") {
    return "click " + std::to_string(x) + " " + std::to_string(159 + 83 * card) + mods +
           "\nwait 0.4\n";
}
constexpr int kPlayX = 683, kDuckX = 886, kLoadX = 948;
const std::string kTempo = "click 888 83\nwait 0.4\n";

bool makeTone(const std::string& mp3, double seconds, double hz) {
    return fixtures::makeSineMp3(mp3, seconds, hz, kToneAmplitude);
}

// The clock times at which the log shows `command`.
std::vector<double> timesOf(const std::string& logPath, const std::string& command) {
    std::vector<double> out;
    for (const auto& line : scenario::readMciLog(logPath))
        if (line.command == command) out.push_back(line.seconds);
    return out;
}

// Seconds from `from` until the playlist's first channel is sent `volume` or less.
double secondsUntilVolume(const std::string& logPath, double from, int volume) {
    const std::string prefix = "setaudio AUBIO_I volume to ";
    for (const auto& line : scenario::readMciLog(logPath))
        if (line.seconds >= from && line.command.rfind(prefix, 0) == 0 &&
            std::stoi(line.command.substr(prefix.size())) <= volume)
            return line.seconds - from;
    return 99;
}

struct Levels {
    std::vector<double> a;
    double at(double t) const {
        const size_t i = size_t(std::max(0.0, t) / kWindow);
        return i < a.size() ? a[i] : 0;
    }
    double mean(double from, double to) const {
        double sum = 0;
        int n = 0;
        for (double t = from; t < to; t += kWindow, ++n)
            sum += at(t);
        return n ? sum / n : 0;
    }
    // Seconds after `from` until the level first falls `db` below `reference`.
    double timeToFall(double from, double reference, double db) const {
        for (double t = from; t < from + 5; t += kWindow)
            if (at(t) <= reference * std::pow(10, -db / 20)) return t - from;
        return 99;
    }
};

double dB(double ratio) {
    return 20 * std::log10(ratio);
}

// One playlist song and two gongs: a gong alone with SLOW and with FAST
// ducking, then two gongs at once with DUCK -6 dB and -12 dB.
TEST(GongSound, TheDeepestDuckWinsFastRampsFasterAndThePlaylistRecoversBeforeTheEnd) {
    TempDir dir;
    fs::create_directory(dir.file("m"));
    ASSERT_TRUE(makeTone(dir.file("m/song.mp3"), 70, kSongHz));
    ASSERT_TRUE(makeTone(dir.file("g1.mp3"), kGongSeconds, kGong1Hz));
    ASSERT_TRUE(makeTone(dir.file("g2.mp3"), kGongSeconds, kGong2Hz));

    std::string s = scenario::loadIntoPlaylist(dir.file("m/song.mp3")) + "wait 0.5\n" + gongTab();
    s += "dialog g1.mp3\n" + cardClick(0, kLoadX) + "dialog g2.mp3\n" + cardClick(1, kLoadX);
    s += "key ctrl+p\nwait 4\n" + cardClick(0, kPlayX) + "wait 14\n";           // SLOW
    s += kTempo + cardClick(0, kPlayX) + "wait 14\n" + kTempo;                  // FAST
    s += cardClick(0, kDuckX, " right") + cardClick(1, kDuckX);                 // -6, -12 dB
    s += cardClick(0, kPlayX) + cardClick(1, kPlayX) + "wait 14\ndump d.txt\n"; // both
    const std::string wav = dir.file("out.wav"), log = dir.file("mci.txt");
    auto r = scenario::run(dir.path(), s, {"--render", wav, "--mci-log", log},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["gong.0"].substr(d["gong.0"].rfind('|')), "|0.5");
    EXPECT_EQ(d["gong.1"].substr(d["gong.1"].rfind('|')), "|0.25");
    EXPECT_EQ(d["duckFactor"], "1"); // both gongs over, nothing ducked

    const auto g1 = timesOf(log, "play GONG0 from 0"), g2 = timesOf(log, "play GONG1 from 0");
    ASSERT_EQ(g1.size(), 3u);
    ASSERT_EQ(g2.size(), 1u);
    const fixtures::Wav w = fixtures::readWav(wav);
    const Levels song{fixtures::toneLevels(w, kSongHz, kWindow)};
    const Levels gong{fixtures::toneLevels(w, kGong1Hz, kWindow)};
    const double full = song.mean(g1[0] - 2, g1[0] - 0.2);
    ASSERT_GT(full, 0.2);

    // Alone, DUCK -9 dB: the playlist falls by 9 dB, the gong sounds at its own 800.
    EXPECT_NEAR(dB(song.mean(g1[0] + 2, g1[0] + 9) / full), -9.0, 1.0);
    EXPECT_NEAR(dB(gong.mean(g1[0] + 2, g1[0] + 9) / kToneAmplitude), dB(0.8), 1.0);
    // It lets go 1.29 s before the gong's end and is back within 1 dB 0.3 s before it.
    EXPECT_LT(song.at(g1[0] + kGongSeconds - 1.5), full * 0.5);
    EXPECT_NEAR(dB(song.mean(g1[0] + kGongSeconds - 0.35, g1[0] + kGongSeconds - 0.3) / full), 0.0,
                1.0);

    // 8 dB down (volume 397) takes 23 steps of 20 ms with SLOW; FAST steps
    // by a further 0.975 below 0.7 and needs 17.
    EXPECT_NEAR(secondsUntilVolume(log, g1[0], 397), 0.46, 0.03);
    EXPECT_NEAR(secondsUntilVolume(log, g1[1], 397), 0.34, 0.03);
    EXPECT_LT(song.timeToFall(g1[1], full, 8), song.timeToFall(g1[0], full, 8));

    // Two gongs with -6 dB and -12 dB: the deeper one wins.
    EXPECT_NEAR(dB(song.mean(g2[0] + 2, g2[0] + 9) / full), dB(0.25), 1.0);
}

// The same BLENDE change-over twice, once with a gong started in its first
// moments: once ducked, both songs of the fade sound 9 dB lower than without
// the gong, window for window, so the fade keeps its shape.
TEST(GongSound, AGongInsideACrossFadeDucksBothSongsAndKeepsTheFadesShape) {
    TempDir dir;
    fs::create_directory(dir.file("m"));
    ASSERT_TRUE(makeTone(dir.file("m/a.mp3"), 30, kSongHz));
    ASSERT_TRUE(makeTone(dir.file("m/b.mp3"), 30, kNextSongHz));
    ASSERT_TRUE(makeTone(dir.file("g1.mp3"), kGongSeconds, kGong1Hz));

    std::vector<fixtures::Wav> out;
    double gongStart = 0;
    for (bool withGong : {false, true}) {
        std::string s = scenario::loadIntoPlaylist(dir.file("m/a.mp3")) + "wait 0.5\n" + gongTab() +
                        "dialog g1.mp3\n" + cardClick(0, kLoadX);
        s += "key ctrl+p\nwait 6\nclick 372 28\nwait 0.3\n";
        s += withGong ? cardClick(0, kPlayX) : "wait 0.4\n";
        s += "wait 10\ndump d.txt\n";
        const std::string wav = dir.file("out.wav"), log = dir.file("mci.txt");
        auto r = scenario::run(dir.path(), s, {"--render", wav, "--mci-log", log},
                               scenario::isolatedEnvironment(dir.path()));
        ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
        auto d = scenario::readDump(dir.file("d.txt"));
        ASSERT_EQ(d["playPosition"], "2"); // the change-over took place
        ASSERT_EQ(d["fadesDone"], "1");
        if (withGong) {
            const auto starts = timesOf(log, "play GONG0 from 0");
            ASSERT_EQ(starts.size(), 1u);
            gongStart = starts[0];
        }
        out.push_back(fixtures::readWav(wav));
    }

    for (double hz : {kSongHz, kNextSongHz}) {
        const Levels plain{fixtures::toneLevels(out[0], hz, kWindow)};
        const Levels ducked{fixtures::toneLevels(out[1], hz, kWindow)};
        int compared = 0;
        // The fade's loops step the ducking once a tick, up to 80 ms: it takes
        // longer to come down than between songs.
        for (double t = gongStart + 1.5; t < gongStart + kGongSeconds - 1.5; t += kWindow) {
            if (plain.at(t) < 0.02) continue; // that song is silent here
            EXPECT_NEAR(dB(ducked.at(t) / plain.at(t)), -9.0, 1.0) << hz << " Hz at " << t << " s";
            ++compared;
        }
        EXPECT_GT(compared, 20) << hz << " Hz";
    }
}

} // namespace
