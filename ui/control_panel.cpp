#include "ui/control_panel.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "analysis/decoder.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/compressor_view.h"
#include "ui/envelope_view.h"
#include "ui/gong_view.h"
#include "ui/list_views.h"
#include "ui/notice_view.h"
#include "ui/time_display.h"

ControlPanel controlPanel;

namespace {

constexpr int kPanelColour = 58;
constexpr int kPlaylistSideColour = 23;
// Darker and lighter shades of the panel colour.
constexpr int kDividerColour = kPanelColour - 12;
constexpr int kNoticeAreaColour = kPanelColour + 11;
constexpr int kPressedColour = 10;

// Glyphs of the arrow marks.
constexpr char kRightMark = 16;
constexpr char kUpMark = 30;
constexpr char kDownMark = 31;

// Pixel coordinates computed with halves land on the even neighbour.
int px(double v) {
    return static_cast<int>(std::nearbyint(v));
}

// Button drawing works in offsets from the button's top left corner.
void text(const Rect& r, int dx, int dy, std::string_view s, int colour) {
    screen::textAt(r.x1 + dx, r.y1 + dy, s, colour);
}

void fill(const Rect& r, int dx1, int dy1, int dx2, int dy2, int colour) {
    screen::fillBox(r.x1 + dx1, r.y1 + dy1, r.x1 + dx2, r.y1 + dy2, colour);
}

// Filled face, a light or dark edge to the lower right and a black inner line;
// the one-pixel gap at the top left reads as a highlight.
void frame(const Rect& r, int faceColour, int edgeColour) {
    screen::fillBox(r.x1, r.y1, r.x2, r.y2, faceColour);
    screen::box(r.x1 + 1, r.y1 + 1, r.x2, r.y2, edgeColour);
    screen::box(r.x1 + 1, r.y1 + 1, r.x2 - 1, r.y2 - 1, 0);
}

int transportLabelColour(Button button) {
    return controlPanel.pressedButton == button ? kPressedColour : 0;
}

// Text x that centres `s` on the button, in whole pixels of the 8-pixel font.
int centredX(const Rect& r, const std::string& s) {
    return (r.x1 + r.x2) / 2 - 4 * static_cast<int>(s.size());
}

// A triangle of vertical strokes, one per i, at x = baseX + step * i around centreY.
void triangle(const Rect& r, int baseX, int step, int count, int centreY, int colour) {
    for (int i = 1; i <= count; ++i) {
        const int x = r.x1 + baseX + step * i;
        screen::line(x, px(r.y1 + centreY - i / 2.0), x, px(r.y1 + centreY + i / 2.0), colour);
    }
}

struct Point {
    int x, y;
};

// The three points of each fade shape; the curve steepens with the setting.
constexpr Point kBlendCurves[4][3] = {
    {{12, 28}, {15, 29}, {20, 40}},
    {{13, 28}, {18, 29}, {28, 41}},
    {{15, 30}, {26, 32}, {38, 41}},
    {{17, 32}, {34, 35}, {46, 41}},
};

struct TabLabel {
    const char* first;
    const char* second;
    int secondX;
};

constexpr TabLabel kTabLabels[6] = {
    {},
    {"STAPEL", "MP3s", 13},
    {"INFO", "-1-", 13},
    {"INFO", "-2-", 13},
    {"INFO", "TASTEN", 6},
    {"GONG", "", 13},
};

void drawTab(int tab) {
    const Rect& r = kTabRects[tab];
    screen::fillBox(r.x1, r.y1, r.x2, r.y2, 30);
    screen::box(r.x1, r.y1, r.x2, r.y2, 0);
    screen::line(r.x1 + 1, r.y2 - 1, r.x1 + 1, r.y1 + 1, 26);
    screen::lineTo(r.x2, r.y1 + 1, 26);
    // The slanted flank replaces the right edge.
    for (int k = 0; k <= 8; ++k)
        screen::line(r.x2, r.y1 + 1, r.x2 + k, r.y2, 30);
    screen::line(r.x2 + 1, r.y1, r.x2 + 9, r.y2, 0);
    screen::line(r.x2, r.y1 + 1, r.x2 + 8, r.y2, 26);

    const TabLabel& label = kTabLabels[tab];
    auto labels = [&](int shift, int colour) {
        text(r, 9 + shift, 7 + shift, label.first, colour);
        text(r, label.secondX + shift, 19 + shift, label.second, colour);
    };
    if (tab == controlPanel.rightTab) {
        labels(1, 26);
        labels(0, 0);
    } else {
        labels(0, 7);
    }
}

} // namespace

std::string pauseSecondsText(double pauseSeconds) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, pauseSeconds, std::chars_format::fixed);
    std::string s(buffer, result.ptr);
    if (s == "1" || s == "2" || s == "3" || s == "4") s += ".0";
    if (pauseSeconds < 10 && s.size() > 3) s.resize(3);
    if (pauseSeconds > 9 && s.size() > 2) s.resize(2);
    return s;
}

std::string volumeText(float masterVolume) {
    return std::to_string(px(0.1 + 100.0 * masterVolume)) + "%";
}

std::string zoomText(int zoomLevel, double zoomReference) {
    if (zoomLevel == 0) return "----";
    return std::to_string(px(std::nearbyint(zoomReference / 2000 / 5) * 5)) + "s";
}

void drawPlayButton() {
    const Rect& r = kPlayRect;
    const int c = transportLabelColour(Button::Play);
    frame(r, 30, 27);
    text(r, 13, 10, "PLAY", c);
    triangle(r, 38, -1, 18, 31, c);
}

void drawPauseButton() {
    const Rect& r = kPauseRect;
    frame(r, 30, 27);
    text(r, 9, 10, "PAUSE", transportLabelColour(Button::Pause));
    fill(r, 22, 23, 25, 39, 0);
    fill(r, 31, 23, 34, 39, 0);
}

void drawStopToStartButton() {
    const Rect& r = kStopToStartRect;
    frame(r, 30, 27);
    text(r, 15, 10, "STOP", transportLabelColour(Button::StopToStart));
    fill(r, 27, 24, 43, 40, 0);
    triangle(r, 8, 1, 11, 32, 8);
    fill(r, 10, 31, 48, 33, 8);
    screen::box(r.x1 + 27, r.y1 + 24, r.x1 + 43, r.y1 + 40, 0);
}

void drawStopToNextButton() {
    const Rect& r = kStopToNextRect;
    frame(r, 30, 27);
    text(r, 14, 10, "STOP", transportLabelColour(Button::StopToNext));
    fill(r, 15, 24, 31, 40, 0);
    triangle(r, 52, -1, 11, 32, 8);
    fill(r, 10, 31, 44, 33, 8);
    screen::box(r.x1 + 15, r.y1 + 24, r.x1 + 31, r.y1 + 40, 0);
}

void drawBlendeButton() {
    const Rect& r = kBlendeRect;
    // Greyed while AUTO PLAY is off, when a click cannot fade on to the next song.
    int c = 0;
    if (transport.autoPlay == 0)
        c = 29;
    else if (controlPanel.pressedButton == Button::Blende)
        c = 28;
    frame(r, 27, 28);
    const int insetColours[3] = {28, 29, 30};
    for (int k = 0; k < 3; ++k) {
        const int inset = 3 * (k + 1);
        screen::fillBox(r.x1 + inset, r.y1 + inset, r.x2 - inset, r.y2 - inset, insetColours[k]);
    }
    text(r, 23, 11, "BLENDE", c);
    text(r, 23, 22, "& PLAY", c);
    text(r, 30, 34, std::string(4, kRightMark), c);
}

void drawAutoPlayButton() {
    const Rect& r = kAutoPlayRect;
    const int c = transport.autoPlay == 1 ? 2 : 22;
    frame(r, 30, 28);
    auto shadowed = [&](int dx, int dy, std::string_view s) {
        text(r, dx + 1, dy + 1, s, 22);
        text(r, dx, dy, s, c);
    };
    shadowed(12, 10, "AUTO");
    shadowed(12, 23, "PLAY");
    // ENDLOS acts only with AUTO PLAY on; "IS OFF" says more when it is off.
    if (transport.autoPlay == 1 && transport.endless == 1)
        shadowed(8, 36, "ENDLOS");
    else
        shadowed(8, 36, transport.autoPlay == 1 ? "IS ON" : "IS OFF");
}

void drawBlendButton() {
    const Rect& r = kBlendRect;
    frame(r, 30, 28);
    text(r, 9, 10, "BLEND", 0);
    for (int j = -1; j <= 0; ++j) {
        screen::line(r.x1 + 11 + j, r.y1 + 23, r.x1 + 11 + j, r.y1 + 42, 0);
        screen::lineTo(r.x1 + 45 + j, r.y1 + 42, 0);
    }
    const int setting = std::clamp<int>(transport.blendSetting, 0, 3);
    for (int i = 0; i <= 2; ++i) {
        screen::line(r.x1 + 11 + i, r.y1 + 26, r.x1 + kBlendCurves[setting][0].x + i,
                     r.y1 + kBlendCurves[setting][0].y, 22);
        for (int p = 1; p < 3; ++p)
            screen::lineTo(r.x1 + kBlendCurves[setting][p].x + i, r.y1 + kBlendCurves[setting][p].y,
                           22);
    }
}

void drawPauseSecondsButton() {
    const Rect& r = kPauseSecondsRect;
    // The pause only matters between songs that AUTO PLAY starts.
    const int c = transport.autoPlay == 0 ? 24 : 0;
    frame(r, 30, 28);
    text(r, 10, 10, "PAUSE", c);
    const std::string value = pauseSecondsText(transport.pauseSeconds);
    screen::textAt(centredX(r, value), r.y1 + 23, value, c);
    text(r, 19, 35, "Sec", c);
    text(r, 6, 30, std::string{kDownMark} + "    " + kUpMark, c);
}

void drawZoomButton() {
    const Rect& r = kZoomRect;
    frame(r, 30, 27);
    text(r, 11, 10, "ZOOM", 0);
    const std::string value = zoomText(envelopeView.zoomLevel, envelopeView.zoomReference);
    screen::textAt(r.x1 + 35 - 6 * static_cast<int>(value.size()), r.y1 + 25, value, 0);
}

void drawSaveButton() {
    frame(kSaveRect, 30, 27);
    text(kSaveRect, 11, 5, "SAVE", 0);
}

void drawVolumeButton() {
    const Rect& r = kVolumeRect;
    frame(r, 30, 27);
    text(r, 11, 10, "VOLUME", 0);
    const std::string value = volumeText(transport.masterVolume);
    screen::textAt(centredX(r, value), r.y1 + 25, value, 0);
    text(r, 6, 28, std::string{kDownMark} + "     " + kUpMark, 0);
}

void drawShuffleButton() {
    frame(kShuffleRect, 30, 27);
    text(kShuffleRect, 11, 5, "SHUF.", 0);
}

void drawTabRow() {
    for (int tab = 1; tab <= 5; ++tab)
        drawTab(tab);
}

void drawFadeIndicator(bool hintGrey) {
    screen::box(338, 66, 497, 108, 8);
    screen::box(339, 67, 496, 107, 0);
    screen::fillBox(340, 68, 495, 106, 202);
    screen::textAt(370, 74, "BLENDE", 0);
    const int hint = hintGrey ? 24 : 0;
    screen::textAt(355, 87, "Nachklicken", hint);
    screen::textAt(354, 97, "= schneller", hint);
}

void drawControlPanel() {
    // The window shows the finished panel, never the cleared one: the notice
    // box is there from the first frame on. Released also when a fault ends
    // the drawing early, so the error screen can show.
    struct HeldFrame {
        HeldFrame() { screen::lock(); }
        ~HeldFrame() { screen::unlock(); }
    } held;
    screen::setColors(0, kPanelColour);
    screen::clear();
    screen::setColors(0, 103);

    screen::fillBox(0, 0, 632, 527, kPlaylistSideColour);
    screen::fillBox(633, 0, 635, 527, kDividerColour);
    screen::fillBox(636, 456, 999, 526, kNoticeAreaColour);
    timing::sleepMs(10);

    decoder.lameAvailable = files::isExecutableFile(paths.lamePath) ? 1 : 0;
    if (decoder.lameAvailable == 0) decoder.lameOn = 0;

    drawCompressorButton();
    drawLameButton();
    drawZoomButton();
    drawSaveButton();
    drawVolumeButton();
    drawShuffleButton();
    drawLameButton();
    drawPlaylistView();
    // The GONG tab keeps its own panel; every other tab falls back to the stack.
    if (controlPanel.rightTab == 5)
        drawGongPanel();
    else
        drawStackView();
    drawTriggerButton();
    notices.noticeForce = 1;
    drawNotice();
    drawPlayButton();
    drawPauseButton();
    drawStopToStartButton();
    drawStopToNextButton();
    drawBlendeButton();
    drawAutoPlayButton();
    drawBlendButton();
    drawPauseSecondsButton();
    drawEnvelopeStrip();

    screen::textAt(645, 5, kProductLabel, 0);
    screen::setColors(0, kPanelColour);
}
