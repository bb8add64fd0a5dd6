// The start screen and the restore of a saved session, run on the real
// program without the usual click through the start screen.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/options.h"
#include "app/start_screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

constexpr const char* kSessionName = "KLANGKELTER-Spielliste-Autosave.sav";

// A program folder with a session of six playlist songs, saved by the end
// box's lower half.
class SavedSession : public ::testing::Test {
  protected:
    static inline TempDir* shared = nullptr;
    TempDir dir;

    static void SetUpTestSuite() {
        shared = new TempDir;
        const std::string music = shared->file("m") + "/";
        fs::create_directory(music);
        ASSERT_TRUE(fixtures::makeSineMp3(music + "a.mp3", 21, 440, 0.3, 8000, 1));
        for (const char* name : {"b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3"})
            fs::copy_file(music + "a.mp3", music + name);
        auto r = scenario::run(shared->path(),
                               scenario::loadIntoPlaylist(music + "a.mp3") +
                                   "wait 0.5\nkey ctrl+x\nwait 0.5\nclick 880 150\nwait 2\n"
                                   "dump after.txt\n",
                               {"--program-dir", shared->path()},
                               scenario::isolatedEnvironment(shared->path()));
        ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
        // Saved, then ended.
        ASSERT_TRUE(scenario::readDump(shared->file("after.txt")).empty());
    }
    static void TearDownTestSuite() {
        delete shared;
        shared = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(fs::exists(shared->file(kSessionName)));
        fs::copy_file(shared->file(kSessionName), dir.file(kSessionName));
    }
    std::map<std::string, std::string> runRaw(const std::string& script,
                                              std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--program-dir", dir.path()});
        auto r =
            scenario::runRaw(dir.path(), script, args, scenario::isolatedEnvironment(dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        EXPECT_EQ(r.errorOutput, "");
        return scenario::readDump(dir.file("d.txt"));
    }
};

TEST_F(SavedSession, AClickIntoTheRestoreAreaRestoresTheSession) {
    auto d = runRaw("wait 1\nclick 300 350\nwait 1\ndump d.txt\n");
    EXPECT_EQ(d["restoreChoice"], "1");
    EXPECT_EQ(d["playlistCount"], "6");
    EXPECT_EQ(d["playPosition"], "1");
    EXPECT_EQ(d["playlistTop"], "1");
    EXPECT_EQ(d["stackTop"], "1");
    EXPECT_EQ(d["playerRunning"], "0");
}

// The restore area ends at y 380, inside the second box.
TEST_F(SavedSession, AClickLowInTheSecondBoxStartsWithEmptyLists) {
    auto d = runRaw("wait 1\nclick 300 390\nwait 1\ndump d.txt\n");
    EXPECT_EQ(d["restoreChoice"], "0");
    EXPECT_EQ(d["playlistCount"], "0");
    EXPECT_EQ(d["stackCount"], "0");
    EXPECT_GT(std::stol(d["loopPasses"]), 0);
}

TEST_F(SavedSession, AKeyStartsWithEmptyListsAndARightClickChoosesNothing) {
    auto d = runRaw("wait 1\nclick 300 350 right\nwait 0.5\ndump still.txt\nkey a\nwait 1\n"
                    "dump d.txt\n");
    EXPECT_EQ(scenario::readDump(dir.file("still.txt"))["loopPasses"], "0");
    EXPECT_EQ(d["restoreChoice"], "0");
    EXPECT_EQ(d["playlistCount"], "0");
}

// --resume skips the start screen, restores and plays on where the session stood.
TEST_F(SavedSession, ResumeRestoresAndPlays) {
    auto d = runRaw("wait 2\ndump d.txt\n", {"--resume"});
    EXPECT_EQ(d["restoreChoice"], "1");
    EXPECT_EQ(d["playlistCount"], "6");
    EXPECT_EQ(d["playerRunning"], "1");
    EXPECT_EQ(d["channelOpen"], "1,0");
    EXPECT_GT(std::stoi(d["positionMs"]), 500);
}

TEST(StartScreen, ResumeWithoutASavedSessionStartsEmptyAndSaysSo) {
    TempDir dir;
    auto r = scenario::runRaw(dir.path(), "wait 2\ndump d.txt\n",
                              {"--program-dir", dir.path(), "--resume"});
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["restoreChoice"], "0");
    EXPECT_EQ(d["playlistCount"], "0");
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["noticeId"], "92");
}

TEST(StartScreen, WithoutAnyInputItStartsEmptyAfterThirtySeconds) {
    TempDir dir;
    auto r = scenario::runRaw(dir.path(), "wait 30.5\ndump waiting.txt\nwait 0.5\ndump d.txt\n",
                              {"--program-dir", dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(scenario::readDump(dir.file("waiting.txt"))["loopPasses"], "0");
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_GT(std::stol(d["loopPasses"]), 0);
    EXPECT_EQ(d["restoreChoice"], "0");
    EXPECT_EQ(d["playlistCount"], "0");
}

// While the screen builds up and while it counts down alike.
TEST(StartScreen, CtrlXAndTheCloseButtonEndTheProgramAtOnce) {
    for (const char* script :
         {"wait 0.4\nkey ctrl+x\n", "wait 5\nkey ctrl+x\n", "wait 5\nkey close\n"}) {
        TempDir dir;
        auto r = scenario::runRaw(dir.path(), std::string(script) + "wait 0.1\ndump d.txt\n",
                                  {"--program-dir", dir.path()});
        EXPECT_EQ(r.exitCode, 0) << script << r.errorOutput;
        EXPECT_FALSE(fs::exists(dir.file("d.txt"))) << script;
    }
}

TEST(StartScreen, RestoreAreaIsSmallerThanItsBox) {
    EXPECT_TRUE(inRestoreArea(31, 301));
    EXPECT_TRUE(inRestoreArea(599, 379));
    EXPECT_FALSE(inRestoreArea(30, 350));
    EXPECT_FALSE(inRestoreArea(600, 350));
    EXPECT_FALSE(inRestoreArea(300, 300));
    EXPECT_FALSE(inRestoreArea(300, 380));
    EXPECT_FALSE(inRestoreArea(300, 390));
}

TEST(StartScreen, ResumeIsAnOption) {
    std::string error;
    const char* argv[] = {"klangkelter", "--resume"};
    auto o = parseOptions(2, const_cast<char**>(argv), error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->resume);
    const char* plain[] = {"klangkelter"};
    EXPECT_FALSE(parseOptions(1, const_cast<char**>(plain), error)->resume);
    EXPECT_NE(std::string(kUsage).find("--resume"), std::string::npos);
}

} // namespace
