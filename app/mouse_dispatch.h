#pragma once
// The mouse dispatch: which screen region a press falls in and what it does,
// as a table walked in order. Owns the click lock and the modifier flags set
// around injected keys.
#include <cstdint>

struct MouseDispatch {
    double clickLockUntil = 0; // clicks are ignored while the clock is before this
    int16_t forceShift = 0;
    // Modifiers and pointer of the click being handled.
    bool shift = false, ctrl = false, alt = false;
    int x = 0, y = 0, buttons = 0;
};

extern MouseDispatch mouseDispatch;

// Stack panel buttons (y 66 to 100, only while the STAPEL tab is shown).
constexpr int kStackButtonTop = 66, kStackButtonBottom = 100;
constexpr int kLoadOneX1 = 878, kLoadOneX2 = 928;
constexpr int kLoadFolderX1 = 930, kLoadFolderX2 = 982;

// One call per loop pass while a button is down.
void dispatchMouse();
