#pragma once
// Start-up: the desktop test, the window, palette, start values and paths, the
// speed measurement; then the main loop. Owns the window title.
#include <cstdint>
#include <string>

#include "app/options.h"

struct StartupState {
    std::string windowTitle;
    // The user chose the saved session on the start screen (or --resume found
    // one); start-up restores it before the first playlist drawing.
    uint8_t restoreChoice = 0;
};

extern StartupState startup;

constexpr int kMinDesktopWidth = 1000, kMinDesktopHeight = 600;
// The speed a headless run takes for the machine's: a fast one.
constexpr double kHeadlessSpeedIndex = 1000;

// Runs the program on the installed backend until the session ends; never
// throws. Returns the process exit code, which is 0 on every path.
int runProgram(const Options& options);

void setProgramPalette();
void showRefusalScreen();
// 1 / seconds of a 3,000,000-step counting loop.
double measureSpeed();
// Every module's state back to its start values and the hooks installed, as
// before the first start-up; the backend, the clock and the input stay.
void resetProgramState();
