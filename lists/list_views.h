#pragma once
// The two list panels: the playlist on the left, the stack under the STAPEL
// tab on the right. Owns their scroll positions (the stack's first shown slot;
// `playlistTop` lives with the lists), the manual-scroll flag of the playlist
// and the geometry the click dispatch maps to slots.
#include <cstdint>
#include <string>

// Stack panel.
constexpr int kStackLeft = 644, kStackTop = 106, kStackWidth = 342, kStackHeight = 312;
constexpr int kStackRight = kStackLeft + kStackWidth, kStackBottom = kStackTop + kStackHeight;
constexpr int kStackRowHeight = 15, kStackRows = 20, kStackNameChars = 33;
// Playlist panel.
constexpr int kPlaylistX0 = 4, kPlaylistY0 = 61, kPlaylistTextX = 12;

struct ListViews {
    int32_t stackFirstShown = 1;
    bool anyStackSelected = false;
    bool playlistScrolledByHand = false;
    double playlistScrollTime = 0;
    bool nameSortAscending = true;   // direction of the next name sort
    bool lengthSortAscending = true; // direction of the next length sort
    bool lockBoxShown = false;       // "Funktion jetzt gesperrt !" is in the stack area
};

extern ListViews listViews;

void drawStackView();
void drawPlaylistView();
// The slot under a click, or 0 when there is none.
int stackSlotAt(int y);
int playlistSlotAt(int y);
// "mm:ss" of a length; "--:--" for 0.
std::string lengthText(int32_t lengthMs);
