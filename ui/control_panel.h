#pragma once
// The whole screen as built at start-up and after larger changes: areas,
// transport and setting buttons, the right panel's tabs, the fade indicator.
// Owns the right tab and the pressed button; written by the views and the
// dispatch. The rectangles are in platform/layout.h.
#include <cstdint>
#include <string>

#include "platform/layout.h"

enum class Button { None, Play, Pause, StopToStart, StopToNext, Blende };

struct ControlPanel {
    int16_t rightTab = 1;                // 1 STAPEL, 2-4 INFO, 5 GONG
    Button pressedButton = Button::None; // drawn in its pressed colours
};

extern ControlPanel controlPanel;

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
