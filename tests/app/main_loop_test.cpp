#include <gtest/gtest.h>

#include <cstdlib>

#include "app/main_loop.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"

namespace {

using fixtures::TempDir;

TEST(MainLoop, TenVirtualMinutesRunPassAfterPass) {
    TempDir dir;
    auto r = scenario::run(dir.path(), "wait 600\ndump d.txt\n");
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["clock"], "601.000");
    // Each pass sleeps 5 ms; the loop starts once the start screen was clicked at 0.9 s.
    long passes = std::stol(d["loopPasses"]);
    EXPECT_GE(passes, 119950);
    EXPECT_LE(passes, 120020);
}

// Ctrl+X and the close button open the end box; its upper half ends the run
// at once, without saving.
TEST(MainLoop, CtrlXAndTheCloseButtonOpenTheEndBoxWhoseUpperHalfEnds) {
    for (const char* key : {"key ctrl+x", "key x ctrl", "key close"}) {
        TempDir dir;
        auto r = scenario::run(dir.path(),
                               std::string("wait 1\n") + key +
                                   "\nwait 0.5\ndump box.txt\nclick 880 60\nwait 1\n"
                                   "dump after.txt\nwait 1\n",
                               {"--program-dir", dir.path()});
        EXPECT_EQ(r.exitCode, 0) << key << r.errorOutput;
        EXPECT_EQ(scenario::readDump(dir.file("box.txt"))["endBoxShown"], "1") << key;
        EXPECT_TRUE(scenario::readDump(dir.file("after.txt")).empty()) << key;
    }
    TempDir dir;
    auto r = scenario::run(dir.path(), "wait 1\nkey x\nwait 1\ndump after.txt\n");
    EXPECT_EQ(r.exitCode, 0);
    auto after = scenario::readDump(dir.file("after.txt"));
    EXPECT_FALSE(after.empty()) << "plain x must not quit";
    EXPECT_EQ(after["endBoxShown"], "0");
}

TEST(MainLoop, MalformedScriptLineStopsTheRunWithItsNumber) {
    TempDir dir;
    auto r = scenario::runRaw(dir.path(), "wait 1\n# comment\n\nclick 10\ndump d.txt\n");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.errorOutput.find("line 4"), std::string::npos) << r.errorOutput;
    EXPECT_TRUE(scenario::readDump(dir.file("d.txt")).empty());
}

// Drives passes in-process on a headless backend with a long, empty script.
class LoopPasses : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        auto script = headless::parseScript("wait 1000\n", error);
        ASSERT_TRUE(script);
        backend::install(headless::make({}, std::move(*script)));
        screen::open(screen::kWidth, screen::kHeight);
        screen::setColors(0, 7);
        screen::clear();
    }
    void TearDown() override { backend::install(nullptr); }
};

TEST_F(LoopPasses, CompressorAlarmBoxChangesEveryTwentyOnePasses) {
    // The warning is held long, as the compressor shows it; the hover leaves it alone.
    notices.noticeId = notice::kCompressorWarning;
    notices.noticeHoldTime = timing::now() + 45;
    notices.noticeIdleTime = timing::now() + 50;
    for (int i = 0; i < 20; ++i)
        runPass();
    EXPECT_EQ(screen::pixel(971, 470), 7);
    runPass();
    EXPECT_EQ(screen::pixel(971, 470), 0);
    EXPECT_EQ(screen::pixel(983, 482), 0);
    EXPECT_EQ(screen::pixel(984, 482), 7);
    EXPECT_EQ(screen::pixel(970, 470), 7);
    for (int i = 0; i < 20; ++i)
        runPass();
    EXPECT_EQ(screen::pixel(977, 476), 0);
    runPass();
    EXPECT_EQ(screen::pixel(977, 476), 30);

    notices.noticeId = 36;
    screen::fillBox(971, 470, 983, 482, 7);
    for (int i = 0; i < 50; ++i)
        runPass();
    EXPECT_EQ(screen::pixel(977, 476), 7);
}

TEST_F(LoopPasses, CurrentSongStaysInViewNearTheEndOfThePlaylist) {
    tracks.playlistCount = 0;
    tracks.playPosition = 1;
    tracks.playlistTop = 3;
    runPass();
    EXPECT_EQ(tracks.playlistTop, tracks.playPosition);

    tracks.playlistCount = 20;
    tracks.playPosition = 4;
    tracks.playlistTop = 12; // scrolled away, many songs follow: left alone
    runPass();
    EXPECT_EQ(tracks.playlistTop, 12);
    tracks.playPosition = 16; // only four follow now
    runPass();
    EXPECT_EQ(tracks.playlistTop, 16);
}

TEST_F(LoopPasses, HoverDeadlineFollowsThePointer) {
    double before = timing::now();
    input::state.mouse.x = 100;
    input::state.mouse.y = 200;
    runPass();
    EXPECT_NEAR(mainLoop.hoverDeadline, before + 0.25, 1e-9);
    double armed = mainLoop.hoverDeadline;
    runPass();
    EXPECT_EQ(mainLoop.hoverDeadline, armed); // a resting pointer does not re-arm it
}

// No audio device: the playlist plays on silently, and the user is told so on
// stderr once and in the message area every 30 s while it lasts.
TEST_F(LoopPasses, AMissingAudioDeviceIsReportedAndRepeated) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    ASSERT_TRUE(audio::start(audio::SinkKind::Device));
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_EQ(audio::sinkName(), "silent");
    ::testing::internal::CaptureStderr();
    runPass();
    EXPECT_EQ(notices.noticeId, notice::kNoAudioDevice);
    notices.noticeId = notice::kIdle;
    notices.noticeHoldTime = 0;
    const double shown = timing::now();
    while (timing::now() < shown + 29)
        runPass();
    EXPECT_EQ(notices.noticeId, notice::kIdle);
    while (timing::now() < shown + 30.1)
        runPass();
    const std::string err = ::testing::internal::GetCapturedStderr();
    audio::shutdown();
    EXPECT_EQ(notices.noticeId, notice::kNoAudioDevice);
    EXPECT_NE(err.find("no audio device"), std::string::npos) << err;
    EXPECT_EQ(err.find("no audio device"), err.rfind("no audio device")) << "said once";
}

} // namespace
