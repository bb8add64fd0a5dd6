#pragma once
// The change-over from one song to the next: when the playing song's fade
// begins, the three fade phases, the start of the next song on the other
// channel, the pause between songs and the advance of the playlist. With
// AUTO PLAY off the same fade is the stop cue. Owns the fade's timing state;
// works on the transport's channels.
#include <cstdint>

struct CrossFade {
    double nextStartTime = 0; // clock time at which the next song is started
    double fadeEndTime = 0;   // end of the middle phase
    uint8_t blendClicks = 0;  // extra BLENDE clicks during a fade, up to 3
    uint8_t nextStarted = 0;  // the next song plays inside the current fade
    float needNextMs = 0;     // lead-in of the next song before its music sets in
    float endTrigMs = 0;      // the playing song's right trigger in ms
    int32_t fadeLead = 0;     // position at which the automatic fade begins
    double clickCountFrom = 0;
    double pauseBase = 0;   // the pause the user set, which long pauses vary around
    double drawnPause = -1; // the last varied pause, to tell a new setting from it
    // While set, every volume sent to the outgoing channel carries fadeFactor.
    bool fading = false;
    // Waiting for the music folder to come back: the next try to open the song.
    double nextOpenRetryTime = 0;
    double nextFolderLook = 0;
    uint32_t fadesDone = 0;
};

extern CrossFade crossFade;

// Each main-loop pass while the current channel plays or BLENDE is pending:
// returns at once unless a fade begins, then only after the change-over.
void superviseTransport();
