#pragma once
// The end box: end without saving (upper half), save the session and end
// (lower half), or go on (8 s without a choice, a click elsewhere). Owns
// whether the box is shown; written only here.

struct EndBox {
    bool shown = false;
};

extern EndBox endBox;

// Shows the box while the music goes on. Ends the run on a choice to end;
// otherwise returns with the control panel redrawn. Does nothing while the
// current song is being decoded.
void runEndBox();
// Ctrl+X or the close button inside a loop that must finish first (a fade):
// the box shows at once and takes clicks, and runEndBox, when the loop is
// done, acts on the click it got meanwhile.
void showEndBoxEarly();

// The halves of the box, inside its frame.
constexpr bool inEndWithoutSaving(int x, int y) {
    return x > 800 && x < 970 && y > 20 && y < 105;
}
constexpr bool inSaveAndEnd(int x, int y) {
    return x > 800 && x < 970 && y > 105 && y < 190;
}
