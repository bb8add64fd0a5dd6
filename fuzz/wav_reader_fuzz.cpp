// Feeds arbitrary bytes to the buffer-file reader: it must refuse or walk
// them without touching memory outside its buffer and the envelope tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "analysis/envelope.h"
#include "analysis/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the slot, so all three columns get exercised.
    int slot = data[0] % kEnvelopeSlots;
    WaveReadResult r = parseDecodedWave(std::span<const uint8_t>(data + 1, size - 1), slot);
    if (r.blocks < 0 || r.blocks > kEnvelopeBlocks) std::abort();
    if (r.ok != (envelopes.envelopePresent[size_t(slot)] == 1)) std::abort();
    if (r.ok && envelopes.blockCount[size_t(slot)] != r.blocks) std::abort();
    return 0;
}
