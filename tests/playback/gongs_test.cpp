// The gong players as a user drives them through the GONG panel, read back
// from the MCI log and the dump.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/audio_engine.h"
#include "platform/clock.h"
#include "playback/gongs.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"
#include "ui/gong_view.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;
using scenario::LogLine;

constexpr int kPlayX = 683, kStopX = 739, kVolumeX = 841, kDuckX = 886, kLoadX = 948;

std::string cardClick(int card, int x, const std::string& mods = "") {
    return "click " + std::to_string(x) + " " + std::to_string(159 + 83 * card) + mods +
           "\nwait 0.4\n";
}
const std::string kGongTab = "click 938 40\nwait 0.5\n";

// Field k of a dump's `gong.G` line: path|name|lengthMs|posMs|playing|volume|duck.
std::string field(const std::string& gongLine, int k) {
    size_t from = 0;
    for (int i = 0; i < k; ++i)
        from = gongLine.find('|', from) + 1;
    return gongLine.substr(from, gongLine.find('|', from) - from);
}

std::vector<int> volumesSent(const std::vector<LogLine>& log, size_t from, size_t to) {
    std::vector<int> out;
    const std::string prefix = "setaudio GONG0 volume to ";
    for (size_t i = from; i < to && i < log.size(); ++i)
        if (log[i].command.rfind(prefix, 0) == 0)
            out.push_back(std::stoi(log[i].command.substr(prefix.size())));
    return out;
}

size_t indexOf(const std::vector<LogLine>& log, const std::string& command, size_t from = 0) {
    for (size_t i = from; i < log.size(); ++i)
        if (log[i].command.rfind(command, 0) == 0) return i;
    return log.size();
}

// A script that plays a one-song playlist with a gong of `gongSeconds` loaded
// into player 1 and the GONG panel shown.
std::string playlistAndGong(const TempDir& dir, double gongSeconds) {
    fs::create_directory(dir.file("m"));
    EXPECT_TRUE(fixtures::makeSineMp3(dir.file("m/a.mp3"), 60, 440, 0.3, 8000, 1));
    EXPECT_TRUE(fixtures::makeSineMp3(dir.file("g.mp3"), gongSeconds, 880, 0.3, 8000, 1));
    return scenario::loadIntoPlaylist(dir.file("m/a.mp3")) + "wait 0.5\n" + kGongTab +
           "dialog g.mp3\n" + cardClick(0, kLoadX) + "key ctrl+p\n";
}

TEST(GongPanel, DuckClicksStepByThreeDecibelsWithinTheirBoundsAndTheCardTexts) {
    EXPECT_FLOAT_EQ(gongDuckAfterClick(kGongDuckDefault, -1), 0.25f);
    EXPECT_FLOAT_EQ(gongDuckAfterClick(kGongDuckDefault, +1), 0.5f);
    EXPECT_EQ(gongDuckDb(kGongDuckDefault), -9);
    EXPECT_EQ(gongDuckDb(0.25f), -12);
    EXPECT_EQ(gongDuckDb(0.5f), -6);
    float d = kGongDuckDefault;
    for (int i = 0; i < 8; ++i)
        d = gongDuckAfterClick(d, -1);
    EXPECT_FLOAT_EQ(d, 0.12f); // -18 dB is the deepest
    for (int i = 0; i < 8; ++i)
        d = gongDuckAfterClick(d, +1);
    EXPECT_FLOAT_EQ(d, 1.0f);

    EXPECT_EQ(gongTimeText(0, false), "--:--");
    EXPECT_EQ(gongTimeText(0, true), "00:00");
    EXPECT_EQ(gongTimeText(205000, true), "03:25"); // no blank for the leading 0
    GongPlayer p;
    EXPECT_EQ(gongNameText(p), "Lade eine MP3 via LOAD-Button");
    p.path = "/m/x.mp3";
    p.name = std::string(40, 'a') + ".mp3";
    EXPECT_EQ(gongNameText(p), std::string(35, 'a') + "...");
}

// Play, volume, pause, resume, STOP on a paused player, BANK, TEMPO and the
// Ctrl+LOAD reset, while the playlist plays.
TEST(GongPlayers, PauseAndResumeRampTheVolumeAndStopRewindsAPausedPlayerSilently) {
    TempDir dir;
    std::string s = playlistAndGong(dir, 30) + "wait 2\n";
    s += cardClick(0, kPlayX) + "wait 3\n" + cardClick(0, kVolumeX) + "dump playing.txt\n";
    s += cardClick(0, kPlayX) + "wait 1\ndump paused.txt\n";
    s += cardClick(0, kPlayX) + "wait 2\n" + cardClick(0, kPlayX) + "wait 1\n";
    s += "dump before-stop.txt\n" + cardClick(0, kStopX) + "wait 1\ndump stopped.txt\n";
    s += "click 949 83\nwait 0.4\ndump bank.txt\nclick 949 83\nwait 0.4\nclick 888 83\nwait 0.4\n";
    s += cardClick(0, kLoadX, " ctrl") + "dump reset.txt\n";
    auto r = scenario::run(dir.path(), s, {"--mci-log", dir.file("mci.txt")},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;

    auto playing = scenario::readDump(dir.file("playing.txt"));
    EXPECT_EQ(field(playing["gong.0"], 4), "1");
    EXPECT_EQ(field(playing["gong.0"], 5), "750");
    EXPECT_LT(std::stof(playing["duckFactor"]), 0.36f); // the playlist is ducked meanwhile
    auto paused = scenario::readDump(dir.file("paused.txt"));
    EXPECT_EQ(field(paused["gong.0"], 4), "0");
    const int pausedAt = std::stoi(field(paused["gong.0"], 3));
    EXPECT_NEAR(pausedAt, 4050, 150); // 3.8 s of clicks and waits, then the fade-down

    const auto log = scenario::readMciLog(dir.file("mci.txt"));
    // The volume click is sent at once; the pause fades from there by 8 % a step.
    const size_t volumeClick = indexOf(log, "setaudio GONG0 volume to 750");
    const size_t firstClose = indexOf(log, "close GONG0", volumeClick);
    const auto down = volumesSent(log, volumeClick + 1, firstClose);
    ASSERT_FALSE(down.empty());
    EXPECT_EQ(down.front(), 690);
    for (size_t i = 1; i < down.size(); ++i)
        EXPECT_EQ(down[i], int(std::nearbyint(down[i - 1] * 0.92)));
    EXPECT_LE(down.back(), 30);
    EXPECT_GT(down[down.size() - 2], 30);

    // Resume: from 20, up by 8 % a step, then the player's volume; where it paused.
    const size_t resume = indexOf(log, "play GONG0 from " + std::to_string(pausedAt));
    ASSERT_LT(resume, log.size()) << "no resume at " << pausedAt;
    EXPECT_EQ(log[resume - 1].command, "setaudio GONG0 volume to 20");
    const auto up = volumesSent(log, resume + 1, indexOf(log, "status GONG0 length", resume));
    ASSERT_GT(up.size(), 30u);
    int expected = 20;
    for (size_t i = 0; i + 1 < up.size(); ++i) {
        expected = int(std::nearbyint(expected * 1.08));
        EXPECT_EQ(up[i], expected) << "step " << i;
    }
    EXPECT_EQ(up.back(), 750);
    // The log's milliseconds leave a rounding error in the difference.
    EXPECT_GE(log[resume + up.size()].seconds - log[resume].seconds + 1e-6,
              0.012 * (up.size() - 1));

    // STOP on the paused player rewinds it without a word to MCI.
    auto beforeStop = scenario::readDump(dir.file("before-stop.txt"));
    auto stopped = scenario::readDump(dir.file("stopped.txt"));
    EXPECT_GT(std::stoi(field(beforeStop["gong.0"], 3)), 0);
    EXPECT_EQ(field(stopped["gong.0"], 3), "0");
    const double from = std::stod(beforeStop["clock"]), to = std::stod(stopped["clock"]);
    for (const auto& line : log) {
        if (line.seconds >= from && line.seconds <= to) {
            EXPECT_EQ(line.command.find("GONG"), std::string::npos) << line.command;
        }
    }

    auto bank = scenario::readDump(dir.file("bank.txt"));
    EXPECT_EQ(bank["gongBank"], "4");
    auto reset = scenario::readDump(dir.file("reset.txt"));
    EXPECT_EQ(reset["gongBank"], "0");
    EXPECT_EQ(reset["duckTempo"], "1");
    EXPECT_EQ(reset["noticeId"], "76");
    EXPECT_EQ(reset["gong.0"], "||0|0|0|800|0.354999989");
}

// LOAD and DUCK wait while the transport fades; PLAY and the volume work.
TEST(GongPlayers, DuringAStopFadePlayAndVolumeWorkWhileLoadAndDuckAreIgnored) {
    TempDir dir;
    std::string s = playlistAndGong(dir, 20) + "wait 5\n";
    s += "key ctrl+s\nwait 0.5\n" + cardClick(0, kPlayX) + cardClick(0, kDuckX) +
         cardClick(0, kVolumeX, " right") + "dialog g.mp3\n" + cardClick(1, kLoadX);
    s += "dump fading.txt\nwait 12\ndump after.txt\n";
    auto r = scenario::run(dir.path(), s, {}, scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("fading.txt"));
    ASSERT_LT(std::stof(d["fadeFactor"]), 1.0f); // still inside the fade
    EXPECT_EQ(field(d["gong.0"], 4), "1");
    EXPECT_EQ(field(d["gong.0"], 5), "850");
    EXPECT_EQ(field(d["gong.0"], 6), "0.354999989");
    EXPECT_EQ(field(d["gong.1"], 0), "");
    auto after = scenario::readDump(dir.file("after.txt"));
    EXPECT_EQ(after["channelOpen"], "0,0"); // the fade ran to its end
    EXPECT_EQ(field(after["gong.0"], 4), "1");
}

// Files that cannot be a gong are refused at LOAD with notice 72; none of them
// disturbs the playlist.
TEST(GongPlayers, BadFilesAreRefusedAndACutFileEndsWithoutDuckingForEver) {
    TempDir dir;
    fs::create_directory(dir.file("m"));
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("m/a.mp3"), 90, 440, 0.3, 8000, 1));
    std::ofstream(dir.file("empty.mp3"));
    std::ofstream(dir.file("text.mp3")) << "no sound here\n";
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("short.mp3"), 3.9, 880, 0.3, 8000, 1));
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("long.wav.mp3"), 12, 880, 0.3, 8000, 1));
    fs::rename(dir.file("long.wav.mp3"), dir.file("long.wav"));
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("cut.mp3"), 20, 880, 0.3, 8000, 1));
    fs::resize_file(dir.file("cut.mp3"), fs::file_size(dir.file("cut.mp3")) / 2);

    std::string s = scenario::loadIntoPlaylist(dir.file("m/a.mp3")) + "wait 0.5\n" + kGongTab +
                    "key ctrl+p\nwait 1\n";
    for (const char* name : {"empty.mp3", "text.mp3", "short.mp3", "long.wav"})
        s += std::string("dialog ") + name + "\n" + cardClick(0, kLoadX) + "dump " + name +
             ".txt\nwait 0.5\n";
    s += "dialog cut.mp3\n" + cardClick(1, kLoadX) + cardClick(1, kPlayX) + "dump cut.txt\n";
    s += "wait 25\ndump end.txt\n";
    auto r = scenario::run(dir.path(), s, {}, scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    for (const char* name : {"empty.mp3", "text.mp3", "short.mp3", "long.wav"}) {
        auto d = scenario::readDump(dir.file(std::string(name) + ".txt"));
        EXPECT_EQ(d["noticeId"], "72") << name;
        EXPECT_EQ(d["gong.0"], "||0|0|0|800|0.354999989") << name;
        EXPECT_EQ(d["channelOpen"], "1,0") << name;
    }
    auto cut = scenario::readDump(dir.file("cut.txt"));
    EXPECT_EQ(field(cut["gong.1"], 4), "1");
    auto end = scenario::readDump(dir.file("end.txt"));
    EXPECT_EQ(field(end["gong.1"], 4), "0");
    EXPECT_EQ(end["duckFactor"], "1");
    EXPECT_EQ(end["channelOpen"], "1,0");
}

// A file removed after LOAD: PLAY says so and leaves the player stopped, so
// nothing ducks the playlist.
TEST(GongPlayers, AFileGoneSinceLoadDoesNotPlayAndDoesNotDuck) {
    audio::start(audio::SinkKind::Null);
    GongPlayer& p = gongs.player[1];
    p.path = "/nowhere/gong.mp3";
    p.name = "gong.mp3";
    p.lengthMs = 10000;
    gongAct(gongControlAt(kPlayX, 159 + 83), {1, false, false}, false);
    EXPECT_EQ(p.playing, 0);
    EXPECT_EQ(notices.noticeId, notice::kGongUnplayable);
    EXPECT_EQ(noticeLines(notice::kGongUnplayable).front(), "GONG 2: MP3 NICHT SPIELBAR");
    EXPECT_EQ(duckTargetOf(gongDuckInputs(), gongs.duckTempo), 1.0f);
}

} // namespace

// A gong's file cut while it plays: the stream runs dry where the file now
// ends, and the player counts as ended at once, not when the old length has passed.
TEST(GongPlayers, AFileCutWhileItPlaysEndsWhereTheSoundEnds) {
    TempDir dir;
    // Bigger than the engine's read window, so the cut is seen while playing.
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("g.mp3"), 300, 880, 0.3, 44100, 1));
    ASSERT_GT(fs::file_size(dir.file("g.mp3")), 2u << 20);
    double now = 0;
    timing::install({[&] { return now; },
                     [&](double ms) {
                         now += ms / 1000;
                         audio::advanceTo(now);
                     },
                     [&](double ms) {
                         now += ms / 1000;
                         audio::advanceTo(now);
                     }});
    ASSERT_TRUE(audio::start(audio::SinkKind::WavFile, dir.file("out.wav")));
    GongPlayer& p = gongs.player[0];
    p.path = dir.file("g.mp3");
    p.name = "g.mp3";
    p.lengthMs = 300000;
    gongAct(gongControlAt(kPlayX, 159), {1, false, false}, false);
    ASSERT_EQ(p.playing, 1);
    // About 40 s of sound stay in the file; the player still expects 300 s.
    fs::resize_file(dir.file("g.mp3"), fs::file_size(dir.file("g.mp3")) * 40 / 300);
    double endedAt = -1;
    while (now < 120 && endedAt < 0) {
        timing::sleepMs(50);
        pollGongs();
        if (p.playing == 0) endedAt = now;
    }
    audio::shutdown();
    timing::install({});
    EXPECT_GT(endedAt, 35);
    EXPECT_LT(endedAt, 44);
    EXPECT_EQ(p.posMs, 0);
    EXPECT_EQ(duckTargetOf(gongDuckInputs(), gongs.duckTempo), 1.0f);
}
