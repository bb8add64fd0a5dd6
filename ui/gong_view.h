#pragma once
// The GONG panel: header, TEMPO and BANK, and the four cards of the bank
// shown; the marker on the GONG tab. Owns no state; reads the gong players.
#include <cstdint>
#include <string>

#include "platform/layout.h"
#include "playback/gongs.h"

// Where the controls of a card lie, from the panel's left edge; the
// card view draws them there and the clicks are tested against them.
struct GongSpan {
    int from, to;
    constexpr bool contains(int x) const { return x >= kStackLeft + from && x <= kStackLeft + to; }
};
constexpr GongSpan kGongPlaySpan{14, 64}, kGongStopSpan{70, 120}, kGongTimeSpan{129, 179},
    kGongVolumeSpan{189, 205}, kGongDuckSpan{213, 271}, kGongLoadSpan{279, 329};

// What lies at (x, y) on the GONG panel, for the clicks and the hover help.
GongSpot gongControlAt(int x, int y);

// The whole panel; selects the GONG tab.
void drawGongPanel();
// Player g's card, when its bank is the one shown.
void drawGongCard(int g);
void drawGongTabMarker(int colour);

// "03:25", and "--:--" for 0 when the player has no file.
std::string gongTimeText(int32_t ms, bool hasFile);
// The card's name line (code page 437).
std::string gongNameText(const GongPlayer& p);
// The dB the DUCK field shows for a duck level.
int gongDuckDb(float duck);
