#pragma once
// The key dispatch: one key of the pass turned into a command, the two
// scroll handlers of the list views, and the back-to-the-stack click. Keeps
// the last wheel value and how the next playlist removal treats its songs.
#include <cstdint>
#include <string>

#include "lists/tracks.h"

struct KeyDispatch {
    int lastWheel = 0;
    int16_t stackMoveMode = kRemoveDelete; // kRemoveToStack(Selected) only around a removal
};

extern KeyDispatch keyDispatch;

// Acts on mainLoop.keyString.
void dispatchKey();
// What a button does: sets the key string and runs the dispatch once.
void injectKey(const std::string& code);
// d: -1 up / left, +1 down / right; 0 takes the step from the wheel.
void scrollPlaylist(int keyStep = 0);
void scrollStack(int keyStep = 0);
// The "ZUM STAPEL" button of a selected playlist song.
void backToStackClick(int x);
void stopAndStay();
