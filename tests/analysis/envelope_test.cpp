#include <gtest/gtest.h>

#include <vector>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "lists/tracks.h"
#include "platform/clock.h"

namespace {

class Envelope : public ::testing::Test {
  protected:
    void SetUp() override {
        allocateEnvelopes();
        decoder.lameOn = 1;
        timing::install({[this] { return now; }, [this](double ms) { now += ms / 1000.0; }});
    }
    double now = 80.0;
    static std::string names() {
        std::string s;
        for (int k = 0; k < 3; ++k)
            s += (envelopes.envelopePresent[size_t(k)] ? envelopes.envelopeTrackName[size_t(k)]
                                                       : std::string("-")) +
                 " ";
        return s;
    }
    void fillAll() {
        fillSlot(0, 4, "a");
        fillSlot(1, 6, "b");
        fillSlot(2, 8, "c");
    }
    static int16_t peak(int slot, int block) {
        return envelopes.peakTable[envelopeIndex(slot, block)];
    }
    static int16_t level(int slot, int block) {
        return envelopes.levelTable[envelopeIndex(slot, block)];
    }
    // Fills a slot with recognisable values: block b has peak 100 * slot + b.
    static void fillSlot(int slot, int blocks, const std::string& name) {
        for (int b = 0; b < blocks; ++b) {
            std::vector<int16_t> v(kSamplesPerBlock, 0);
            v[0] = int16_t(100 * slot + b + 1);
            addEnvelopeBlock(slot, b, v, 1);
        }
        finishEnvelope(slot, blocks);
        envelopes.envelopeTrackName[size_t(slot)] = name;
    }
};

TEST_F(Envelope, TablesAreBlockMajorAndSizedOnce) {
    EXPECT_EQ(envelopes.peakTable.size(), size_t(kEnvelopeBlocks) * 3);
    EXPECT_EQ(envelopeIndex(2, 5), size_t(17));
    envelopes.peakTable[4] = 7;
    allocateEnvelopes();
    EXPECT_EQ(envelopes.peakTable[4], 7);
}

TEST_F(Envelope, SilenceGivesZeroPeakAndLevel) {
    std::vector<int16_t> v(kSamplesPerBlock, 0);
    BlockLevels r = reduceBlock(v, 1);
    EXPECT_EQ(r.peak, 0);
    EXPECT_EQ(r.level, 0);
}

TEST_F(Envelope, StereoBlockOfConstantValueKeepsItsLevel) {
    std::vector<int16_t> v(2 * kSamplesPerBlock, 1000);
    BlockLevels r = reduceBlock(v, 2);
    EXPECT_EQ(r.peak, 1000);
    EXPECT_EQ(r.level, 1000);
}

TEST_F(Envelope, LevelIsTheTruncatedMeanMagnitude) {
    std::vector<int16_t> v(kSamplesPerBlock, 0);
    v[0] = -3000;
    v[10] = 2000;
    v[20] = 2409; // sum 7409 -> 7409 / 2205 = 3 (truncated)
    BlockLevels r = reduceBlock(v, 1);
    EXPECT_EQ(r.peak, 3000);
    EXPECT_EQ(r.level, 3);
}

TEST_F(Envelope, MostNegativeSampleCountsAsFullScale) {
    std::vector<int16_t> v(kSamplesPerBlock, -32768);
    BlockLevels r = reduceBlock(v, 1);
    EXPECT_EQ(r.peak, 32767);
    EXPECT_EQ(r.level, 32767);
    std::vector<int16_t> s(2 * kSamplesPerBlock, -32768);
    EXPECT_EQ(reduceBlock(s, 2).level, 32767);
}

TEST_F(Envelope, BlocksOutsideTheTablesAreDropped) {
    std::vector<int16_t> v(kSamplesPerBlock, 500);
    addEnvelopeBlock(0, kEnvelopeBlocks, v, 1);
    addEnvelopeBlock(3, 0, v, 1);
    addEnvelopeBlock(-1, 0, v, 1);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(peak(k, 0), 0);
    addEnvelopeBlock(1, kEnvelopeBlocks - 1, v, 1);
    EXPECT_EQ(peak(1, kEnvelopeBlocks - 1), 500);
}

TEST_F(Envelope, FinishZeroesTheTailAndMarksPresent) {
    std::vector<int16_t> v(kSamplesPerBlock, 500);
    for (int b = 0; b < 5; ++b)
        addEnvelopeBlock(1, b, v, 1);
    envelopes.startCue[1] = 0.5;
    envelopes.startCueManual[1] = 1;
    finishEnvelope(1, 3);
    EXPECT_EQ(envelopes.envelopePresent[1], 1);
    EXPECT_EQ(envelopes.blockCount[1], 3);
    EXPECT_EQ(peak(1, 2), 500);
    EXPECT_EQ(peak(1, 3), 0);
    EXPECT_EQ(level(1, 4), 0);
    EXPECT_EQ(envelopes.startCue[1], 0.0);
    EXPECT_EQ(envelopes.startCueManual[1], 0);
    EXPECT_EQ(envelopes.envelopePresent[0], 0);
}

TEST_F(Envelope, FinishCapsTheCountAtTheTableSize) {
    finishEnvelope(0, kEnvelopeBlocks + 50);
    EXPECT_EQ(envelopes.blockCount[0], kEnvelopeBlocks);
    finishEnvelope(0, -4);
    EXPECT_EQ(envelopes.blockCount[0], 0);
}

TEST_F(Envelope, AdvanceMovesSlotsDownAndEmptiesTheLast) {
    fillSlot(0, 4, "a.mp3");
    fillSlot(1, 6, "b.mp3");
    fillSlot(2, 8, "c.mp3");
    envelopes.startCue[2] = 0.25;
    envelopes.startCueManual[2] = 1;
    tracks.playPosition = 3;
    tracks.playlist[3].playlistSelected = 1;
    tracks.playlist[4].playlistSelected = 1;

    shiftEnvelopesOnAdvance();

    EXPECT_EQ(envelopes.blockCount[0], 6);
    EXPECT_EQ(envelopes.envelopeTrackName[0], "b.mp3");
    EXPECT_EQ(peak(0, 5), 106);
    EXPECT_EQ(peak(0, 6), 0); // slot 0's own longer data must not survive
    EXPECT_EQ(envelopes.blockCount[1], 8);
    EXPECT_EQ(envelopes.envelopeTrackName[1], "c.mp3");
    EXPECT_EQ(peak(1, 7), 208);
    EXPECT_EQ(envelopes.startCue[1], 0.25);
    EXPECT_EQ(envelopes.startCueManual[1], 1);
    EXPECT_EQ(envelopes.envelopePresent[2], 0);
    EXPECT_EQ(envelopes.blockCount[2], 0);
    EXPECT_EQ(envelopes.envelopeTrackName[2], "");
    EXPECT_EQ(envelopes.startCueManual[2], 0);
    EXPECT_EQ(peak(2, 0), 0);
    EXPECT_EQ(peak(2, 7), 0);
    EXPECT_EQ(tracks.playlist[3].playlistSelected, 0);
    EXPECT_EQ(tracks.playlist[4].playlistSelected, 1);
}

TEST_F(Envelope, AdvanceCarriesAnEmptySlotDown) {
    fillSlot(0, 4, "a.mp3");
    fillSlot(2, 8, "c.mp3");
    shiftEnvelopesOnAdvance();
    EXPECT_EQ(envelopes.envelopePresent[0], 0);
    EXPECT_EQ(peak(0, 0), 0);
    EXPECT_EQ(envelopes.envelopePresent[1], 1);
}

TEST_F(Envelope, DeletionCodesMoveTheSurvivingSlotsDown) {
    const std::pair<int, const char*> cases[] = {
        {100, "b c - "}, {10, "a c - "}, {1, "a b - "}, {110, "c - - "}, {101, "b - - "},
    };
    for (auto [code, expected] : cases) {
        fillAll();
        envelopes.staleCheckTime = 999;
        shiftEnvelopesOnDelete(code);
        EXPECT_EQ(names(), expected) << code;
        EXPECT_LT(envelopes.staleCheckTime, now) << code;
    }
}

TEST_F(Envelope, DeletingTheNextSongKeepsSlotZeroAndItsValues) {
    fillAll();
    shiftEnvelopesOnDelete(10);
    EXPECT_EQ(envelopes.blockCount[0], 4);
    EXPECT_EQ(peak(0, 3), 4);
    EXPECT_EQ(envelopes.blockCount[1], 8);
    EXPECT_EQ(peak(1, 7), 208);
    EXPECT_EQ(envelopes.envelopeTrackName[2], "");
    EXPECT_EQ(peak(2, 0), 0);
}

TEST_F(Envelope, OtherCodesWaitForTheStaleCheckWhileLameIsOn) {
    for (int code : {0, 11, 111}) {
        fillAll();
        shiftEnvelopesOnDelete(code);
        EXPECT_EQ(names(), "a b c ") << code;
    }
}

TEST_F(Envelope, OtherCodesDropTheDeletedSlotsWhileLameIsOff) {
    decoder.lameOn = 0;
    const std::pair<int, const char*> cases[] = {{0, "a b c "}, {11, "a - - "}, {111, "- - - "}};
    for (auto [code, expected] : cases) {
        fillAll();
        shiftEnvelopesOnDelete(code);
        EXPECT_EQ(names(), expected) << code;
    }
}

} // namespace
