#include <gtest/gtest.h>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/screen.h"

namespace {

class StaleSlots : public ::testing::Test {
  protected:
    double now = 500.0;
    void SetUp() override {
        timing::install({[this] { return now; }, [this](double ms) { now += ms / 1000.0; }});
        screen::open(screen::kWidth, screen::kHeight);
        clearLists();
        allocateEnvelopes();
        for (int k = 0; k < kEnvelopeSlots; ++k)
            clearEnvelopeSlot(k);
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
            auto& e = tracks.playlist[size_t(++tracks.playlistCount)];
            e.fileName = padName(name);
            e.nameLength = int32_t(std::string(name).size());
        }
        for (int k = 0; k < kEnvelopeSlots; ++k) {
            finishEnvelope(k, 100);
            envelopes.envelopeTrackName[size_t(k)] = trackName(tracks.playlist[size_t(k + 1)]);
        }
        envelopes.staleCheckTime = now - 1;
    }
    void TearDown() override { timing::install({}); }
};

TEST_F(StaleSlots, ASlotHoldingAnotherSongIsEmptiedAndDotted) {
    envelopes.envelopeTrackName[1] = "old.mp3";
    checkStaleSlots();
    EXPECT_EQ(envelopes.envelopePresent[0], 1);
    EXPECT_EQ(envelopes.envelopePresent[1], 0);
    EXPECT_EQ(envelopes.envelopeTrackName[1], "");
    EXPECT_EQ(envelopes.envelopePresent[2], 1);
    EXPECT_DOUBLE_EQ(envelopes.staleCheckTime, now + 15);
    const int top = 61 + 76;
    EXPECT_EQ(screen::pixel(12, top + 14), 7);
    EXPECT_EQ(screen::pixel(13, top + 15), 8);
    EXPECT_EQ(screen::pixel(602, top + 38), 7);
    EXPECT_EQ(screen::pixel(12, 61 + 14), 0); // slot 0 was not stale
}

TEST_F(StaleSlots, TheCheckWaitsForItsTimeForLameAndForTheDecoder) {
    envelopes.envelopeTrackName[0] = "old.mp3";
    envelopes.staleCheckTime = now + 1;
    checkStaleSlots();
    EXPECT_EQ(envelopes.envelopePresent[0], 1);
    envelopes.staleCheckTime = now - 1;
    decoder.decodeSlot = 2;
    checkStaleSlots();
    EXPECT_EQ(envelopes.envelopePresent[0], 1);
    decoder.decodeSlot = 0;
    decoder.lameOn = 0;
    checkStaleSlots();
    EXPECT_EQ(envelopes.envelopePresent[0], 1);
    decoder.lameOn = 1;
    checkStaleSlots();
    EXPECT_EQ(envelopes.envelopePresent[0], 0);
}

TEST_F(StaleSlots, AnEditedPlaylistIsCheckedAtOnceButOnlyOnce) {
    envelopes.envelopeTrackName[0] = "old.mp3";
    envelopes.staleCheckTime = now + 10;
    tracks.staleCheckDue = true;
    decoder.decodeSlot = 2; // a running decode still holds the check back
    checkStaleSlots();
    EXPECT_EQ(envelopes.envelopePresent[0], 1);
    decoder.decodeSlot = 0;
    checkStaleSlots();
    EXPECT_EQ(envelopes.envelopePresent[0], 0);
    EXPECT_FALSE(tracks.staleCheckDue);
    EXPECT_DOUBLE_EQ(envelopes.staleCheckTime, now + 15);
}

TEST_F(StaleSlots, MatchingNamesAndMissingEntriesAreLeftAlone) {
    tracks.playlistCount = 2; // slot 2's song has left the playlist
    envelopes.envelopeTrackName[2] = "gone.mp3";
    checkStaleSlots();
    for (int k = 0; k < kEnvelopeSlots; ++k)
        EXPECT_EQ(envelopes.envelopePresent[size_t(k)], 1) << k;
}

} // namespace
