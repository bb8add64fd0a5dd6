#pragma once
// The look-ahead compressor and the gong ducking: the playing song's gain, the
// gain prepared for the next song, the threshold curve of the chosen setup and
// the ducking factor. Written by the compressor's tick, its button and the
// transport when it starts a song; read by everything that sends a volume.
// Works hand in hand with the transport: it rides the playing channel's
// volume, and the transport prepares its gain, so each includes the other.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

constexpr int kCurveSize = 33501; // input levels 0..33,500
constexpr int kSetupCount = 13;   // 0 is OFF

struct TempoFactors {
    float attack, release, fastAttack, fastRelease;
};
// Per tempo (SLOW, MEDI, FAST), derived from the attack factor alone.
std::array<TempoFactors, 3> tempoFactorTable();
// The curve of the start-up setup, 5.
std::vector<int32_t> startupThresholdCurve();

struct Compressor {
    int16_t compressorOn = 1;
    int16_t setupNumber = 5;
    int16_t tempoIndex = 1;        // 0 SLOW, 1 MEDI, 2 FAST
    float gain = 1000.0f;          // 100 to 1000, thousandths of full volume
    float nextTrackGain = 1000.0f; // 100 to 1000
    float duckFactor = 1.0f;       // 0 to 1
    int32_t lastPlayPosition = 0;  // playPosition seen by the previous tick
    float lastSentGain = 0;        // gain at the last volume command, without ducking
    float duckTarget = 1.0f;
    double nextDuckTime = 0;
    // The level at which the controlled level counts as too loud; setup 5's
    // curve from the start, so that a fresh state draws and controls alike.
    std::vector<int32_t> thresholdCurve = startupThresholdCurve();
    std::array<TempoFactors, 3> tempo = tempoFactorTable();
    int32_t wildness = 0; // 0 to 30; many fast steps calm the control down
    double wildnessBumpTime = 0;
    double wildnessDecayTime = 0;
    uint32_t heavyTicks = 0; // ticks with more than 6 dB of reduction
    uint32_t allTicks = 0;
    double compressorTickTime = 0;
    int16_t lastUp = 0, lastDown = 0; // fast steps of the last tick: 0, 1 or 2
    int barColour = 40;
    bool warningPending = false; // the warning waits for a held notice
    // ANGLEICHEN: every measured song lifted or lowered toward one loudness
    // behind the volume; the match of the song on each channel, 1000 = as
    // recorded, which the control reads its levels through.
    int16_t matchOn = 0;
    std::array<float, 2> channelMatch{1000.0f, 1000.0f};
};

extern Compressor compressor;

// --- Threshold curve -----------------------------------------------------------

using Knees = std::array<int32_t, 3>;
// The three knees of setups 1..12: base values times 1.05 in single precision.
Knees setupKnees(int setup);
// The three-knee curve before smoothing.
int32_t kneeCurve(int32_t level, const Knees& knees);
// Left button (1): previous setup, right button (2): next, wrapping through 0
// (OFF); any other value rebuilds the current one. Redraws the button.
void buildThresholdCurve(int buttons);
// The curve at `level`, with the level kept inside the table.
int32_t thresholdAt(int32_t level);

// --- Control -----------------------------------------------------------------

// One control step: reads the envelope ahead of the play position, moves the
// gain, has the bars redrawn, ducks and sends the volume when it changed.
void compressorTick();
// The main loop's step: a tick when its time has passed, the next 16 ms on.
void tickCompressorWhenDue();
// The starting gain of the song in envelope slot 0 or 1, from its own start.
void prepareNextTrackGain(int slot);
void toggleCompressor();

// --- Level match (ANGLEICHEN) -----------------------------------------------

constexpr double kMatchTargetLufs = -20.0;
constexpr double kMatchCeilingDb = 12.0;
// -1 dBFS: the sample peak no block is lifted beyond.
constexpr double kMatchPeakLimit = 29204.0;
// The match in thousandths for the song in envelope slot 0..2: toward the
// target loudness, at most +12 dB, no block's peak above -1 dBFS; 1000 for
// a slot without a measured song.
float matchGain(int slot);
// With the mode on, sends the match of the song just opened from `slot` on
// `channel` and keeps it for the control; without a measured song, or with
// the mode off, nothing is sent and the song plays as recorded.
void sendMatchGain(int channel, int slot);
void toggleMatching();

// --- Ducking -----------------------------------------------------------------

// What the ducking needs of one gong player.
struct GongDuckInput {
    bool playing = false;
    int32_t positionMs = 0;
    int32_t lengthMs = 0;
    float gongDuck = 1.0f; // 0..1, the playlist's level while the gong plays
};
// The deepest duck among the playing gongs; each lets go shortly before its end.
float duckTargetOf(std::span<const GongDuckInput> gongs, int duckTempo);
// One step of the ducking factor towards the target.
float stepDuckFactor(float factor, float target, int duckTempo);
// Moves duckFactor at most every 20 ms.
void updateDuck();
