#pragma once
// Listening into a song while the player is stopped: the VORH mode, its
// timeout and blink, and the preview itself on its own alias, quietly and in
// jumps. Written by the VORH button, the list clicks and the main loop's
// upkeep; read by the VORH button's drawing.
#include <cstdint>
#include <string>

struct Preview {
    uint8_t previewMode = 0;
    double previewTimeout = 0; // the mode switches itself off then
    uint8_t previewBlink = 0;
    double previewBlinkTime = 0;
    uint8_t longClick = 0;        // the last list click was held longer than 0.3 s
    int16_t playerWasRunning = 0; // the player's state at the last upkeep
    std::string alias = "vorhoerdatei";
};

extern Preview preview;

constexpr int kPreviewVolume = 250;
constexpr double kPreviewIdleSeconds = 30;

// The VORH button: on or off; shows the VORH help at once.
void toggleVorh();
// Any other click on the main window ends the mode.
void previewOff();
// The main loop's step: off when the player starts or the time is up; the blink.
void previewUpkeep();
// Plays `path` quietly from its start, 12.5 s further every 2.1 s, until a
// key, a click or its end. `buttonHeld`: the long click that started it is
// still down (holding it keeps the preview going).
void previewFile(const std::string& path, bool buttonHeld);
// Waits up to 0.3 s for the button to come up: true when it stayed down.
bool detectLongClick();
