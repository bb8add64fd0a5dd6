#include "analysis/envelope.h"

#include <algorithm>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/decoder.h"
#include "lists/tracks.h"
#include "platform/clock.h"

Envelopes envelopes;

void allocateEnvelopes() {
    constexpr size_t cells = size_t(kEnvelopeBlocks) * kEnvelopeSlots;
    if (envelopes.peakTable.size() != cells) envelopes.peakTable.assign(cells, 0);
    if (envelopes.levelTable.size() != cells) envelopes.levelTable.assign(cells, 0);
}

static bool validSlot(int slot) {
    return slot >= 0 && slot < kEnvelopeSlots;
}

// Nearly all the time of reading an envelope is spent here. Eight values a
// step in 16-bit lanes; the saturating absolute value maps -32768 to 32767,
// as the scalar loop for the rest does.
BlockLevels reduceBlock(std::span<const int16_t> values, int channels) {
    const int16_t* v = values.data();
    const size_t n = values.size();
    size_t i = 0;
    int32_t peak = 0;
    int32_t sum = 0; // at most 4410 * 32767, well inside 32 bits
#if defined(__SSE2__)
    __m128i peaks = _mm_setzero_si128(), sums = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    for (; i + 8 <= n; i += 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
        __m128i sign = _mm_srai_epi16(x, 15);
        __m128i m = _mm_subs_epi16(_mm_xor_si128(x, sign), sign);
        peaks = _mm_max_epi16(peaks, m);
        sums = _mm_add_epi32(sums, _mm_madd_epi16(m, ones));
    }
    alignas(16) int16_t lanePeaks[8];
    alignas(16) int32_t laneSums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanePeaks), peaks);
    _mm_store_si128(reinterpret_cast<__m128i*>(laneSums), sums);
    for (int16_t p : lanePeaks)
        peak = std::max(peak, int32_t(p));
    for (int32_t s : laneSums)
        sum += s;
#endif
    for (; i < n; ++i) {
        int32_t m = std::min(std::abs(int32_t(v[i])), 32767);
        peak = std::max(peak, m);
        sum += m;
    }
    int32_t level = sum / kSamplesPerBlock / std::max(channels, 1);
    return {int16_t(peak), int16_t(std::min(level, 32767))};
}

void addEnvelopeBlock(int slot, int block, std::span<const int16_t> values, int channels) {
    if (!validSlot(slot) || block < 0 || block >= kEnvelopeBlocks) return;
    allocateEnvelopes();
    BlockLevels r = reduceBlock(values, channels);
    envelopes.peakTable[envelopeIndex(slot, block)] = r.peak;
    envelopes.levelTable[envelopeIndex(slot, block)] = r.level;
}

static void zeroColumn(int slot, int fromBlock) {
    for (int b = std::max(fromBlock, 0); b < kEnvelopeBlocks; ++b) {
        envelopes.peakTable[envelopeIndex(slot, b)] = 0;
        envelopes.levelTable[envelopeIndex(slot, b)] = 0;
    }
}

static std::function<void(int)> envelopeFinishedHook;

void setEnvelopeFinishedHook(std::function<void(int)> hook) {
    envelopeFinishedHook = std::move(hook);
}

void finishEnvelope(int slot, int32_t blocks, double loudness) {
    if (!validSlot(slot)) return;
    allocateEnvelopes();
    blocks = std::clamp(blocks, 0, kEnvelopeBlocks);
    zeroColumn(slot, blocks);
    envelopes.envelopePresent[size_t(slot)] = 1;
    envelopes.blockCount[size_t(slot)] = blocks;
    envelopes.startCue[size_t(slot)] = 0.0;
    envelopes.startCueManual[size_t(slot)] = 0;
    envelopes.loudness[size_t(slot)] = loudness;
    if (envelopeFinishedHook) envelopeFinishedHook(slot);
}

int32_t loudestBlock(const std::vector<int16_t>& table, int slot) {
    if (!validSlot(slot)) return 0;
    const int32_t blocks = std::min(envelopes.blockCount[size_t(slot)], kEnvelopeBlocks);
    int32_t loudest = 0;
    for (int32_t b = 0; b < blocks && envelopeIndex(slot, b) < table.size(); ++b)
        loudest = std::max<int32_t>(loudest, table[envelopeIndex(slot, b)]);
    return loudest;
}

void clearEnvelopeSlot(int slot) {
    if (!validSlot(slot)) return;
    allocateEnvelopes();
    zeroColumn(slot, 0);
    envelopes.envelopePresent[size_t(slot)] = 0;
    envelopes.blockCount[size_t(slot)] = 0;
    envelopes.startCue[size_t(slot)] = 0.0;
    envelopes.startCueManual[size_t(slot)] = 0;
    envelopes.loudness[size_t(slot)] = kNoLoudness;
}

static void moveSlot(int to, int from) {
    for (int b = 0; b < kEnvelopeBlocks; ++b) {
        envelopes.peakTable[envelopeIndex(to, b)] = envelopes.peakTable[envelopeIndex(from, b)];
        envelopes.levelTable[envelopeIndex(to, b)] = envelopes.levelTable[envelopeIndex(from, b)];
    }
    auto t = size_t(to), f = size_t(from);
    envelopes.blockCount[t] = envelopes.blockCount[f];
    envelopes.envelopePresent[t] = envelopes.envelopePresent[f];
    envelopes.envelopeTrackName[t] = envelopes.envelopeTrackName[f];
    envelopes.startCue[t] = envelopes.startCue[f];
    envelopes.startCueManual[t] = envelopes.startCueManual[f];
    envelopes.loudness[t] = envelopes.loudness[f];
}

void shiftEnvelopesOnAdvance() {
    allocateEnvelopes();
    moveSlot(0, 1);
    moveSlot(1, 2);
    clearEnvelopeSlot(2);
    envelopes.envelopeTrackName[2].clear();
    if (tracks.playPosition >= 0 && tracks.playPosition < kTrackSlots)
        tracks.playlist[size_t(tracks.playPosition)].playlistSelected = 0;
}

namespace {
// For each deletion code, where slots 0, 1, 2 take their data from; -1
// empties the slot, and a slot that keeps its own data names itself.
struct DeleteMove {
    int code;
    std::array<int, kEnvelopeSlots> source;
};
constexpr DeleteMove kDeleteMoves[] = {
    {100, {1, 2, -1}}, {10, {0, 2, -1}}, {1, {0, 1, -1}}, {110, {2, -1, -1}}, {101, {1, -1, -1}},
};
} // namespace

static void emptySlot(int slot) {
    clearEnvelopeSlot(slot);
    envelopes.envelopeTrackName[size_t(slot)].clear();
}

void shiftEnvelopesOnDelete(int code) {
    allocateEnvelopes();
    bool moved = false;
    for (const DeleteMove& m : kDeleteMoves) {
        if (m.code != code) continue;
        // Sources never lie below their target, so moving upwards reads
        // every source before it is overwritten.
        for (int k = 0; k < kEnvelopeSlots; ++k) {
            if (m.source[size_t(k)] < 0)
                emptySlot(k);
            else if (m.source[size_t(k)] != k)
                moveSlot(k, m.source[size_t(k)]);
        }
        moved = true;
    }
    // With LAME on the stale-slot check sorts out the rest by name; with it
    // off nothing would, so the slots of deleted songs are dropped here.
    if (!moved && decoder.lameOn == 0) {
        if (code == 111) emptySlot(0);
        if (code == 11 || code == 111) {
            emptySlot(1);
            emptySlot(2);
        }
    }
    envelopes.staleCheckTime = timing::now() - 1.0;
}
