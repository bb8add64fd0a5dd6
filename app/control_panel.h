#pragma once
// The whole screen as built at start-up and after larger changes: areas,
// transport and setting buttons, the right panel's tabs, the fade indicator.
// Owns the button rectangles the click dispatch hit-tests and the right tab.
#include <cstdint>
#include <string>

struct Rect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool contains(int x, int y) const { return x > x1 && x < x2 && y > y1 && y < y2; }
};

enum class Button { None, Play, Pause, StopToStart, StopToNext, Blende };

struct ControlPanel {
    int16_t rightTab = 1;                // 1 STAPEL, 2-4 INFO, 5 GONG
    Button pressedButton = Button::None; // drawn in its pressed colours
    int16_t zoomLevel = 0;
    double zoomReference = 0;
};

extern ControlPanel controlPanel;

// Button rectangles (x1, y1, x2, y2).
constexpr Rect kPlayRect{4, 3, 64, 53};
constexpr Rect kPauseRect{83, 3, 143, 53};
constexpr Rect kStopToStartRect{162, 3, 222, 53};
constexpr Rect kStopToNextRect{233, 3, 293, 53};
constexpr Rect kBlendeRect{325, 3, 419, 53};
constexpr Rect kAutoPlayRect{426, 3, 491, 53};
constexpr Rect kBlendRect{498, 3, 559, 53};
constexpr Rect kPauseSecondsRect{566, 3, 626, 53};
constexpr Rect kZoomRect{492, 461, 547, 501};
constexpr Rect kSaveRect{492, 504, 547, 521};
constexpr Rect kVolumeRect{554, 461, 625, 501};
constexpr Rect kShuffleRect{554, 504, 625, 521};
constexpr Rect kLameRect{158, 461, 213, 521};
constexpr Rect kCompressorRect{222, 461, 405, 521};
constexpr Rect kTriggerRect{416, 461, 486, 521};
// Tabs 1 to 5 (index 0 unused), y 24 to 56.
constexpr Rect kTabRects[6] = {{},
                               {648, 24, 706, 56},
                               {716, 24, 771, 56},
                               {781, 24, 836, 56},
                               {846, 24, 901, 56},
                               {911, 24, 966, 56}};

// The label above the right panel's tabs.
constexpr const char* kProductLabel = "KLANGKELTER  Player & Kompressor";

void drawControlPanel();
void drawPlayButton();
void drawPauseButton();
void drawStopToStartButton();
void drawStopToNextButton();
void drawBlendeButton();
void drawAutoPlayButton();
void drawBlendButton();
void drawPauseSecondsButton();
void drawZoomButton();
void drawSaveButton();
void drawVolumeButton();
void drawShuffleButton();
void drawTabRow();
// The box the transport shows while it fades; `hintGrey` greys the click hint.
void drawFadeIndicator(bool hintGrey);

// Value texts, for drawing and tests.
std::string pauseSecondsText(double pauseSeconds);
std::string volumeText(float masterVolume);
std::string zoomText(int zoomLevel, double zoomReference);
