#pragma once
// The main loop and the state it keeps between passes: the last mouse
// position, the hover deadline, the key of the current pass and the blink of
// the compressor alarm; written only by the loop. Installs the hooks through
// which the layers below reach the screen and the loop.
#include <cstdint>
#include <string>

struct MainLoop {
    int lastMouseX = -1, lastMouseY = -1;
    double hoverDeadline = 0;
    std::string keyString;
    bool keyShifted = false; // Shift was held when that key was pressed
    int8_t alarmBlinkCounter = 0;
    int alarmBlinkPhase = 0;
    uint64_t passes = 0;
    bool audioSilent = false; // the device sink runs without a device
    double nextSilentNotice = 0;
    double nextDeviceTry = 0;  // while silent: when the device is tried again
    bool endRequested = false; // a long loop asked for the end box
};

extern MainLoop mainLoop;

// Lets the layers below answer to the screen and the loop: the redraw
// requests, the keep-alive hooks, the end request and the queries.
void installHooks();
// One pass, in the fixed order of the loop.
void runPass();
// Runs passes until the session ends (the backend throws RunEnd).
[[noreturn]] void runMainLoop();
// What long operations run between their steps so that the music goes on
// being steered while they work.
void keepMusicGoing();
// The end box, reached by Ctrl+X and the window's close button; returns when
// the session goes on.
void endSession();
// The same from inside a long loop: the box opens at the loop's next pass.
void requestEndSession();
