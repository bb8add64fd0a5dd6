#pragma once
// The two list panels: the playlist on the left, the stack under the STAPEL
// tab on the right. Owns the stack's first shown slot (`playlistTop` lives
// with the lists) and the deferred stack redraw; written by the views, the
// dispatch and the import command.
#include <cstdint>
#include <string>

#include "platform/layout.h"

struct ListViews {
    int32_t stackFirstShown = 1;
    bool anyStackSelected = false;
    bool lockBoxShown = false;       // "Funktion jetzt gesperrt !" is in the stack area
    // A box left in the stack area is drawn over by the stack after a while.
    bool stackRedrawPending = false;
    double stackRedrawTime = 0;
};

extern ListViews listViews;

void drawStackView();
// The preview mode's button on the stack's strip; drawn only while the stack shows.
void drawVorhButton();
void drawPlaylistView();
// The slot under a click, or 0 when there is none.
int stackSlotAt(int y);
int playlistSlotAt(int y);
// "mm:ss" of a length; "--:--" for 0.
std::string lengthText(int32_t lengthMs);
