#include "ui/envelope_view.h"

#include <gtest/gtest.h>

#include <string>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "app/mouse_dispatch.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/font.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/time_display.h"

#include "tests/support/pixels.h"

namespace {

using pixels::expectPixels;
using pixels::Px;
using pixels::textIs;

class EnvelopeViewTest : public ::testing::Test {
  protected:
    double t = 500;

    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        timing::install({[this] { return t; }, [this](double ms) { t += ms / 1000; }});
        clearLists();
        tracks.playPosition = tracks.playlistTop = 1;
        decoder.lameAvailable = 1;
        allocateEnvelopes();
        input::state = input::State{};
    }
    void TearDown() override {
        timing::install({});
        envelopes = Envelopes{};
        input::state = input::State{};
    }

    static PlaylistEntry& addSong(int32_t ms, double left = 0, double right = 0.9) {
        auto& e = tracks.playlist[size_t(++tracks.playlistCount)];
        const std::string name = "song" + std::to_string(tracks.playlistCount) + ".mp3";
        e = PlaylistEntry{padName(name), int32_t(name.size()), ms};
        e.leftTrigger = left;
        e.rightTrigger = right;
        return e;
    }
    // The name bar of card 0 as the playlist view paints it.
    static void paintCard() { screen::fillBox(11, 75, 603, 115, 37); }

    void ctrlClick(int x, int y) {
        t = std::max(t, mouseDispatch.clickLockUntil) + 1;
        input::state.keyDown[input::kCtrl] = true;
        input::state.mouse = {x, y, 0, 1};
        dispatchMouse();
    }
};

TEST_F(EnvelopeViewTest, ZoomedRightTriggerShadesFromTheRightPart) {
    envelopeView.zoomLevel = 1;
    envelopeView.zoomReference = 51000;
    envelopeView.zoomMinLength = 71000;
    EXPECT_EQ(zoomFactor(60000), 1.0f);
    EXPECT_NEAR(zoomFactor(120000), 2.3529, 1e-4);
    EXPECT_NEAR(zoomedFraction(0.1, 120000), 0.23529, 1e-5);
    EXPECT_EQ(zoomedFraction(0.5, 120000), 0.45); // the middle collapses
    EXPECT_NEAR(zoomedFraction(0.95, 120000), 1 - 0.05 * 2.35294, 1e-5);

    transport.autoPlay = 0;
    addSong(240000, 0, 0.9);
    paintCard();
    drawTriggerOverlay(0);
    // From x0 + 590 (1 - 0.1 z), about 324.4, to the bar's end, rows 76 to 114.
    expectPixels({{322, 90, 37}, {326, 90, 34}, {602, 114, 34}, {326, 75, 37}, {326, 115, 37}});

    envelopeView.zoomLevel = 0;
    paintCard();
    drawTriggerOverlay(0);
    expectPixels({{326, 90, 37}, {540, 90, 37}, {545, 90, 34}});
}

TEST_F(EnvelopeViewTest, RowDrawsPeaksAndLevelsWithoutGaps) {
    addSong(100000, 0, 0.999);
    envelopes.blockCount[0] = 100;
    envelopes.envelopePresent[0] = 1;
    for (int b = 0; b <= 100; ++b)
        envelopes.peakTable[envelopeIndex(0, b)] = 8400; // 10 pixels
    envelopes.peakTable[envelopeIndex(0, 50)] = 16800;
    envelopes.levelTable[envelopeIndex(0, 50)] = 8400;
    decoder.lameOn = 1;
    paintCard();
    drawEnvelopeRow(0);
    // Block 50 at x 307, block 49 at 301, block 51 at 313; the gaps take the right block.
    expectPixels({{307, 105, 24},
                  {307, 104, 1},
                  {307, 95, 1},
                  {307, 94, 37},
                  {301, 105, 1},
                  {301, 104, 37},
                  {304, 95, 1},
                  {310, 95, 37},
                  {310, 105, 1}});
}

TEST_F(EnvelopeViewTest, HintWithoutEnvelope) {
    addSong(100000);
    addSong(100000);
    decoder.lameOn = 1;
    drawEnvelopeRow(1);
    EXPECT_TRUE(textIs(66, 162, "Hüllkurve bald vorhanden. LAME ist aktiv.", 22));
    expectPixels({{56, 157, 28}, {526, 172, 28}, {55, 157, 0}});
}

TEST_F(EnvelopeViewTest, AutoPlayOffDropsLeftShadeAndHandOver) {
    addSong(100000, 0.2, 0.9);
    addSong(100000, 0.1, 0.9);
    paintCard();
    drawTriggerOverlay(0);
    // Hand-over at 0.9 - 0.1: x = 12 + 590 - 0.2 * 590 = 484, dotted.
    expectPixels({{50, 90, 34}, {483, 76, 7}, {484, 76, 37}, {484, 77, 8}, {485, 76, 7}});
    transport.autoPlay = 0;
    paintCard();
    drawTriggerOverlay(0);
    expectPixels({{50, 90, 37}, {483, 76, 37}, {484, 77, 37}, {545, 90, 34}});
}

TEST_F(EnvelopeViewTest, EmptyRunningPanelSaysWhy) {
    decoder.lameAvailable = 0;
    drawEnvelopeStripWhenDue(); // no song: the empty panel
    EXPECT_TRUE(textIs(35, 471, "KEINE DATEN", 24));
    EXPECT_TRUE(textIs(25, 485, "BITTE LAME.EXE", 22));
    EXPECT_TRUE(textIs(17, 499, "in Arbeitsordner", 22));
    EXPECT_DOUBLE_EQ(envelopeView.nextEmptyPanelTime, t + 1.1);

    decoder.lameAvailable = 1;
    decoder.lameOn = 0;
    t += 0.5;
    drawEnvelopeStripWhenDue();
    EXPECT_TRUE(textIs(25, 485, "BITTE LAME.EXE", 22)) << "redrawn before 1.1 s";
    t += 0.7;
    drawEnvelopeStripWhenDue();
    EXPECT_TRUE(textIs(19, 488, "LAME einschalten", 22));
}

TEST_F(EnvelopeViewTest, LameAndTriggerButtonFaces) {
    decoder.lameOn = 0;
    drawLameButton();
    EXPECT_TRUE(textIs(169, 471, "LAME", 27));
    EXPECT_TRUE(textIs(169, 491, " AN", 27));
    EXPECT_TRUE(textIs(174, 505, "AUS", 0));
    expectPixels({{213, 521, 25}, {212, 520, 0}, {158, 461, 30}});
    decoder.lameAvailable = 0;
    drawLameButton();
    EXPECT_FALSE(textIs(169, 491, " AN", 27) || textIs(174, 505, "AUS", 0));

    decoder.lameOn = 1;
    drawTriggerButton();
    EXPECT_TRUE(textIs(424, 496, "30% 70%", 0));
    EXPECT_TRUE(textIs(430, 509, "\u25BE   \u25BE", 0));
    triggers.leftTriggerPercent = 0.05f;
    transport.autoPlay = 0;
    drawTriggerButton();
    EXPECT_TRUE(textIs(424, 496, " 5% 70%", 24));
    EXPECT_TRUE(textIs(423, 471, "TRIGGER", 24));
}

TEST_F(EnvelopeViewTest, TriggerBlinkTwoSecondsDarkOneGrey) {
    decoder.lameOn = 1;
    transport.pauseSeconds = 3;
    drawTriggerButton();
    serviceTriggerBlink();
    EXPECT_TRUE(envelopeView.triggerBlinkActive);
    EXPECT_TRUE(textIs(424, 496, "30% 70%", 0));
    t += 2.1;
    serviceTriggerBlink();
    EXPECT_TRUE(textIs(424, 496, "30% 70%", 24));
    EXPECT_TRUE(textIs(430, 509, "\u25BE   \u25BE", 24));
    EXPECT_DOUBLE_EQ(envelopeView.triggerBlinkTime, t + 1.0);

    triggers.leftTriggerPercent = 0.2f; // no longer above 0.2: back to normal once
    serviceTriggerBlink();
    EXPECT_FALSE(envelopeView.triggerBlinkActive);
    EXPECT_TRUE(textIs(424, 496, "20% 70%", 0));
}

TEST_F(EnvelopeViewTest, CtrlClicksIntoTheEnvelopePlaceTriggers) {
    decoder.lameOn = 1;
    addSong(200000, 0, 0.5);
    addSong(200000);
    envelopes.envelopePresent[0] = 1;
    ctrlClick(550, 100);
    EXPECT_NEAR(tracks.playlist[1].rightTrigger, 1 - 52.0 / 590, 1e-9);
    EXPECT_EQ(mouseDispatch.clickLockUntil, t + 0.3);

    transport.autoPlay = 0;
    ctrlClick(100, 100); // the left trigger needs AUTO PLAY
    EXPECT_EQ(tracks.playlist[1].leftTrigger, 0);
    transport.autoPlay = 1;
    ctrlClick(100, 100); // (100 - 12) / 590, held to 17 s
    EXPECT_NEAR(tracks.playlist[1].leftTrigger, 17000 / 200000.0, 1e-9);

    decoder.lameOn = 0;
    tracks.playlist[2].rightTrigger = 0.5;
    const double lockBefore = mouseDispatch.clickLockUntil;
    ctrlClick(550, 180);
    EXPECT_EQ(notices.noticeId, 46);
    // Not placed at the click; the redraw with LAME off gives the default point.
    EXPECT_DOUBLE_EQ(tracks.playlist[2].rightTrigger, (200000 - 2100) / 200000.0);
    // The click goes on to the playlist's own rows: an insert behind the song,
    // with nothing selected in the stack.
    EXPECT_DOUBLE_EQ(mouseDispatch.clickLockUntil, lockBefore + 1.25);
}

} // namespace
