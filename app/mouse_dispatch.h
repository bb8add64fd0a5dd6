#pragma once
// The mouse dispatch: which screen region a press falls in and what it does,
// as a table walked in order. Owns the click lock, the modifier flags set
// around injected keys and the next LAME check; written only here. The
// regions themselves are in platform/layout.h.
#include <cstdint>

#include "ui/control_panel.h"

struct MouseDispatch {
    double clickLockUntil = 0; // clicks are ignored while the clock is before this
    int16_t forceShift = 0;    // the key dispatch treats Shift as held while set
    double nextLameCheckTime = 0;
    // Modifiers and pointer of the click being handled.
    bool shift = false, ctrl = false, alt = false;
    int x = 0, y = 0, buttons = 0;
    bool fallThrough = false; // the acting row lets the later rows try the click
};

extern MouseDispatch mouseDispatch;

// One call per loop pass while a button is down.
void dispatchMouse();
