#pragma once
// The external decoder: whether it is there and switched on, and the one
// decode at a time that fills the envelope slots. Owns the decode's state;
// run by the main loop, which alone writes it (start-up sets speedIndex).
#include <array>
#include <cstdint>
#include <map>
#include <string>

struct Decoder {
    int16_t lameOn = 1;
    int16_t lameAvailable = 0;
    int16_t decodeSlot = 0;   // 0 idle, else the slot being decoded plus 1
    int decodeTargetSlot = 0; // the slot the finished buffer is read into
    int16_t decodeDone = 0;   // the buffer file has stopped growing
    double decodePollTime = 0;
    // Two buffer-file lengths taken a poll apart; equal and non-zero means done.
    std::array<int32_t, 2> bufferSizeSample{};
    int bufferSizeToggle = 0;
    // Set by the transport (to decodeSlot) when the playlist advances while a
    // decode runs: the slots behind the decoded one no longer match.
    int16_t advancedDuringDecode = 0;
    // Songs whose decoder ended without writing anything, and when each may be
    // tried again: one unreadable file must not hold up the others.
    std::map<std::string, double> retryFailedAfter;
    bool processStarted = false; // this decode has a decoder process of its own
    // The machine's speed, measured at start-up: a slow one polls the buffer more patiently.
    double speedIndex = 0;
};

extern Decoder decoder;

// False for an empty or relative path or one shorter than 7 characters without
// looking at the disk; otherwise whether its folder holds a file of that name
// in any letter case.
bool fileExists(const std::string& path);

// Starts the decoder for the playlist entry at playPosition + slot.
void startDecode(int slot);
// Follows a running decode; sets decodeDone when the buffer stops growing.
void pollDecode();
// Every 15 s while no decode runs: a slot whose song is no longer the one at
// its place in the playlist is emptied, so the decoder refills it.
void checkStaleSlots();
// Once per main-loop pass: starts, follows and reads back the decodes.
void serviceDecoder();
// At the session's end: no decoder outlives the program, no buffer file is left.
void endDecoding();
