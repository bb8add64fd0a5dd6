#pragma once
// Start-up: the desktop test, the window, palette, start values and paths, the
// speed measurement; then the main loop. Owns `speedIndex` and the window title.
#include <string>

#include "app/options.h"

struct StartupState {
    double speedIndex = 0; // 1 / seconds of a 3,000,000-step counting loop
    std::string windowTitle;
};

extern StartupState startup;

constexpr int kMinDesktopWidth = 1000, kMinDesktopHeight = 600;

// Runs the program on the installed backend until the session ends; never
// throws. Returns the process exit code, which is 0 on every path.
int runProgram(const Options& options);

void setProgramPalette();
void showRefusalScreen();
double measureSpeed();
