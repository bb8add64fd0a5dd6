#include "analysis/envelope.h"
#include "app/mouse_dispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/decoder.h"
#include "app/main_loop.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/mci.h"
#include "platform/paths.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/transport.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"
#include "ui/list_views.h"

namespace {

using fixtures::TempDir;

// A point inside each control, away from value-button centres.
constexpr int kPlayX = 30, kStopToStartX = 190, kStopToNextX = 260, kPauseX = 110, kBlendeX = 370,
              kAutoPlayX = 450, kBlendX = 520, kTopY = 30;
constexpr int kPauseSecondsCentre = (566 + 626) / 2, kVolumeCentre = (554 + 625) / 2;

// What the injected command saw while it ran: sampled on every sleep.
struct DuringCommand {
    bool sampled = false;
    Button pressed = Button::None;
    int16_t forceShift = 0;
    uint8_t keepPosition = 0;
    int pressedPixels = 0;
};

int countColour(const Rect& r, int colour) {
    int n = 0;
    for (int y = r.y1; y <= r.y2; ++y)
        for (int x = r.x1; x <= r.x2; ++x)
            n += screen::pixel(x, y) == colour;
    return n;
}

class MouseClicks : public ::testing::Test {
  protected:
    double t = 100;
    DuringCommand during;
    Rect watched{};

    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        screen::setColors(0, 58);
        screen::clear();
        auto advance = [this](double ms) { t += ms / 1000; };
        auto sleep = [this](double ms) {
            if (!during.sampled) {
                during = {true, controlPanel.pressedButton, mouseDispatch.forceShift,
                          transport.keepPosition, countColour(watched, 10)};
            }
            t += ms / 1000;
        };
        timing::install({[this] { return t; }, sleep, advance});
        input::state = input::State{};
        decoder.lameAvailable = 1; // no file checks unless a test asks for them
        paths.lamePath.clear();
    }
    void TearDown() override {
        mci::closeLog();
        timing::install({});
        input::state = input::State{};
    }

    void modifiers(bool ctrl, bool shift, bool alt) {
        input::state.keyDown[input::kCtrl] = ctrl;
        input::state.keyDown[input::kLeftShift] = shift;
        input::state.keyDown[input::kAlt] = alt;
    }
    // One pass's dispatch with the left button down at (x, y).
    void click(int x, int y) {
        input::state.mouse.x = x;
        input::state.mouse.y = y;
        input::state.mouse.buttons = 1;
        dispatchMouse();
    }
    // The next click comes after any lock has run out.
    void clickLater(int x, int y) {
        t = std::max(t, mouseDispatch.clickLockUntil) + 1;
        click(x, y);
    }
    void songs(int count, bool inPlaylist) {
        for (int i = 1; i <= count; ++i) {
            std::string name = padName("song " + std::to_string(i) + ".mp3");
            if (inPlaylist) {
                tracks.playlist[size_t(i)].fileName = name;
                tracks.playlist[size_t(i)].nameLength = 10;
                tracks.playlist[size_t(i)].lengthMs = 200000;
            } else {
                tracks.stack[size_t(i)].fileName = name;
                tracks.stack[size_t(i)].nameLength = 10;
                tracks.stack[size_t(i)].lengthMs = 200000;
            }
        }
        (inPlaylist ? tracks.playlistCount : tracks.stackCount) = count;
    }
};

// --- Value buttons -------------------------------------------------------------

TEST_F(MouseClicks, PauseSecondsGoUpInThirdsToTwoThenInWholeSecondsToSixty) {
    std::vector<double> expected = {1.0 / 3, 2.0 / 3, 1, 4.0 / 3, 5.0 / 3, 2, 7.0 / 3};
    for (int s = 3; s <= 60; ++s)
        expected.push_back(s);
    expected.push_back(60);
    expected.push_back(60);
    for (size_t i = 0; i < expected.size(); ++i) {
        clickLater(kPauseSecondsCentre + 1, kTopY);
        ASSERT_DOUBLE_EQ(transport.pauseSeconds, expected[i]) << "step " << i + 1;
    }
}

TEST_F(MouseClicks, PauseSecondsGoDownFromThreeInThirdsAndStopAtZero) {
    transport.pauseSeconds = 3;
    for (double want : {2.0, 4.0 / 3, 2.0 / 3, 0.0, 0.0}) {
        clickLater(kPauseSecondsCentre - 1, kTopY);
        ASSERT_DOUBLE_EQ(transport.pauseSeconds, want);
    }
    transport.pauseSeconds = 7.0 / 3;
    clickLater(567, kTopY);
    EXPECT_DOUBLE_EQ(transport.pauseSeconds, 1);
    transport.pauseSeconds = 10;
    clickLater(567, kTopY);
    EXPECT_DOUBLE_EQ(transport.pauseSeconds, 9);
}

TEST_F(MouseClicks, PauseSecondsCentrePixelChangesNothingButRedrawsAndLocks) {
    transport.pauseSeconds = 4.0 / 3;
    screen::fillBox(kPauseSecondsRect.x1, kPauseSecondsRect.y1, kPauseSecondsRect.x2,
                    kPauseSecondsRect.y2, 99);
    click(kPauseSecondsCentre, kTopY);
    EXPECT_DOUBLE_EQ(transport.pauseSeconds, 4.0 / 3);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.15);
    EXPECT_EQ(countColour(kPauseSecondsRect, 99), 0) << "the button was not redrawn";
}

TEST_F(MouseClicks, VolumeStepsByTwoHundredthsInSinglePrecisionAndClamps) {
    clickLater(kVolumeCentre + 1, 480);
    EXPECT_EQ(transport.masterVolume, 1.0f);
    float want = 1.0f;
    for (int i = 0; i < 60; ++i) {
        clickLater(kVolumeCentre - 1, 480);
        want = std::max(want - 0.02f, 0.0f);
        ASSERT_EQ(transport.masterVolume, want) << "step " << i;
    }
    EXPECT_EQ(transport.masterVolume, 0.0f);
    clickLater(kVolumeCentre + 1, 480);
    EXPECT_EQ(transport.masterVolume, 0.02f);
    clickLater(kVolumeCentre, 480);
    EXPECT_EQ(transport.masterVolume, 0.02f);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.08);
}

TEST_F(MouseClicks, VolumeSendsTheFlooredLevelToTheCurrentChannel) {
    TempDir dir;
    ASSERT_TRUE(mci::openLog(dir.file("mci.log")));
    transport.masterVolume = 0.5f;
    transport.currentChannel = 1;
    compressor.gain = 333.0f;
    compressor.duckFactor = 0.5f;
    clickLater(600, 480);
    clickLater(560, 480);
    mci::closeLog();
    std::ifstream in(dir.file("mci.log"));
    std::vector<std::string> commands;
    for (std::string line; std::getline(in, line);)
        commands.push_back(line.substr(line.find(' ') + 1));
    // 0.52 x 333 x 0.5 = 86.58, then 0.5 x 333 x 0.5 = 83.25.
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], "setaudio AUBIO_II volume to 86");
    EXPECT_EQ(commands[1], "setaudio AUBIO_II volume to 83");
}

// --- Settings buttons ------------------------------------------------------------

TEST_F(MouseClicks, BlendCyclesThroughItsFourSettings) {
    for (int want : {2, 3, 0, 1, 2}) {
        clickLater(kBlendX, kTopY);
        ASSERT_EQ(transport.blendSetting, want);
        ASSERT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
    }
}

TEST_F(MouseClicks, ZoomCyclesLevelsWithTheirReferenceAndMinimumLength) {
    struct Want {
        int level;
        double reference, minLength;
    };
    for (Want w : {Want{1, 51000, 71000}, Want{2, 82000, 102000}, Want{3, 164000, 184000},
                   Want{0, 0, 20000}}) {
        clickLater(520, 480);
        ASSERT_EQ(envelopeView.zoomLevel, w.level);
        EXPECT_EQ(envelopeView.zoomReference, w.reference);
        EXPECT_EQ(envelopeView.zoomMinLength, w.minLength);
        EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
    }
}

TEST_F(MouseClicks, AutoPlayFlipsAndRedrawsTheButtonsThatDependOnIt) {
    drawBlendeButton();
    drawPauseSecondsButton();
    const int blendeBlack = countColour(kBlendeRect, 0);
    clickLater(kAutoPlayX, kTopY);
    EXPECT_EQ(transport.autoPlay, 0);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
    // BLENDE greys its label and PAUSE seconds dims it while AUTO PLAY is off.
    EXPECT_LT(countColour(kBlendeRect, 0), blendeBlack);
    EXPECT_GT(countColour(kPauseSecondsRect, 24), 0);
    EXPECT_EQ(countColour(kAutoPlayRect, 2), 0);
    clickLater(kAutoPlayX, kTopY);
    EXPECT_EQ(transport.autoPlay, 1);
    EXPECT_GT(countColour(kAutoPlayRect, 2), 0);
    EXPECT_EQ(countColour(kBlendeRect, 0), blendeBlack);
    EXPECT_EQ(countColour(kPauseSecondsRect, 24), 0);
}

// --- Locks -------------------------------------------------------------------------

TEST_F(MouseClicks, EachHandledClickLocksForItsRowsTime) {
    songs(30, false);
    struct Case {
        int x, y;
        double lock;
    };
    for (Case c : {Case{kBlendX, kTopY, 0.3}, Case{600, kTopY, 0.15}, Case{600, 480, 0.08},
                   Case{kAutoPlayX, kTopY, 0.3}, Case{520, 480, 0.3}, Case{660, 40, 0.1},
                   Case{978, 300, 0.2}}) {
        clickLater(c.x, c.y);
        EXPECT_EQ(mouseDispatch.clickLockUntil, t + c.lock) << c.x << ", " << c.y;
    }
}

TEST_F(MouseClicks, ClicksOutsideEveryRegionSetNoLock) {
    for (auto [x, y] : {std::pair{634, 300}, {70, 30}, {490, 510}, {995, 10}, {5, 458}}) {
        click(x, y);
        EXPECT_EQ(mouseDispatch.clickLockUntil, 0) << x << ", " << y;
    }
}

TEST_F(MouseClicks, ClicksWhileLockedDoNothingUntilTheLockTime) {
    click(kBlendX, kTopY);
    ASSERT_EQ(transport.blendSetting, 2);
    const double until = mouseDispatch.clickLockUntil;
    t = until - 0.001;
    click(kBlendX, kTopY);
    EXPECT_EQ(transport.blendSetting, 2);
    EXPECT_EQ(mouseDispatch.clickLockUntil, until);
    t = until;
    click(kBlendX, kTopY);
    EXPECT_EQ(transport.blendSetting, 3);
}

TEST_F(MouseClicks, PointerOutsideTheWindowIsIgnored) {
    click(0, kTopY);
    click(kBlendX, 0);
    EXPECT_EQ(transport.blendSetting, 1);
    EXPECT_EQ(mouseDispatch.clickLockUntil, 0);
}

// --- Scroll bars ---------------------------------------------------------------------

TEST_F(MouseClicks, StackScrollBarMapsTheHeightToTheListWithSnapsAtBothEnds) {
    songs(66, false);
    struct Case {
        int y, first;
    };
    // round((y - 106) x 66 / 312): 41.03, 9.31 (below 10: 1), 65.79 (above 51: 51).
    for (Case c : {Case{300, 41}, Case{150, 1}, Case{417, 51}, Case{107, 1}}) {
        clickLater(978, c.y);
        EXPECT_EQ(listViews.stackFirstShown, c.first) << c.y;
        EXPECT_EQ(controlPanel.rightTab, 1);
    }
}

TEST_F(MouseClicks, StackScrollBarRoundsHalvesToEven) {
    songs(52, false);
    clickLater(978, 169); // 63 x 52 / 312 = 10.5
    EXPECT_EQ(listViews.stackFirstShown, 10);
    clickLater(978, 175); // 11.5
    EXPECT_EQ(listViews.stackFirstShown, 12);
}

TEST_F(MouseClicks, StackScrollBarOfAShortStack) {
    songs(20, false);
    clickLater(978, 400); // 18.85 rounds to 19, above 20 - 15
    EXPECT_EQ(listViews.stackFirstShown, 5);
    songs(1, false);
    listViews.stackFirstShown = 1;
    t += 1;
    click(978, 400);
    EXPECT_LT(mouseDispatch.clickLockUntil, t) << "a single song makes the bar inert";
    EXPECT_EQ(listViews.stackFirstShown, 1);
}

TEST_F(MouseClicks, StackScrollBarEdgesAreExclusive) {
    songs(66, false);
    for (auto [x, y] : {std::pair{971, 300}, {986, 300}, {978, 106}, {978, 418}}) {
        click(x, y);
        EXPECT_EQ(mouseDispatch.clickLockUntil, 0) << x << ", " << y;
    }
}

TEST_F(MouseClicks, PlaylistScrollBarNeedsMoreThanSevenSongs) {
    songs(7, true);
    click(615, 300);
    EXPECT_EQ(mouseDispatch.clickLockUntil, 0);
    EXPECT_EQ(tracks.playlistTop, 1);
}

TEST_F(MouseClicks, PlaylistScrollBarMapsTheHeightWithInclusiveEdges) {
    songs(30, true);
    struct Case {
        int x, y, top;
    };
    // round((y - 61) x 30 / 391): 18.34, 2.99 (below 10: 1), 29.92 (above 25: 25).
    for (Case c : {Case{615, 300, 18}, Case{608, 100, 1}, Case{621, 451, 25}, Case{615, 62, 1},
                   Case{608, 250, 15}}) {
        clickLater(c.x, c.y);
        EXPECT_EQ(tracks.playlistTop, c.top) << c.x << ", " << c.y;
        EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.2);
    }
    for (auto [x, y] : {std::pair{607, 300}, {622, 300}, {615, 61}, {615, 452}}) {
        t = mouseDispatch.clickLockUntil + 1;
        const double before = mouseDispatch.clickLockUntil;
        click(x, y);
        EXPECT_EQ(mouseDispatch.clickLockUntil, before) << x << ", " << y;
    }
}

TEST_F(MouseClicks, HoldingTheButtonOnAScrollBarDragsOncePerLockPeriod) {
    songs(66, false);
    click(978, 300);
    ASSERT_EQ(listViews.stackFirstShown, 41);
    // The pointer moves while the button stays down; passes come every 5 ms.
    input::state.mouse.y = 200;
    for (int pass = 0; pass < 30; ++pass) { // 0.15 s: still locked
        t += 0.005;
        dispatchMouse();
    }
    EXPECT_EQ(listViews.stackFirstShown, 41);
    for (int pass = 0; pass < 12; ++pass) {
        t += 0.005;
        dispatchMouse();
    }
    EXPECT_EQ(listViews.stackFirstShown, 20); // round(94 x 66 / 312) = round(19.88)
}

// --- Tabs and LAME ---------------------------------------------------------------------

TEST_F(MouseClicks, TabOneShowsTheStack) {
    controlPanel.rightTab = 5;
    click(660, 40);
    EXPECT_EQ(controlPanel.rightTab, 1);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.1);
}

TEST_F(MouseClicks, LameIsLookedForAgainEveryFiveSecondsWhileClicking) {
    TempDir dir;
    decoder.lameAvailable = 0;
    paths.lamePath = dir.file("lame");
    click(634, 300);
    EXPECT_EQ(decoder.lameAvailable, 0);
    EXPECT_DOUBLE_EQ(mouseDispatch.nextLameCheckTime, t + 5);
    paths.lamePath = fixtures::installFakeDecoder(dir.path(), "exit 0\n");
    t += 5; // not past the check time yet
    click(634, 300);
    EXPECT_EQ(decoder.lameAvailable, 0);
    t += 0.001;
    click(634, 300);
    EXPECT_EQ(decoder.lameAvailable, 1);
}

// --- Transport buttons -------------------------------------------------------------------

TEST_F(MouseClicks, PlayIsDrawnPressedWhileTheInjectedPlayRuns) {
    songs(3, true);
    watched = kPlayRect;
    click(kPlayX, kTopY);
    ASSERT_TRUE(during.sampled) << "PLAY never waited";
    EXPECT_EQ(during.pressed, Button::Play);
    EXPECT_GT(during.pressedPixels, 0);
    EXPECT_EQ(during.forceShift, 0);
    EXPECT_EQ(transport.playerRunning, 1);
    EXPECT_EQ(controlPanel.pressedButton, Button::None);
    EXPECT_EQ(countColour(kPlayRect, 10), 0);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
}

TEST_F(MouseClicks, PlayWithAnEmptyPlaylistDoesNothing) {
    click(kPlayX, kTopY);
    EXPECT_EQ(transport.playerRunning, 0);
    EXPECT_EQ(mouseDispatch.clickLockUntil, 0);
}

TEST_F(MouseClicks, CtrlAltPlayReturnsAStoppedPlaylistToItsFirstSong) {
    songs(10, true);
    tracks.playPosition = tracks.playlistTop = 5;
    modifiers(true, false, true);
    click(kPlayX, kTopY);
    EXPECT_EQ(tracks.playPosition, 1);
    EXPECT_EQ(tracks.playlistTop, 1);
    EXPECT_EQ(transport.playerRunning, 0);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.5);
}

TEST_F(MouseClicks, CtrlAltShiftPlayIsAnOrdinaryPlayClick) {
    songs(10, true);
    tracks.playPosition = tracks.playlistTop = 5;
    modifiers(true, true, true);
    click(kPlayX, kTopY);
    EXPECT_EQ(tracks.playPosition, 5);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
}

TEST_F(MouseClicks, StopToStartWithNothingPlayingIsNotEvenLocked) {
    songs(3, true);
    click(kStopToStartX, kTopY);
    EXPECT_EQ(mouseDispatch.clickLockUntil, 0);
    click(kPauseX, kTopY);
    EXPECT_EQ(mouseDispatch.clickLockUntil, 0);
    EXPECT_EQ(envelopes.startCueManual[0], 0);
}

TEST_F(MouseClicks, StopToStartStopsWithoutShiftAndStaysOnTheSong) {
    songs(3, true);
    transport.channelOpen[0] = 1;
    transport.playerRunning = 1;
    watched = kStopToStartRect;
    click(kStopToStartX, kTopY);
    ASSERT_TRUE(during.sampled);
    EXPECT_EQ(during.pressed, Button::StopToStart);
    EXPECT_GT(during.pressedPixels, 0);
    EXPECT_EQ(during.forceShift, 0);
    EXPECT_EQ(transport.channelOpen[0], 0);
    EXPECT_EQ(tracks.playPosition, 1);
    EXPECT_EQ(controlPanel.pressedButton, Button::None);
    EXPECT_EQ(countColour(kStopToStartRect, 10), 0);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
}

TEST_F(MouseClicks, StopToNextStopsWithShiftForcedAndMovesOn) {
    songs(3, true);
    transport.channelOpen[0] = 1;
    transport.playerRunning = 1;
    watched = kStopToNextRect;
    click(kStopToNextX, kTopY);
    ASSERT_TRUE(during.sampled);
    EXPECT_EQ(during.pressed, Button::StopToNext);
    EXPECT_GT(during.pressedPixels, 0);
    EXPECT_EQ(during.forceShift, 1);
    EXPECT_EQ(mouseDispatch.forceShift, 0);
    EXPECT_EQ(transport.channelOpen[0], 0);
    EXPECT_EQ(transport.playerRunning, 0);
    EXPECT_EQ(tracks.playPosition, 2);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
}

TEST_F(MouseClicks, StopToNextAndBlendeWithNothingPlayingSkipASong) {
    songs(5, true);
    click(kStopToNextX, kTopY);
    EXPECT_EQ(tracks.playPosition, 2);
    EXPECT_EQ(mouseDispatch.forceShift, 0);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
    clickLater(kBlendeX, kTopY);
    EXPECT_EQ(tracks.playPosition, 3);
    EXPECT_EQ(mouseDispatch.forceShift, 0);
    EXPECT_EQ(controlPanel.pressedButton, Button::None);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
}

TEST_F(MouseClicks, BlendeIsInertWhileAutoPlayIsOff) {
    songs(5, true);
    transport.autoPlay = 0;
    click(kBlendeX, kTopY);
    EXPECT_EQ(tracks.playPosition, 1);
    EXPECT_EQ(mouseDispatch.clickLockUntil, 0);
}

TEST_F(MouseClicks, PauseSetsACueAndStopsKeepingThePosition) {
    songs(3, true);
    transport.channelOpen[0] = 1;
    transport.playerRunning = 1;
    click(kPauseX, kTopY);
    ASSERT_TRUE(during.sampled);
    EXPECT_EQ(during.forceShift, 1);
    EXPECT_EQ(during.keepPosition, 1);
    EXPECT_EQ(mouseDispatch.forceShift, 0);
    EXPECT_EQ(transport.keepPosition, 0);
    EXPECT_EQ(envelopes.startCueManual[0], 1);
    EXPECT_EQ(transport.channelOpen[0], 0);
    EXPECT_EQ(tracks.playPosition, 1);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);
}

TEST_F(MouseClicks, ACtrlShiftClickSetsAStartCueButNotForThePlayingSong) {
    songs(3, true);
    tracks.playlist[1].rightTrigger = tracks.playlist[2].rightTrigger = 0.9;
    transport.playerRunning = 1;
    modifiers(true, true, false);
    click(12 + 59, kCardTop + 30);
    EXPECT_EQ(envelopes.startCueManual[0], 0) << "the playing song started from its cue already";
    EXPECT_EQ(envelopes.startCue[0], 0.0);
    clickLater(12 + 59, kCardTop + kCardPitch + 30);
    EXPECT_EQ(envelopes.startCueManual[1], 1);
    EXPECT_DOUBLE_EQ(envelopes.startCue[1], 0.1);
}

// --- The real program ------------------------------------------------------------------------

TEST(MouseScenario, ClicksOnTheValueButtonsChangeTheSettings) {
    TempDir dir;
    auto r = scenario::run(dir.path(),
                           "wait 1\n"
                           "click 600 20\nwait 0.2\nclick 600 20\nwait 0.2\nclick 600 20\n"
                           "wait 0.2\nclick 570 20\nwait 0.2\n"
                           "click 520 20\nwait 0.5\nclick 560 480\nwait 0.5\n"
                           "dump d.txt\n",
                           {"--mci-log", dir.file("mci.log")});
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    // Down from 1 the step is two thirds.
    EXPECT_EQ(d["pauseSeconds"], "0.333333333");
    EXPECT_EQ(d["blendSetting"], "2");
    EXPECT_EQ(d["masterVolume"], "0.980000019");
    std::ifstream in(dir.file("mci.log"));
    std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("setaudio AUBIO_I volume to 980\n"), std::string::npos) << log;
}

TEST(MouseScenario, AHeldButtonRepeatsOncePerLockPeriod) {
    TempDir dir;
    // PAUSE seconds locks for 0.15 s: a press held 0.4 s acts at 0, 0.15 and 0.3 s.
    auto r = scenario::run(dir.path(), "wait 1\npress 600 20\nwait 0.4\nrelease\nwait 0.5\n"
                                       "dump d.txt\n");
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(scenario::readDump(dir.file("d.txt"))["pauseSeconds"], "1");
}

} // namespace
