#pragma once
// The GONG panel: header, TEMPO and BANK, and the four cards of the bank
// shown; the marker on the GONG tab. Owns no state; reads the gong players.
#include <cstdint>
#include <string>

struct GongPlayer;

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
