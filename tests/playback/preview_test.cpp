// VORH: listening into a song of the stack while the player is stopped.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;
using scenario::LogLine;

const std::string kVorh = "click 917 433\nwait 0.3\n";
const std::string kFirstStackRow = "660 115";

std::string importOne(const TempDir& dir, double seconds) {
    fs::create_directory(dir.file("m"));
    EXPECT_TRUE(fixtures::makeSineMp3(dir.file("m/a.mp3"), seconds, 440, 0.3, 8000, 1));
    fs::copy_file(dir.file("m/a.mp3"), dir.file("m/b.mp3"));
    return "wait 0.5\ndialog m/a.mp3\nclick 956 83\nwait 1\n";
}

std::vector<LogLine> previewCommands(const std::string& logPath) {
    std::vector<LogLine> out;
    for (const auto& l : scenario::readMciLog(logPath))
        if (l.command.find("VORHOERDATEI") != std::string::npos &&
            l.command.find("status") == std::string::npos)
            out.push_back(l);
    return out;
}

// A 180 s song: from 0, 12.5 s further every 2.1 s, until it is within
// 16.5 s of 179 s; the long click that started it neither selects the entry
// nor touches the playlist's channels.
TEST(Preview, ALongClickPlaysTheSongInJumpsToItsEndAndLeavesTheListsAlone) {
    TempDir dir;
    std::string s = importOne(dir, 180) + kVorh + "press " + kFirstStackRow + "\nwait 0.5\n";
    s += "release\nwait 5\nscreenshot position.png\nwait 30\ndump d.txt\n";
    // A second preview, ended by a click on the other entry: it stops and
    // does not select that entry.
    s += "press " + kFirstStackRow + "\nwait 0.5\nrelease\nwait 3\nclick 660 130\nwait 0.5\n";
    s += "dump stopped.txt\n";
    auto r = scenario::run(dir.path(), s, {"--mci-log", dir.file("mci.txt")},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto log = previewCommands(dir.file("mci.txt"));
    auto stopped = scenario::readDump(dir.file("stopped.txt"));
    EXPECT_EQ(stopped["stack.2"], "b.mp3|180000|1|0|0");
    // The second preview was closed within a display step of the click.
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back().command, "close VORHOERDATEI");
    EXPECT_NEAR(log.back().seconds, std::stod(stopped["clock"]) - 0.52, 0.08);
    // Back to the first preview alone: it ends where the second one's open begins.
    size_t secondStart = log.size();
    for (size_t i = 1; i < log.size(); ++i)
        if (log[i].command.rfind("open", 0) == 0) secondStart = i - 1; // its close-before-open
    log.resize(secondStart);
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[1].command.rfind("open", 0), 0u);
    EXPECT_EQ(log[2].command, "set VORHOERDATEI time format milliseconds");
    EXPECT_EQ(log[3].command, "setaudio VORHOERDATEI volume to 250");
    EXPECT_EQ(log[4].command, "play VORHOERDATEI from 0");
    std::vector<LogLine> jumps(log.begin() + 5, log.end() - 1);
    EXPECT_EQ(log.back().command, "close VORHOERDATEI");
    ASSERT_GE(jumps.size(), 10u);
    int previous = 0;
    for (size_t i = 0; i < jumps.size(); ++i) {
        const int to = std::stoi(jumps[i].command.substr(jumps[i].command.rfind(' ') + 1));
        EXPECT_NEAR(to - previous, 2100 + 12500, 60) << "jump " << i;
        if (i > 0) {
            EXPECT_NEAR(jumps[i].seconds - jumps[i - 1].seconds, 2.1, 0.05);
        }
        previous = to;
    }
    // It stops once the position would come within 16.5 s of the end.
    EXPECT_GE(previous + 2100 + 16500, 179000);
    EXPECT_LT(previous + 16500, 179000);
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["stack.1"], "a.mp3|180000|1|0|0"); // not selected by the long click
    EXPECT_EQ(d["stack.2"], "b.mp3|180000|1|0|0");
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["previewMode"], "1");
    EXPECT_EQ(d["longClick"], "1");
    for (const auto& l : scenario::readMciLog(dir.file("mci.txt")))
        EXPECT_EQ(l.command.find("AUBIO_I "), std::string::npos) << l.command;
}

TEST(Preview, TheModeEndsAfterThirtyQuietSecondsAndIsRefusedWhilePlaying) {
    TempDir dir;
    std::string s = importOne(dir, 30) + kVorh + "dump on.txt\nwait 30.2\ndump off.txt\n";
    // The first song sent to the playlist and playing; with VORH on, a long
    // click on the other plays nothing.
    s += "click " + kFirstStackRow + "\nwait 0.3\nclick 673 83\nwait 0.3\nkey ctrl+p\nwait 1\n";
    s += kVorh + "press " + kFirstStackRow + "\nwait 0.5\nrelease\nwait 0.2\ndump refused.txt\n";
    auto r = scenario::run(dir.path(), s, {"--mci-log", dir.file("mci.txt")},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(scenario::readDump(dir.file("on.txt"))["previewMode"], "1");
    EXPECT_EQ(scenario::readDump(dir.file("off.txt"))["previewMode"], "0");
    auto refused = scenario::readDump(dir.file("refused.txt"));
    EXPECT_EQ(refused["playerRunning"], "1");
    EXPECT_EQ(refused["previewMode"], "1");
    EXPECT_EQ(refused["noticeId"], "54");
    EXPECT_TRUE(previewCommands(dir.file("mci.txt")).empty());
}

} // namespace
