#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "analysis/decoder.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/font.h"
#include "platform/paths.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"

namespace {

// Set bits of the glyphs are `ink`; with a shadow, clear bits whose upper left
// neighbour is set are `shadow`; the other clear bits are `paper`.
::testing::AssertionResult textAt(int x, int y, const std::string& cp437, int ink, int paper,
                                  int shadow = -1) {
    for (size_t i = 0; i < cp437.size(); ++i)
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 8; ++col) {
                auto bit = [&](int r, int c) {
                    return r >= 0 && c >= 0 &&
                           (font::kGlyphs[static_cast<unsigned char>(cp437[i])][r] & (0x80 >> c));
                };
                const int px = x + 8 * int(i) + col, py = y + row;
                int want = bit(row, col) ? ink : paper;
                if (shadow >= 0 && !bit(row, col)) want = bit(row - 1, col - 1) ? shadow : -1;
                if (want >= 0 && screen::pixel(px, py) != want)
                    return ::testing::AssertionFailure()
                           << "char " << i << " of \"" << cp437 << "\" at (" << px << ", " << py
                           << ") is " << screen::pixel(px, py) << ", want " << want;
            }
    return ::testing::AssertionSuccess();
}

struct P {
    int x, y, colour;
};

::testing::AssertionResult pixelsAre(std::initializer_list<P> points) {
    for (const P& p : points)
        if (screen::pixel(p.x, p.y) != p.colour)
            return ::testing::AssertionFailure()
                   << "(" << p.x << ", " << p.y << ") is " << screen::pixel(p.x, p.y) << ", want "
                   << p.colour;
    return ::testing::AssertionSuccess();
}

int count(const Rect& r, int colour) {
    int n = 0;
    for (int y = r.y1; y <= r.y2; ++y)
        for (int x = r.x1; x <= r.x2; ++x)
            n += screen::pixel(x, y) == colour;
    return n;
}

class ControlPanelTest : public ::testing::Test {
  protected:
    double t = 100;
    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        // Untouched pixels show the panel colour, so a stray stroke stands out.
        screen::setColors(0, 58);
        screen::clear();
        auto advance = [this](double ms) { t += ms / 1000; };
        timing::install({[this] { return t; }, advance, advance});
        tracks.stackCount = tracks.playlistCount = 0;
        paths.lamePath.clear();
    }
    void TearDown() override { timing::install({}); }
};

TEST(ControlPanelTexts, PauseSecondsShowTheirShortDecimalForm) {
    EXPECT_EQ(pauseSecondsText(0), "0");
    EXPECT_EQ(pauseSecondsText(1.0 / 3), "0.3");
    EXPECT_EQ(pauseSecondsText(5.0 / 3), "1.6");
    EXPECT_EQ(pauseSecondsText(7.0 / 3), "2.3");
    EXPECT_EQ(pauseSecondsText(1), "1.0");
    EXPECT_EQ(pauseSecondsText(4), "4.0");
    EXPECT_EQ(pauseSecondsText(5), "5");
    EXPECT_EQ(pauseSecondsText(10), "10");
    EXPECT_EQ(pauseSecondsText(12.5), "12");
    EXPECT_EQ(pauseSecondsText(60), "60");
}

TEST(ControlPanelTexts, VolumeAndZoom) {
    EXPECT_EQ(volumeText(0.98f), "98%");
    EXPECT_EQ(volumeText(1.0f), "100%");
    EXPECT_EQ(volumeText(0.444f), "45%"); // the 0.1 lifts 44.4 over the half
    EXPECT_EQ(zoomText(0, 50000), "----");
    EXPECT_EQ(zoomText(1, 50000), "25s");
    EXPECT_EQ(zoomText(3, 160000), "80s");
    EXPECT_EQ(zoomText(1, 25000), "10s"); // 2.5 fives: halves go to even
    EXPECT_EQ(zoomText(1, 35000), "20s");
}

TEST_F(ControlPanelTest, RedrawPaintsTheAreasLabelAndButtons) {
    drawControlPanel();
    EXPECT_TRUE(pixelsAre({{995, 60, 58},
                           {998, 300, 58},
                           {995, 455, 58},
                           {70, 30, 23},
                           {300, 30, 23},
                           {632, 2, 23},
                           {633, 300, 46},
                           {635, 526, 46},
                           {636, 456, 69},
                           {638, 500, 69},
                           {999, 526, 69}}));
    EXPECT_EQ(screen::fb.foreground, 0);
    EXPECT_EQ(screen::fb.background, 58);
    EXPECT_TRUE(textAt(645, 5, kProductLabel, 0, 58));
    EXPECT_GE(t, 100.01); // the pause before the tool test
    EXPECT_TRUE(textAt(17, 13, "PLAY", 0, 30));
    EXPECT_TRUE(textAt(177, 13, "STOP", 0, 30));
    EXPECT_TRUE(textAt(247, 13, "STOP", 0, 30));
    EXPECT_TRUE(textAt(507, 13, "BLEND", 0, 30));
    EXPECT_TRUE(textAt(503, 471, "ZOOM", 0, 30));
    EXPECT_TRUE(textAt(503, 509, "SAVE", 0, 30));
    EXPECT_TRUE(textAt(565, 471, "VOLUME", 0, 30));
    EXPECT_TRUE(textAt(565, 509, "SHUF.", 0, 30));
    EXPECT_TRUE(pixelsAre({{493, 505, 0}, {547, 521, 27}, {625, 521, 27}, {555, 462, 0}}));
}

TEST_F(ControlPanelTest, RedrawLooksForTheDecoderAndSwitchesItOffWhenMissing) {
    paths.lamePath = "/nonexistent/lame";
    decoder.lameAvailable = 1;
    drawControlPanel();
    EXPECT_EQ(decoder.lameAvailable, 0);
    EXPECT_EQ(decoder.lameOn, 0);

    paths.lamePath = "/bin/sh";
    decoder.lameOn = 1;
    drawControlPanel();
    EXPECT_EQ(decoder.lameAvailable, 1);
    EXPECT_EQ(decoder.lameOn, 1);
}

TEST_F(ControlPanelTest, RedrawDrawsTheNoticeEvenWhileItIsHeld) {
    notices.noticeId = notices.lastNoticeId = notice::kIdle;
    notices.noticeHoldTime = 1e9;
    drawControlPanel();
    EXPECT_TRUE(pixelsAre({{645, 465, 29}, {642, 461, 0}}));
    EXPECT_EQ(notices.noticeForce, 0);
}

TEST_F(ControlPanelTest, PlayFrameHasItsEdgesAtTheCorners) {
    drawPlayButton();
    EXPECT_TRUE(pixelsAre({{4, 3, 30}, {64, 3, 30}, {4, 53, 30}, {6, 5, 30}}));
    EXPECT_TRUE(pixelsAre({{5, 4, 0}, {63, 4, 0}, {63, 52, 0}, {5, 52, 0}}));
    EXPECT_TRUE(pixelsAre({{64, 4, 27}, {64, 53, 27}, {5, 53, 27}}));
    EXPECT_TRUE(pixelsAre({{3, 3, 58}, {65, 53, 58}, {4, 54, 58}}));
}

TEST_F(ControlPanelTest, PlayTriangleAndLabelTurnColour10WhilePressed) {
    drawPlayButton();
    // Widest stroke at x = 4 + 38 - 18 from y 3 + 31 - 9 to 3 + 31 + 9; at the
    // tip 33.5 and 34.5 both land on 34.
    EXPECT_TRUE(pixelsAre({{24, 25, 0}, {24, 43, 0}, {24, 24, 30}, {24, 44, 30}, {25, 24, 30}}));
    EXPECT_TRUE(pixelsAre({{41, 34, 0}, {41, 33, 30}, {41, 35, 30}, {42, 34, 30}}));

    controlPanel.pressedButton = Button::Play;
    drawPlayButton();
    EXPECT_TRUE(textAt(17, 13, "PLAY", 10, 30));
    EXPECT_TRUE(pixelsAre({{24, 25, 10}, {41, 34, 10}}));
    EXPECT_EQ(count(kPlayRect, 0), 2 * 59 + 2 * 47); // only the inner outline stays black
}

TEST_F(ControlPanelTest, PauseBarsStayBlackWhilePressed) {
    controlPanel.pressedButton = Button::Pause;
    drawPauseButton();
    EXPECT_TRUE(textAt(92, 13, "PAUSE", 10, 30));
    EXPECT_TRUE(pixelsAre({{105, 26, 0}, {108, 42, 0}, {114, 26, 0}, {117, 42, 0}}));
    EXPECT_TRUE(pixelsAre({{109, 30, 30}, {118, 42, 30}, {105, 43, 30}}));
}

TEST_F(ControlPanelTest, StopArrowsRunThroughTheirSquares) {
    drawStopToStartButton();
    // Square outline over the bar, bar over the square, head stroke i = 11 at 29.5 to 40.5.
    EXPECT_TRUE(pixelsAre({{189, 27, 0}, {189, 35, 0}, {205, 43, 0}, {195, 30, 0}}));
    EXPECT_TRUE(pixelsAre({{195, 35, 8}, {210, 34, 8}, {211, 34, 30}}));
    EXPECT_TRUE(pixelsAre({{181, 30, 8}, {181, 40, 8}, {181, 41, 30}, {181, 29, 30}}));

    drawStopToNextButton();
    EXPECT_TRUE(pixelsAre({{248, 27, 0}, {264, 43, 0}, {255, 35, 8}, {243, 34, 8}, {242, 34, 30}}));
    // The tip, stroke i = 1: 34.5 and 35.5 give 34 to 36.
    EXPECT_TRUE(pixelsAre({{284, 34, 8}, {284, 36, 8}, {284, 37, 30}, {285, 35, 30}}));
    EXPECT_TRUE(pixelsAre({{274, 30, 8}, {274, 40, 8}}));
}

TEST_F(ControlPanelTest, BlendeHasThreeInsetBoxesAndGreysWithoutAutoPlay) {
    drawBlendeButton();
    EXPECT_TRUE(pixelsAre({{325, 3, 27}, {419, 53, 28}, {326, 4, 0}, {327, 5, 27}}));
    EXPECT_TRUE(
        pixelsAre({{328, 6, 28}, {331, 9, 29}, {334, 12, 30}, {410, 44, 30}, {411, 45, 29}}));
    EXPECT_TRUE(textAt(348, 14, "BLENDE", 0, 30));
    EXPECT_TRUE(textAt(348, 25, "& PLAY", 0, 30));
    EXPECT_TRUE(textAt(355, 37, "\x10\x10\x10\x10", 0, 30));

    controlPanel.pressedButton = Button::Blende;
    drawBlendeButton();
    EXPECT_TRUE(textAt(348, 14, "BLENDE", 28, 30));

    transport.autoPlay = 0;
    drawBlendeButton();
    EXPECT_TRUE(textAt(348, 14, "BLENDE", 29, 30));
    EXPECT_TRUE(textAt(355, 37, "\x10\x10\x10\x10", 29, 30));
}

TEST_F(ControlPanelTest, AutoPlayShowsItsStateOverAShadow) {
    drawAutoPlayButton();
    EXPECT_TRUE(pixelsAre({{427, 4, 0}, {491, 53, 28}}));
    EXPECT_TRUE(textAt(438, 13, "AUTO", 2, 30, 22));
    EXPECT_TRUE(textAt(438, 26, "PLAY", 2, 30, 22));
    EXPECT_TRUE(textAt(434, 39, "IS ON", 2, 30, 22));

    transport.autoPlay = 0;
    drawAutoPlayButton();
    EXPECT_TRUE(textAt(434, 39, "IS OFF", 22, 30, 22));
    EXPECT_TRUE(textAt(438, 13, "AUTO", 22, 30, 22));
    EXPECT_EQ(count(kAutoPlayRect, 2), 0);
}

TEST_F(ControlPanelTest, BlendIconFollowsTheSetting) {
    transport.blendSetting = 3;
    drawBlendButton();
    EXPECT_TRUE(pixelsAre({{498, 3, 30}, {559, 53, 28}}));
    // The axis, two pixels wide.
    EXPECT_TRUE(pixelsAre(
        {{508, 40, 0}, {509, 40, 0}, {507, 40, 30}, {508, 45, 0}, {543, 45, 0}, {544, 45, 30}}));
    // Three curves from (509..511, 29) over the axis to point 3 at (544..546, 44).
    EXPECT_TRUE(pixelsAre({{509, 29, 22},
                           {511, 29, 22},
                           {532, 38, 22},
                           {544, 44, 22},
                           {546, 44, 22},
                           {547, 44, 30}}));

    transport.blendSetting = 0;
    drawBlendButton();
    EXPECT_TRUE(pixelsAre({{518, 43, 22}, {520, 43, 22}, {544, 44, 30}, {532, 38, 30}}));
}

TEST_F(ControlPanelTest, PauseSecondsAreCentredAndGreyWithoutAutoPlay) {
    transport.pauseSeconds = 1;
    drawPauseSecondsButton();
    EXPECT_TRUE(pixelsAre({{567, 4, 0}, {626, 53, 28}}));
    EXPECT_TRUE(textAt(576, 13, "PAUSE", 0, 30));
    EXPECT_TRUE(textAt(584, 26, "1.0", 0, 30)); // 596 - 4 * 3
    EXPECT_TRUE(textAt(585, 38, "Sec", 0, 30));
    EXPECT_TRUE(textAt(572, 33, "\x1f", 0, 30));
    EXPECT_TRUE(textAt(612, 33, "\x1e", 0, 30));

    transport.pauseSeconds = 60;
    transport.autoPlay = 0;
    drawPauseSecondsButton();
    EXPECT_TRUE(textAt(576, 13, "PAUSE", 24, 30));
    EXPECT_TRUE(textAt(588, 26, "60", 24, 30));
    EXPECT_TRUE(textAt(585, 38, "Sec", 24, 30));
    EXPECT_TRUE(textAt(612, 33, "\x1e", 24, 30));
}

TEST_F(ControlPanelTest, VolumeAndZoomTextsSitAtTheirPlaces) {
    transport.masterVolume = 0.98f;
    drawVolumeButton();
    EXPECT_TRUE(pixelsAre({{554, 461, 30}, {555, 462, 0}, {625, 501, 27}}));
    EXPECT_TRUE(textAt(577, 486, "98%", 0, 30)); // 589 - 4 * 3
    EXPECT_TRUE(textAt(560, 489, "\x1f", 0, 30));
    EXPECT_TRUE(textAt(608, 489, "\x1e", 0, 30));
    transport.masterVolume = 1.0f;
    drawVolumeButton();
    EXPECT_TRUE(textAt(573, 486, "100%", 0, 30));

    drawZoomButton();
    EXPECT_TRUE(textAt(503, 486, "----", 0, 30)); // 492 + 35 - 6 * 4
    envelopeView.zoomLevel = 2;
    envelopeView.zoomReference = 80000;
    drawZoomButton();
    EXPECT_TRUE(textAt(509, 486, "40s", 0, 30));
}

TEST_F(ControlPanelTest, TabsHaveSlantedFlanksAndTheSelectedOneAShadow) {
    controlPanel.rightTab = 2;
    drawTabRow();
    // Tab 1: outline, light left and top edges.
    EXPECT_TRUE(
        pixelsAre({{648, 24, 0}, {648, 56, 0}, {649, 40, 26}, {680, 25, 26}, {650, 40, 30}}));
    // Its flank replaces the right edge and slants out to x2 + 9.
    EXPECT_TRUE(pixelsAre({{706, 24, 0}, {706, 25, 26}, {706, 45, 30}, {707, 24, 0}}));
    EXPECT_TRUE(pixelsAre({{709, 55, 30}, {714, 56, 26}, {715, 56, 0}}));
    EXPECT_TRUE(pixelsAre({{709, 40, 30}, {710, 40, 26}, {711, 40, 0}, {712, 40, 58}}));
    EXPECT_TRUE(pixelsAre({{974, 56, 26}, {975, 56, 0}, {976, 56, 58}})); // tab 5

    EXPECT_TRUE(textAt(657, 31, "STAPEL", 7, 30));
    EXPECT_TRUE(textAt(661, 43, "MP3s", 7, 30));
    EXPECT_TRUE(textAt(725, 31, "INFO", 0, 30, 26));
    EXPECT_TRUE(textAt(729, 43, "-1-", 0, 30, 26));
    EXPECT_TRUE(textAt(852, 43, "TASTEN", 7, 30));
    EXPECT_TRUE(textAt(920, 31, "GONG", 7, 30));

    controlPanel.rightTab = 4;
    drawTabRow();
    EXPECT_TRUE(textAt(725, 31, "INFO", 7, 30));
    EXPECT_TRUE(textAt(852, 43, "TASTEN", 0, 30, 26));
}

TEST_F(ControlPanelTest, FadeIndicatorBoxAndHint) {
    drawFadeIndicator(true);
    EXPECT_TRUE(pixelsAre({{338, 66, 8},
                           {497, 108, 8},
                           {339, 67, 0},
                           {496, 107, 0},
                           {340, 68, 202},
                           {495, 106, 202}}));
    EXPECT_TRUE(textAt(370, 74, "BLENDE", 0, 202));
    EXPECT_TRUE(textAt(355, 87, "Nachklicken", 24, 202));
    EXPECT_TRUE(textAt(354, 97, "= schneller", 24, 202));
    drawFadeIndicator(false);
    EXPECT_TRUE(textAt(355, 87, "Nachklicken", 0, 202));
}

} // namespace
