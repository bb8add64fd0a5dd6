#pragma once
// The main loop and the state it keeps between passes: the last mouse
// position, the hover deadline, the key of the current pass and the blink of
// the compressor alarm.
#include <cstdint>
#include <string>

struct MainLoop {
    int lastMouseX = -1, lastMouseY = -1;
    double hoverDeadline = 0;
    std::string keyString;
    int8_t alarmBlinkCounter = 0;
    int alarmBlinkPhase = 0;
    uint64_t passes = 0;
    // Deferred stack-view redraw, set by operations that leave a box there.
    bool stackRedrawPending = false;
    double stackRedrawTime = 0;
};

extern MainLoop mainLoop;

constexpr int kCompressorWarningNotice = 55;
// The notice box's right edge and top edge; the alarm box sits inside its corner.
constexpr int kNoticeBoxRight = 991, kNoticeBoxTop = 460;

// One pass, in the fixed order of the loop.
void runPass();
// Runs passes until the session ends (the backend throws RunEnd).
[[noreturn]] void runMainLoop();
// What long operations run between their steps so that the music goes on
// being steered while they work.
void keepMusicGoing();
// The session's end, reached by Ctrl+X and the window's close button.
[[noreturn]] void endSession();
// Whether a key read from the buffer asks for that end.
bool endsSession(const std::string& key);
