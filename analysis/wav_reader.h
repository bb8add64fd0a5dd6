#pragma once
// Reads the decoder's 16-bit PCM buffer file back and walks its sample data
// in 50 ms blocks into one envelope slot. Called when a decode has finished.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Data size above which a buffer file is refused.
constexpr uint32_t kMaxWaveDataBytes = 1'999'888'000;

struct WaveReadResult {
    bool ok = false;
    std::string failureText; // empty when ok
    int channels = 0;
    int32_t blocks = 0;
    int sampleRate = 0;
    int64_t frames = 0; // sample frames present in the data, whatever the header claims
};

// Parses a WAV image in memory and fills `slot` (0..2). A refused image
// leaves the slot empty. Reads beyond the image see zeros.
WaveReadResult parseDecodedWave(std::span<const uint8_t> bytes, int slot);
// The same for a file; a missing or empty path is refused without touching the slot.
WaveReadResult readDecodedWave(const std::string& path, int slot);
// Called every few blocks of a walk, to keep the displays and the window alive.
void setBlockWalkHook(std::function<void()> hook);
