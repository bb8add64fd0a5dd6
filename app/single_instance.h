#pragma once
// The check that the program runs only once per user and display, right after
// the window opens. Keeps no state; the lock it takes is the platform's.

// When another instance runs: says so in the window for 5.5 s and ends the
// run. Returns when this one is alone, and at once in headless runs (tests
// run many at a time) or when KK_ALLOW_SECOND_INSTANCE is set (tests of the
// real window beside a running test suite).
void checkSingleInstance();
// Draws the two lines of the refusal into the window.
void drawAlreadyRunning();
