#pragma once
// The loudness envelopes of the current song and the next two, and the
// bookkeeping that keeps them in step with the playlist. Written by the WAV
// reader and the playlist moves; read by the triggers, compressor and views.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "analysis/loudness.h"

constexpr int kEnvelopeSlots = 3;
constexpr int kEnvelopeBlocks = 99001; // blocks 0..99000 of each slot
constexpr int kSamplesPerBlock = 2205; // per channel: 50 ms at 44.1 kHz

struct Envelopes {
    double staleCheckTime = 0; // earliest time of the next check of the upcoming songs
    // Block-major: block b of slot k is element 3 * b + k, so a shift of the
    // slots moves neighbouring values. Empty until allocateEnvelopes().
    std::vector<int16_t> peakTable;
    std::vector<int16_t> levelTable; // mean magnitude, not RMS
    std::array<int32_t, kEnvelopeSlots> blockCount{};
    std::array<int32_t, kEnvelopeSlots> envelopePresent{};
    std::array<std::string, kEnvelopeSlots> envelopeTrackName;
    std::array<double, kEnvelopeSlots> startCue{}; // fraction 0..1 of the song's length
    std::array<int16_t, kEnvelopeSlots> startCueManual{};
    // Integrated loudness of the whole decode (LUFS), kNoLoudness when unmeasured.
    std::array<double, kEnvelopeSlots> loudness{kNoLoudness, kNoLoudness, kNoLoudness};
};

extern Envelopes envelopes;

inline size_t envelopeIndex(int slot, int block) {
    return size_t(block) * kEnvelopeSlots + size_t(slot);
}

// Sizes both tables once (all zeros); later calls keep the contents.
void allocateEnvelopes();

struct BlockLevels {
    int16_t peak = 0;
    int16_t level = 0;
};
// Peak and mean magnitude of one block of 2205 values per channel. The value
// -32768 counts as 32767 so that it fits the 16-bit tables.
BlockLevels reduceBlock(std::span<const int16_t> values, int channels);
// Stores the reduction of one block; blocks outside the tables and slots
// outside 0..2 are dropped.
void addEnvelopeBlock(int slot, int block, std::span<const int16_t> values, int channels);
// Zeroes the slot's blocks from `blocks` on and marks it present with that
// count (capped at the table size) and the song's measured loudness.
void finishEnvelope(int slot, int32_t blocks, double loudness = kNoLoudness);
// Called with the slot each time an envelope is finished (the scenario runner
// writes it out for inspection).
void setEnvelopeFinishedHook(std::function<void(int slot)> hook);
// The largest value of the slot's blocks in `table` (peakTable or levelTable).
int32_t loudestBlock(const std::vector<int16_t>& table, int slot);
// Marks the slot empty and zeroes its tables; the track name stays.
void clearEnvelopeSlot(int slot);
// Called just before playPosition moves on by one: slots move down, slot 2
// is emptied, and the finished entry loses its selection.
void shiftEnvelopesOnAdvance();
// Called after the playlist delete removed entries at or after playPosition.
// `code` is 100 (current song deleted) + 10 (next) + 1 (the one after): the
// slots of deleted songs are dropped and the survivors move down. Trigger
// points of the entries are the triggers' business, not moved here.
void shiftEnvelopesOnDelete(int code);
