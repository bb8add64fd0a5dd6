#pragma once
// The start screen: what the program does and the choice between empty lists
// and the saved session, with a 30 s countdown. Keeps no state; the choice is
// its result, which start-up keeps.

// Draws with the window's default palette (the program's is set afterwards).
// True when the user clicked the restore area, which only a saved session
// (`sessionSaved`) offers. Ctrl+X or the window's close button ends the run.
bool showStartScreen(bool sessionSaved);

// The restore area, a little smaller than its box.
constexpr bool inRestoreArea(int x, int y) {
    return x > 30 && x < 600 && y > 300 && y < 380;
}
