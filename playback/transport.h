#pragma once
// The transport of the two playlist channels: which channel plays, the fade
// state (start cues live with the envelope slots), and the commands PLAY,
// STOP, PAUSE and the jumps. Written by the transport and, for the settings,
// by the buttons that change them. Hand in hand with the compressor (see there).
#include <cstdint>
#include <string>

struct Transport {
    int16_t playerRunning = 0;
    int16_t currentChannel = 0;
    int16_t outChannel = 0, inChannel = 1;
    int16_t channelOpen[2] = {0, 0};
    double channelSyncTime[2] = {0, 0};   // clock time of the last MCI position reading
    int32_t channelSyncPos[2] = {0, 0};   // the position read then, ms
    double positionMovedTime[2] = {0, 0}; // clock time the reading last changed
    int16_t openFailed[2] = {0, 0};       // the channel's song could not be opened
    // The channel's stream stopped before the song's length: its file was cut
    // short or replaced since the import, or would not decode further.
    int16_t streamEnded[2] = {0, 0};
    int16_t openFailures = 0; // songs in a row whose file could not be opened
    std::string channelAlias[2] = {"AUBIO_I", "AUBIO_II"};
    int blendNow = 0;
    uint8_t stayOnSong = 0;
    uint8_t keepPosition = 0;
    uint8_t slotIndex = 0;
    int32_t startPosMs = 0;
    int16_t fadeInMs = 1500;
    int32_t fadeInLen = 0;
    float fadeFactor = 1.0f;
    // Settings.
    int16_t autoPlay = 1;
    int16_t blendSetting = 1; // 0 to 3
    double pauseSeconds = 0;  // 0 to 60
    float masterVolume = 1.0f;
    // ENDLOS: with AUTO PLAY the playlist starts over behind its last song.
    int16_t endless = 0;
    uint32_t rotations = 0; // rotations this run
    // Clicks on STOP or PAUSE during a stop fade hurry it.
    bool fadeHurried = false;
};

extern Transport transport;

// Songs shorter than this, and the first part of long songs, are read from MCI more often.
constexpr double kSyncLimitSeconds = 2.0;
constexpr double kFadeSyncLimitSeconds = 0.1;
// A position reading that has not moved on for this long asks whether the stream still plays.
constexpr double kStallSeconds = 0.25;

// PLAY: the song at playPosition from its start, or from its start cue with a fade-in.
void play();
// Opens and starts the song selected by slotIndex on inChannel.
void startSong();
// Opens the current song again on its channel and starts it, as PLAY would.
void reopenCurrentSong();
// Fades the current song out and stops it; stayOnSong and keepPosition say where it stays.
void stopWithFade();
// Reads position and length of the playing song and sets slot 0's manual start cue there.
void setPauseCue();
void jumpForward();
void jumpBack();
void showRefusedSign();
// The playing song's position, from the last MCI reading when it is recent enough.
int32_t currentPositionMs(int channel, double syncLimitSeconds);
// The channel's level volume, floor(factor x masterVolume x level x duckFactor), cleaned up.
void sendLevelVolume(int channel, float level, float factor = 1.0f);
// Called when the playlist is about to move on to the next song.
void noteSongChange();
// The current channel holds a started song.
inline bool currentChannelOpen() {
    return transport.channelOpen[transport.currentChannel & 1] == 1;
}
// Long operations are refused shortly before the playing song ends.
bool nearSongEnd();
// Keeps the playing song's position up to date between MCI readings.
void trackPlayingPosition();
// ENDLOS: once the third song from the end plays, the played songs move
// behind the others, so the list never runs out. A step of the main loop,
// never inside a fade or a list operation.
void keepPlaylistEndless();
