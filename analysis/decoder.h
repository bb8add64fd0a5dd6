#pragma once
// The external decoder: whether it is there and switched on, and the one
// decoder process at a time that fills the envelope slots. Owns the decode's state;
// run by the main loop, which alone writes it.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

// What keeps the analysis from working, each said once a session.
enum class AnalysisTrouble { NoDecoder, DecoderFails, NoTempSpace, Count };

struct Decoder {
    int16_t lameOn = 1;
    int16_t lameAvailable = 0;
    int16_t decodeSlot = 0;   // 0 idle, else the slot being decoded plus 1
    int decodeTargetSlot = 0; // the slot the finished buffer is read into
    int pid = 0;              // the one decoder process, 0 when none runs
    std::string bufferFile;   // its buffer, a fresh file in TMPDIR for each decode
    // The latest buffers made, removed again at the end: a decoder that wrote
    // on after its buffer was removed may have made it anew.
    std::deque<std::string> recentBuffers;
    double decodePollTime = 0;
    double deadline = 0; // a decoder still running then is ended and counts as failed
    // Set by the transport (to decodeSlot) when the playlist advances while a
    // decode runs: the slots behind the decoded one no longer match.
    int16_t advancedDuringDecode = 0;
    // Songs whose analysis failed: how often, and when each may be tried again.
    struct Failure {
        int count = 0;
        double retryAfter = 0;
    };
    std::map<std::string, Failure> failures;
    std::array<bool, size_t(AnalysisTrouble::Count)> told{};
};

extern Decoder decoder;

// False for an empty or relative path or one shorter than 7 characters without
// looking at the disk; otherwise whether its folder holds a file of that name
// in any letter case.
bool fileExists(const std::string& path);

// Starts the decoder for the playlist entry at playPosition + slot.
void startDecode(int slot);
// Follows the running decoder: its result counts once it has exited with
// status 0 and its output has the song's length; a decoder past its time
// limit is ended. A failed song is tried again after 1 and 5 minutes, then not.
void pollDecode();
// Every 15 s while no decode runs: a slot whose song is no longer the one at
// its place in the playlist is emptied, so the decoder refills it.
void checkStaleSlots();
// At once after the playlist's order changed: a slot whose song left its place
// is emptied (and its decode ended), so no envelope ever describes another song.
void followPlaylistOrder();
// Once per main-loop pass: starts, follows and reads back the decodes.
void serviceDecoder();
// At the session's end: no decoder outlives the program, no buffer file is left.
void endDecoding();
