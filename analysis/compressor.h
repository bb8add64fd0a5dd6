#pragma once
// The compressor's settings and the levels it drives: the playing song's gain,
// the gain prepared for the next song and the gong ducking factor.
#include <cstdint>

struct Compressor {
    int16_t compressorOn = 1;
    int16_t setupNumber = 5;
    int16_t tempoIndex = 1;        // 0 SLOW, 1 MEDI, 2 FAST
    float gain = 1000.0f;          // 100 to 1000, thousandths of full volume
    float nextTrackGain = 1000.0f; // 100 to 1000
    float duckFactor = 1.0f;       // 0 to 1
};

extern Compressor compressor;
