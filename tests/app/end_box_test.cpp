// The end box that Ctrl+X and the window's close button open.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/decoder.h"
#include "app/end_box.h"
#include "platform/png.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

constexpr const char* kSessionName = "KLANGKELTER-Spielliste-Autosave.sav";
constexpr int kBoxColour = 40;

// A run in its own program folder; the box opens at 1 s and listens from 1.3 s.
struct BoxRun {
    TempDir dir;
    scenario::Result result;
    explicit BoxRun(const std::string& afterCtrlX, const std::string& before = "") {
        result =
            scenario::run(dir.path(), before + "wait 1\nkey ctrl+x\nwait 0.5\n" + afterCtrlX,
                          {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
    }
    std::map<std::string, std::string> dump(const std::string& name) {
        return scenario::readDump(dir.file(name));
    }
    int pixel(const std::string& shot, int x, int y) {
        png::Image img;
        if (!png::read(dir.file(shot), img)) return -1;
        // Palette entry 40 is pure red in the program's palette.
        const size_t i = (size_t(y) * img.width + x) * 3;
        return img.rgb[i] == 0xFF && img.rgb[i + 1] == 0 && img.rgb[i + 2] == 0 ? kBoxColour : 0;
    }
};

TEST(EndBox, ARightClickIsIgnoredAndTheBoxClosesAfterEightSeconds) {
    BoxRun run("click 880 60 right\nwait 0.5\ndump open.txt\nscreenshot open.png\nwait 6.5\n"
               "dump late.txt\nwait 1\ndump closed.txt\nscreenshot closed.png\n");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.errorOutput;
    EXPECT_EQ(run.dump("open.txt")["endBoxShown"], "1");
    EXPECT_EQ(run.pixel("open.png", 885, 100), kBoxColour);
    EXPECT_EQ(run.dump("late.txt")["endBoxShown"], "1");
    auto closed = run.dump("closed.txt");
    ASSERT_FALSE(closed.empty());
    EXPECT_EQ(closed["endBoxShown"], "0");
    EXPECT_NE(run.pixel("closed.png", 885, 100), kBoxColour);
}

TEST(EndBox, ALeftClickOutsideReturnsAtOnce) {
    BoxRun run("click 500 300\nwait 0.1\ndump d.txt\n");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.errorOutput;
    EXPECT_EQ(run.dump("d.txt")["endBoxShown"], "0");
}

// Too little to save: notice 58, the box closes and the session goes on.
TEST(EndBox, TheLowerHalfWithARefusedSaveReturnsToTheSession) {
    BoxRun run("click 880 150\nwait 1\ndump d.txt\n");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.errorOutput;
    auto d = run.dump("d.txt");
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(d["endBoxShown"], "0");
    EXPECT_EQ(d["noticeId"], "58");
    EXPECT_FALSE(fs::exists(run.dir.file(kSessionName)));
}

// Enough to save, but the upper half ends without writing anything.
TEST(EndBox, TheUpperHalfEndsWithoutSavingWhileTheMusicPlays) {
    TempDir sources;
    const std::string music = sources.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "a.mp3", 21, 440, 0.3, 8000, 1));
    for (const char* name : {"b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3"})
        fs::copy_file(music + "a.mp3", music + name);
    BoxRun run("dump open.txt\nwait 3\ndump later.txt\nclick 880 60\nwait 1\ndump after.txt\n",
               scenario::loadIntoPlaylist(music + "a.mp3") + "key ctrl+p\n");
    ASSERT_EQ(run.result.exitCode, 0) << run.result.errorOutput;
    auto open = run.dump("open.txt"), later = run.dump("later.txt");
    EXPECT_EQ(open["endBoxShown"], "1");
    EXPECT_EQ(later["endBoxShown"], "1");
    // The song plays on behind the box.
    EXPECT_EQ(later["channelOpen"], "1,0");
    EXPECT_NEAR(std::stoi(later["positionMs"]) - std::stoi(open["positionMs"]), 3000, 300);
    EXPECT_TRUE(run.dump("after.txt").empty());
    EXPECT_FALSE(fs::exists(run.dir.file(kSessionName)));
}

// Ctrl+X at any moment around a cross-fade: the box shows while the fade goes
// on, and "SITZUNG SPEICHERN und ENDE." a second later saves and ends.
TEST(EndBox, AClickDuringACrossFadeActs) {
    TempDir sources;
    const std::string music = sources.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "s1.mp3", 21, 440, 0.3, 8000, 1));
    for (int i = 2; i <= 8; ++i)
        fs::copy_file(music + "s1.mp3", music + "s" + std::to_string(i) + ".mp3");
    // Playing from 3.1 s; the fade into the second song lies in 15 to 21 s.
    for (double at = 11; at <= 22; at += 1) {
        BoxRun run("dump open.txt\nwait 0.5\nclick 880 150\nwait 3\ndump late.txt\n",
                   scenario::loadIntoPlaylist(music + "s1.mp3") + "key ctrl+p\nwait " +
                       std::to_string(at) + "\n");
        ASSERT_EQ(run.result.exitCode, 0) << run.result.errorOutput;
        EXPECT_EQ(run.dump("open.txt")["endBoxShown"], "1") << at;
        EXPECT_TRUE(run.dump("late.txt").empty()) << at;
        EXPECT_TRUE(fs::exists(run.dir.file(kSessionName))) << at;
    }
}

TEST(EndBox, NotShownWhileTheCurrentSongIsDecoded) {
    decoder.decodeSlot = 1;
    runEndBox();
    EXPECT_FALSE(endBox.shown);
    EXPECT_EQ(screen::pixel(885, 60), 0);
    decoder.decodeSlot = 0;
}

} // namespace
