// Feeds arbitrary bytes to the buffer-file reader: it must refuse or walk
// them without touching memory outside its buffer and the envelope tables,
// and reading them from a file must give exactly what reading them from
// memory gives (the file path reads blocks in place from its own window).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

#include "analysis/envelope.h"
#include "analysis/wav_reader.h"

namespace {

std::vector<int16_t> slotValues(const std::vector<int16_t>& table, int slot, int32_t blocks) {
    std::vector<int16_t> out;
    for (int32_t b = 0; b < blocks; ++b)
        out.push_back(table[envelopeIndex(slot, b)]);
    return out;
}

const std::string& scratchPath() {
    static const std::string path = "/dev/shm/kk-wav-fuzz-" + std::to_string(getpid()) + ".wav";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the slot, so all three columns get exercised,
    // and whether the image is also read back from a file.
    const int slot = data[0] % kEnvelopeSlots;
    const std::span<const uint8_t> image(data + 1, size - 1);
    WaveReadResult r = parseDecodedWave(image, slot);
    if (r.blocks < 0 || r.blocks > kEnvelopeBlocks) std::abort();
    if (r.ok != (envelopes.envelopePresent[size_t(slot)] == 1)) std::abort();
    if (r.ok && envelopes.blockCount[size_t(slot)] != r.blocks) std::abort();
    const auto peaks = slotValues(envelopes.peakTable, slot, r.blocks);
    const auto levels = slotValues(envelopes.levelTable, slot, r.blocks);

    if ((data[0] & 0x40) == 0) return 0; // half of the inputs take the file path too
    std::FILE* f = std::fopen(scratchPath().c_str(), "wb");
    if (!f) return 0; // no tmpfs here: the memory check alone
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);
    WaveReadResult fromFile = readDecodedWave(scratchPath(), slot);
    std::remove(scratchPath().c_str());
    if (image.empty()) return 0; // an empty file is refused before parsing
    if (fromFile.ok != r.ok || fromFile.blocks != r.blocks || fromFile.channels != r.channels)
        std::abort();
    if (slotValues(envelopes.peakTable, slot, r.blocks) != peaks ||
        slotValues(envelopes.levelTable, slot, r.blocks) != levels)
        std::abort();
    return 0;
}
