#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/envelope.h"
#include "analysis/wav_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
void put16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void putChunk(Bytes& b, const char* id, const Bytes& body) {
    b.insert(b.end(), id, id + 4);
    put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
}

struct WaveSpec {
    uint16_t format = 1;
    uint16_t channels = 1;
    uint16_t bits = 16;
    int chunksBeforeFmt = 0;
    int chunksBeforeData = 0;
    Bytes data;
};

Bytes makeWave(const WaveSpec& s) {
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, 0); // the reader ignores the RIFF size
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    for (int i = 0; i < s.chunksBeforeFmt; ++i)
        putChunk(b, "LIST", Bytes(size_t(3 + i), 'x')); // odd sizes: no pad byte
    Bytes fmt;
    put16(fmt, s.format);
    put16(fmt, s.channels);
    put32(fmt, 44100);
    put32(fmt, 44100u * s.channels * s.bits / 8);
    put16(fmt, uint16_t(s.channels * s.bits / 8));
    put16(fmt, s.bits);
    putChunk(b, "fmt ", fmt);
    for (int i = 0; i < s.chunksBeforeData; ++i)
        putChunk(b, "junk", Bytes(size_t(5 + i), 'y'));
    putChunk(b, "data", s.data);
    return b;
}

Bytes samples(size_t count, int16_t value) {
    Bytes d;
    for (size_t i = 0; i < count; ++i)
        put16(d, uint16_t(value));
    return d;
}

int expectedBlocks(int64_t dataBytes, int64_t bytesPerBlock) {
    int64_t n = (dataBytes - 11000 - 8 + bytesPerBlock - 1) / bytesPerBlock;
    return int(std::max<int64_t>(1, n));
}

class Wav : public ::testing::Test {
  protected:
    void SetUp() override {
        allocateEnvelopes();
    }
    static int16_t peak(int slot, int block) {
        return envelopes.peakTable[envelopeIndex(slot, block)];
    }
    static int16_t level(int slot, int block) {
        return envelopes.levelTable[envelopeIndex(slot, block)];
    }
    // A slot with old data, to see a refusal leave it empty.
    static void spoilSlot(int slot) {
        envelopes.peakTable[envelopeIndex(slot, 0)] = 99;
        finishEnvelope(slot, 1);
    }
    static void expectRefused(const Bytes& b, const std::string& why) {
        spoilSlot(1);
        WaveReadResult r = parseDecodedWave(b, 1);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failureText, " unknown  ... nicht bekannt." + why);
        EXPECT_EQ(envelopes.envelopePresent[1], 0);
        EXPECT_EQ(envelopes.blockCount[1], 0);
        EXPECT_EQ(peak(1, 0), 0);
    }
};

TEST_F(Wav, MonoBlockCountLeavesTheTailMarginUnread) {
    for (int64_t d : {0, 2, 11008, 11010, 15418, 15420, 19828, 19830, 44100 * 2 * 3 + 1}) {
        WaveSpec s;
        s.data = Bytes(size_t(d), 0);
        WaveReadResult r = parseDecodedWave(makeWave(s), 0);
        ASSERT_TRUE(r.ok) << d;
        EXPECT_EQ(r.blocks, expectedBlocks(d, 4410)) << d;
        EXPECT_EQ(envelopes.blockCount[0], r.blocks) << d;
        EXPECT_EQ(envelopes.envelopePresent[0], 1);
    }
}

TEST_F(Wav, StereoBlockCountUsesTwoReadsPerBlock) {
    for (int64_t d : {4, 11008, 11010, 19828, 19830, 28648, 28650, 176400 * 2}) {
        WaveSpec s;
        s.channels = 2;
        s.data = Bytes(size_t(d), 0);
        WaveReadResult r = parseDecodedWave(makeWave(s), 2);
        ASSERT_TRUE(r.ok) << d;
        EXPECT_EQ(r.channels, 2);
        EXPECT_EQ(r.blocks, expectedBlocks(d, 8820)) << d;
    }
}

TEST_F(Wav, FirstValueIsNeverUsedAndReadsTileTheData) {
    // Value 0 is loud and must be skipped; value 2205 is the last of block 0,
    // value 2206 the first of block 1.
    WaveSpec s;
    s.data = samples(2205 * 10, 0);
    auto setValue = [&](size_t i, int16_t v) {
        s.data[2 * i] = uint8_t(uint16_t(v));
        s.data[2 * i + 1] = uint8_t(uint16_t(v) >> 8);
    };
    setValue(0, 30000);
    setValue(2205, -1234);
    setValue(2206, 777);
    ASSERT_TRUE(parseDecodedWave(makeWave(s), 0).ok);
    EXPECT_EQ(peak(0, 0), 1234);
    EXPECT_EQ(peak(0, 1), 777);
}

TEST_F(Wav, PeakAndLevelOfAKnownStereoBlock) {
    WaveSpec s;
    s.channels = 2;
    s.data = samples(2205 * 2 * 6, -1000);
    s.data[2 * 100] = 0x10; // value 100 = 0x2710 = 10000
    s.data[2 * 100 + 1] = 0x27;
    ASSERT_TRUE(parseDecodedWave(makeWave(s), 1).ok);
    EXPECT_EQ(peak(1, 0), 10000);
    // 4409 values of 1000 and one of 10000: (4419000 / 2205) / 2 = 1002
    EXPECT_EQ(level(1, 0), 1002);
    EXPECT_EQ(peak(1, 1), 1000);
    EXPECT_EQ(level(1, 1), 1000);
}

TEST_F(Wav, ThreeChunksAreSkippedBeforeFmtAndData) {
    WaveSpec s;
    s.chunksBeforeFmt = 3;
    s.chunksBeforeData = 3;
    s.data = samples(2205 * 8, 300);
    WaveReadResult r = parseDecodedWave(makeWave(s), 0);
    ASSERT_TRUE(r.ok) << r.failureText;
    EXPECT_EQ(peak(0, 0), 300);
}

TEST_F(Wav, FourChunksBeforeFmtAreRefused) {
    WaveSpec s;
    s.chunksBeforeFmt = 4;
    expectRefused(makeWave(s), " FMT-Eintrag nicht gefunden.");
}

TEST_F(Wav, FourChunksBeforeDataAreRefused) {
    WaveSpec s;
    s.chunksBeforeData = 4;
    s.data = samples(100, 1);
    expectRefused(makeWave(s), "Audiodaten nicht gefunden.");
}

TEST_F(Wav, EachFormatRefusalHasItsText) {
    expectRefused(Bytes{'R', 'I', 'F', 'X'}, "RIFF / WAVE.");
    expectRefused(Bytes{}, "RIFF / WAVE.");
    WaveSpec flt;
    flt.format = 3;
    flt.bits = 32;
    expectRefused(makeWave(flt), " Format ist nicht PCM.");
    for (uint16_t ch : {0, 3, 6}) {
        WaveSpec s;
        s.channels = ch;
        expectRefused(makeWave(s), " Format ist nicht Mono oder Stereo.");
    }
    for (uint16_t bits : {8, 24, 32}) {
        WaveSpec s;
        s.bits = bits;
        expectRefused(makeWave(s), " Format ist nicht 16bit .");
    }
}

TEST_F(Wav, OversizedDataIsRefused) {
    WaveSpec s;
    s.data = samples(4, 1);
    Bytes b = makeWave(s);
    size_t sizeAt = b.size() - 8 - 4;
    for (uint32_t d : {kMaxWaveDataBytes + 1, 0xFFFFFFFFu}) {
        std::memcpy(&b[sizeAt], &d, 4);
        expectRefused(b, "Datei zu gross.");
    }
    uint32_t limit = kMaxWaveDataBytes;
    std::memcpy(&b[sizeAt], &limit, 4);
    EXPECT_TRUE(parseDecodedWave(b, 0).ok); // the limit itself is allowed
}

TEST_F(Wav, DataSizePastTheEndStopsAtTheEndOfTheFile) {
    WaveSpec s;
    s.data = samples(2205 * 5, 200);
    Bytes b = makeWave(s);
    uint32_t d = kMaxWaveDataBytes;
    std::memcpy(&b[b.size() - s.data.size() - 4], &d, 4);
    WaveReadResult r = parseDecodedWave(b, 0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.blocks, 5); // not the 453,000 the header claims
    EXPECT_EQ(peak(0, 3), 200);
    EXPECT_EQ(peak(0, 4), 200); // its last value reads as zero
}

TEST_F(Wav, HostileChunkSizesNeverCrash) {
    WaveSpec s;
    s.chunksBeforeFmt = 1;
    s.chunksBeforeData = 1;
    s.data = samples(50, 5);
    Bytes base = makeWave(s);
    // Every 32-bit field of the header gets extreme values.
    for (size_t at = 4; at + 4 <= 80 && at + 4 <= base.size(); at += 1) {
        for (uint32_t v : {0u, 1u, 3u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
            Bytes b = base;
            std::memcpy(&b[at], &v, 4);
            WaveReadResult r = parseDecodedWave(b, 2);
            EXPECT_LE(r.blocks, kEnvelopeBlocks);
            EXPECT_EQ(envelopes.envelopePresent[2], r.ok ? 1 : 0);
        }
    }
    // Truncated images at every length.
    for (size_t n = 0; n < base.size(); ++n) {
        Bytes b(base.begin(), base.begin() + long(n));
        EXPECT_LE(parseDecodedWave(b, 0).blocks, 1);
    }
}

TEST_F(Wav, BlockCountIsCappedAtTheTableSize) {
    // 99,001 full blocks plus some: the walk must stop at the tables' end.
    WaveSpec s;
    s.data = Bytes(size_t(kEnvelopeBlocks + 10) * 4410 + 11008, 0);
    s.data[2 * 2206] = 9; // value 2206 opens block 1
    WaveReadResult r = parseDecodedWave(makeWave(s), 0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.blocks, kEnvelopeBlocks);
    EXPECT_EQ(envelopes.blockCount[0], kEnvelopeBlocks);
    EXPECT_EQ(peak(0, 1), 9);
}

TEST_F(Wav, InvalidSlotTouchesNothing) {
    WaveSpec s;
    s.data = samples(100, 1);
    EXPECT_FALSE(parseDecodedWave(makeWave(s), 3).ok);
    EXPECT_FALSE(parseDecodedWave(makeWave(s), -1).ok);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(envelopes.envelopePresent[size_t(k)], 0);
}

TEST_F(Wav, ReadsAFileFromDisk) {
    WaveSpec s;
    s.channels = 2;
    s.chunksBeforeData = 2;
    s.data = samples(2205 * 2 * 4 + 11008 / 2, -4000);
    Bytes b = makeWave(s);
    auto path = std::filesystem::temp_directory_path() / "kk-wav-reader-test.wav";
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    WaveReadResult r = readDecodedWave(path.string(), 1);
    std::filesystem::remove(path);
    ASSERT_TRUE(r.ok) << r.failureText;
    EXPECT_EQ(r.blocks, expectedBlocks(int64_t(s.data.size()), 8820));
    EXPECT_EQ(peak(1, 0), 4000);
    EXPECT_EQ(level(1, 3), 4000);
}

TEST_F(Wav, MissingFileOrEmptyPathIsRefused) {
    spoilSlot(0);
    EXPECT_FALSE(readDecodedWave("", 0).ok);
    EXPECT_EQ(envelopes.envelopePresent[0], 1); // nothing was read
    EXPECT_FALSE(readDecodedWave("/nonexistent/kk-none.wav", 0).ok);
    EXPECT_EQ(envelopes.envelopePresent[0], 0);
}

} // namespace

namespace {

// The hook sees the slot filling up, and ending the session inside the walk
// (an exception out of the hook) leaves the file closed and the slot unfinished.
TEST_F(Wav, TheWalkCallsItsHookEverySixtyFourBlocks) {
    WaveSpec s;
    s.data = Bytes(size_t(4410) * 200 + 11008, 0);
    std::vector<int32_t> seen;
    setBlockWalkHook([&] { seen.push_back(int32_t(seen.size())); });
    WaveReadResult r = parseDecodedWave(makeWave(s), 2);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.blocks, 200);
    EXPECT_EQ(seen.size(), 3u); // after blocks 64, 128 and 192

    setBlockWalkHook([] { throw std::runtime_error("end"); });
    clearEnvelopeSlot(0);
    EXPECT_THROW(parseDecodedWave(makeWave(s), 0), std::runtime_error);
    EXPECT_EQ(envelopes.envelopePresent[0], 0);
    setBlockWalkHook({});
}

} // namespace
