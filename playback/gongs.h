#pragma once
// The eight gong players: the file each keeps, its volume and duck level, what
// it is doing, and the GONG panel's bank, ducking tempo and blink. Written by
// the gong clicks, the end detection and (at start-up) the session read; the
// compressor reads the playing players to duck the playlist.
#include <array>
#include <cstdint>
#include <string>

#include "platform/layout.h"
#include "playback/compressor.h"

constexpr int kGongCount = 8;
constexpr int kGongsShown = 4; // one bank
constexpr int kGongVolumeDefault = 800;
constexpr float kGongDuckDefault = 0.355f;

struct GongPlayer {
    std::string path; // empty: no file
    std::string name; // shown on the card
    int32_t lengthMs = 0;
    int32_t posMs = 0; // kept while paused, 0 after STOP
    int16_t playing = 0;
    int32_t volume = kGongVolumeDefault; // own MCI volume, 100 to 1000 in steps of 50
    int32_t curVolume = 0;               // the volume last sent at the start of play
    float duck = kGongDuckDefault;       // the playlist's level while this one plays
    double endTime = 0;                  // clock time at which it is expected to end
    std::string alias;                   // "Gong0" to "Gong7", fixed
};

struct Gongs {
    std::array<GongPlayer, kGongCount> player = makePlayers();
    int16_t bank = 0;      // first player shown: 0 or 4
    int16_t duckTempo = 0; // 0 SLOW, 1 FAST
    int16_t blink = 0;
    double clickLockUntil = 0;
    double duckClickLockUntil = 0;
    double nextPollTime = 0;
    double nextBlinkTime = 0;

    static std::array<GongPlayer, kGongCount> makePlayers();
};

extern Gongs gongs;

// app/ answers whether the GONG panel is the one shown; without an answer it is not.
void setGongPanelQuery(bool (*query)());
bool gongPanelShown();

// What a click into the panel brings: its buttons and the keys held.
struct GongPress {
    int buttons = 0; // 1 left, 2 right
    bool ctrl = false, shift = false;
};
struct GongSpot;
// A click on a control of the panel (or on TEMPO and BANK above it), found
// by the panel's view. In the during-fade mode LOAD and DUCK are left alone.
void gongAct(const GongSpot& spot, const GongPress& press, bool duringFade);
// Positions and end detection of the playing players, at most every 0.2 s.
void pollGongs();
// Once a second while the panel is hidden: the GONG tab's marker blinks while a gong plays.
void blinkGongTab();
// Inside the transport's fade, ramp and pause loops: a click into the shown
// panel (or on its tab) is handled (through app/, which reads the input), the
// tab marker blinks, the positions follow.
void serviceGongsInTransportLoop();
// Empties player g and sets its volume and duck level back to the defaults.
void resetGongPlayer(int g);
bool anyGongPlaying();
// What the ducking needs of each player.
std::array<GongDuckInput, kGongCount> gongDuckInputs();

// What lies at (x, y) on the GONG panel: a switch above the cards, or a field
// of a card and the player it belongs to (-1 for the switches and for nothing).
enum class GongControl { None, Tempo, Bank, Name, Play, Stop, Times, Volume, Duck, Load };
struct GongSpot {
    GongControl control = GongControl::None;
    int player = -1;
};

// The duck level after a left (side -1) or right (+1) click on DUCK: 3 dB steps.
float gongDuckAfterClick(float duck, int side);
