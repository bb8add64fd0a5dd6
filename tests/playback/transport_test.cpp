#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

using scenario::LogLine;
constexpr auto readLog = scenario::readMciLog;

std::vector<std::string> commandsFrom(const std::vector<LogLine>& log, double from, double to) {
    std::vector<std::string> out;
    for (const auto& l : log)
        if (l.seconds >= from && l.seconds < to) out.push_back(l.command);
    return out;
}

// Songs are imported through the LOAD button, selected with Ctrl+A and sent
// to the playlist with the arrow button, as a user would.
class Transport : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("a200.mp3"), 200, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("b180.mp3"), 180, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("c60.mp3"), 60, 440, 0.3, 8000, 1));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }

    TempDir dir;
    std::string music;

    // A script prefix that leaves the three songs in the playlist at about 3 s,
    // with the compressor switched off so that only the transport sets volumes.
    std::string loadPlaylist() {
        music = dir.file("Meine Musik") + "/";
        fs::create_directory(music);
        for (const char* n : {"a200.mp3", "b180.mp3", "c60.mp3"})
            fs::copy_file(sources->file(n), music + n);
        return scenario::loadIntoPlaylist(music + "a200.mp3") + "wait 0.98\nclick 250 480\n";
    }
    std::map<std::string, std::string> run(const std::string& script) {
        // Without the decoder the compressor leaves the volumes alone.
        auto r = scenario::run(dir.path(), script + "dump d.txt\n",
                               {"--program-dir", dir.path(), "--mci-log", dir.file("mci.log")},
                               scenario::isolatedEnvironment(dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        EXPECT_EQ(r.errorOutput, "");
        return scenario::readDump(dir.file("d.txt"));
    }
    std::vector<LogLine> log() { return readLog(dir.file("mci.log")); }
};

TEST_F(Transport, PlayOpensTheSongOnTheFirstChannelAndStartsItFromZero) {
    auto d = run(loadPlaylist() + "dump before.txt\nkey ctrl+p\nwait 10\n");
    ASSERT_EQ(scenario::readDump(dir.file("before.txt"))["playlistCount"], "3");
    double pressed = std::stod(scenario::readDump(dir.file("before.txt"))["clock"]);
    auto commands = commandsFrom(log(), pressed, 1e9);
    std::vector<std::string> expected = {
        "close AUBIO_I",
        "open \"" + music + "a200.mp3\" alias AUBIO_I",
        "set AUBIO_I time format milliseconds",
        "setaudio AUBIO_I volume to 1000",
        "play AUBIO_I from 0",
    };
    ASSERT_GE(commands.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + 5), expected);
    EXPECT_EQ(d["playerRunning"], "1");
    EXPECT_EQ(d["channelOpen"], "1,0");
    EXPECT_EQ(d["currentChannel"], "0");
    int position = std::stoi(d["positionMs"]);
    EXPECT_GE(position, 9900);
    EXPECT_LE(position, 10100);
}

TEST_F(Transport, StopFadesDownAndClosesAndStaysOnTheSong) {
    auto d = run(loadPlaylist() + "key ctrl+p\nwait 5\ndump before.txt\nkey s ctrl\nwait 8\n");
    double pressed = std::stod(scenario::readDump(dir.file("before.txt"))["clock"]);
    auto commands = commandsFrom(log(), pressed, 1e9);
    std::vector<int> volumes;
    size_t closeAt = 0;
    for (size_t i = 0; i < commands.size(); ++i) {
        int v;
        if (std::sscanf(commands[i].c_str(), "setaudio AUBIO_I volume to %d", &v) == 1)
            volumes.push_back(v);
        if (commands[i] == "close AUBIO_I" && closeAt == 0) closeAt = i;
    }
    ASSERT_GT(volumes.size(), 100u);
    EXPECT_GT(closeAt, volumes.size() - 1);
    for (size_t i = 1; i < volumes.size(); ++i)
        EXPECT_LE(volumes[i], volumes[i - 1]) << i;
    EXPECT_LE(volumes.back(), 1);
    // Three thousandths a tick down to 0.12, then four to 0.03.
    ASSERT_GT(volumes.size(), 310u);
    EXPECT_NEAR(volumes[0], 997, 1);
    EXPECT_NEAR(volumes[99], 700, 1);
    EXPECT_NEAR(volumes[292], 121, 1);
    EXPECT_NEAR(volumes[293], 117, 1);
    EXPECT_NEAR(volumes[313], 37, 1);
    EXPECT_EQ(d["channelOpen"], "0,0");
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["playPosition"], "1");
    EXPECT_EQ(d["positionMs"], "0");
    // The fade with stay-on-song ticks of 9 ms ends within a few seconds.
    double closedAt = 0;
    for (const auto& l : log())
        if (l.command == "close AUBIO_I" && l.seconds > pressed) closedAt = l.seconds;
    EXPECT_GT(closedAt - pressed, 2.0);
    EXPECT_LT(closedAt - pressed, 4.0);
}

TEST_F(Transport, StopWithShiftMovesOnToTheNextSong) {
    auto d = run(loadPlaylist() + "key ctrl+p\nwait 5\nkey s ctrl shift\nwait 15\n");
    EXPECT_EQ(d["channelOpen"], "0,0");
    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["playlistTop"], "2");
    EXPECT_EQ(d["playerRunning"], "0");
}

TEST_F(Transport, PlayWithoutShiftWhilePlayingDoesNothing) {
    run(loadPlaylist() + "key ctrl+p\nwait 3\ndump mid.txt\nkey ctrl+p\nwait 2\n");
    double mid = std::stod(scenario::readDump(dir.file("mid.txt"))["clock"]);
    for (const auto& c : commandsFrom(log(), mid, 1e9)) {
        EXPECT_EQ(c.find("open "), std::string::npos) << c;
        EXPECT_EQ(c.find("play "), std::string::npos) << c;
    }
}

TEST_F(Transport, SkipWhileStoppedAdvancesByOne) {
    auto d = run(loadPlaylist() + "key n ctrl shift\nwait 1\n");
    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["playlistTop"], "2");
    EXPECT_EQ(d["channelOpen"], "0,0");
}

TEST_F(Transport, BlendeIsRefusedInTheFirstTwoSeconds) {
    run(loadPlaylist() + "key ctrl+p\nwait 1.5\nkey n ctrl shift\nwait 0.1\ndump early.txt\n"
                         "wait 1\nkey n ctrl shift\nwait 0.1\n");
    EXPECT_EQ(scenario::readDump(dir.file("early.txt"))["blendNow"], "0");
    EXPECT_EQ(scenario::readDump(dir.file("d.txt"))["blendNow"], "1");
}

TEST_F(Transport, JumpsMoveByTheirSteps) {
    // Song 2 is 180 s: forward at 100 s lands on 116 s; back at 30 s on 24 s.
    std::string prefix = loadPlaylist() + "key n ctrl shift\nkey ctrl+p\n";
    auto forward = run(prefix + "wait 100\nkey right ctrl shift\nwait 0.05\n");
    EXPECT_NEAR(std::stoi(forward["positionMs"]), 116000, 250);
    std::string seek;
    for (const auto& l : log())
        if (l.command.rfind("play AUBIO_I from ", 0) == 0) seek = l.command;
    EXPECT_NEAR(std::stoi(seek.substr(18)), 116000, 60);

    auto back = run(prefix + "wait 30\nkey left ctrl shift\nwait 0.05\n");
    EXPECT_NEAR(std::stoi(back["positionMs"]), 24000, 250);

    auto nearEnd = run(prefix + "wait 177\ndump before.txt\nkey right ctrl shift\nwait 0.05\n");
    double before = std::stod(scenario::readDump(dir.file("before.txt"))["clock"]);
    for (const auto& c : commandsFrom(log(), before, 1e9))
        EXPECT_NE(c.rfind("play ", 0), 0u) << c;
}

} // namespace

namespace {

TEST_F(Transport, PauseAtSixtySecondsRestartsBeforeTheCueWithARamp) {
    // The 200 s song: PAUSE by its button after 60 s of playing, PLAY again later.
    auto d = run(loadPlaylist() + "key ctrl+p\nwait 60\nclick 113 28\nwait 5\ndump paused.txt\n"
                                  "key ctrl+p\nwait 3\n");
    auto paused = scenario::readDump(dir.file("paused.txt"));
    EXPECT_EQ(paused["startCueManual.0"], "1");
    EXPECT_NEAR(std::stod(paused["startCue.0"]), 59700.0 / 200000.0, 0.0002);
    EXPECT_EQ(paused["channelOpen"], "0,0");
    EXPECT_EQ(paused["playPosition"], "1");
    EXPECT_EQ(paused["keepPosition"], "0");
    EXPECT_GT(std::stoi(paused["positionMs"]), 59000);

    double playAt = std::stod(paused["clock"]);
    std::vector<int> ramp;
    std::vector<double> rampTimes;
    int seek = -1;
    for (const auto& l : log()) {
        if (l.seconds < playAt) continue;
        int v;
        if (std::sscanf(l.command.c_str(), "play AUBIO_II from %d", &v) == 1 && v > 0) seek = v;
        if (seek >= 0 &&
            std::sscanf(l.command.c_str(), "setaudio AUBIO_II volume to %d", &v) == 1) {
            ramp.push_back(v);
            rampTimes.push_back(l.seconds);
        }
    }
    EXPECT_NEAR(seek, 59250, 30);
    // 1500 ms in steps of 20 ms, each up by round(1000 / 75) = 13.
    ASSERT_EQ(ramp.size(), 75u);
    EXPECT_EQ(ramp.front(), 13);
    EXPECT_EQ(ramp.back(), 975);
    for (size_t i = 1; i < ramp.size(); ++i)
        EXPECT_EQ(ramp[i] - ramp[i - 1], 13);
    // Each 20 ms step is waited for in 3 ms sleeps, so it lasts 21 ms.
    EXPECT_NEAR(rampTimes.back() - rampTimes.front(), 74 * 0.021, 0.01);
    EXPECT_EQ(d["currentChannel"], "1");
    EXPECT_EQ(d["channelOpen"], "0,1");
    EXPECT_EQ(d["playerRunning"], "1");
}

TEST_F(Transport, TheWheelScrollsTheListUnderThePointer) {
    music = dir.file("viele") + "/";
    fs::create_directory(music);
    for (int i = 10; i < 40; ++i)
        fs::copy_file(sources->file("c60.mp3"), music + "s" + std::to_string(i) + ".mp3");
    auto d = run("wait 1\ndialog " + music +
                 "s10.mp3\nclick 956 83\nwait 1\n"
                 "move 625 200\nwheel -1\nwait 0.1\ndump between.txt\n"
                 "move 631 200\nwait 0.1\nwheel -1\nwait 0.1\n");
    auto between = scenario::readDump(dir.file("between.txt"));
    EXPECT_EQ(between["stackCount"], "30");
    EXPECT_EQ(between["stackTop"], "1");
    // Over the stack the wheel (counted since the last scroll) moves 20 rows, at most to 30 - 19.
    EXPECT_EQ(d["stackTop"], "11");
}

} // namespace
