#include "analysis/triggers.h"

#include <gtest/gtest.h>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "texts/notices.h"

namespace {

class TriggersTest : public ::testing::Test {
  protected:
    double t = 100;

    void SetUp() override {
        screen::open(1000, 527);
        timing::install({[this] { return t; }, [this](double ms) { t += ms / 1000; }});
        reset();
        allocateEnvelopes();
        // Three songs of 100 s at 50 ms per block.
        tracks.playlistCount = 3;
        tracks.playPosition = 1;
        for (int i = 1; i <= 3; ++i)
            tracks.playlist[size_t(i)].lengthMs = 100000;
        envelopes.blockCount = {2000, 2000, 2000};
        envelopes.envelopePresent = {1, 1, 1};
    }
    void TearDown() override {
        timing::install({});
        reset();
    }
    static void reset() {
        tracks = TrackLists{};
        envelopes = Envelopes{};
        decoder = Decoder{};
        transport = Transport{};
        triggers = Triggers{};
        notices = Notices{};
    }
    static void setPeaks(int slot, int from, int to, int16_t value) {
        for (int b = from; b <= to; ++b)
            envelopes.peakTable[envelopeIndex(slot, b)] = value;
    }
    static PlaylistEntry& entry(int slot) { return tracks.playlist[size_t(1 + slot)]; }
};

TEST_F(TriggersTest, StartCueLiesTwoBlocksBeforeTheFirstAudibleBlock) {
    setPeaks(0, 5, 5, 64); // exactly the threshold is not yet sound
    setPeaks(0, 10, 1999, 1000);
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(envelopes.startCue[0], 8.0 / 2000);
}

TEST_F(TriggersTest, SoundInTheFirstBlocksGivesAStartCueOfZero) {
    setPeaks(0, 1, 1999, 1000);
    computeTriggers(0);
    EXPECT_EQ(envelopes.startCue[0], 0.0);
}

TEST_F(TriggersTest, AManualStartCueIsKeptAndLiftsTheLeftTrigger) {
    setPeaks(0, 0, 1999, 1000);
    envelopes.startCue[0] = 0.05;
    envelopes.startCueManual[0] = 1;
    computeTriggers(0);
    EXPECT_EQ(envelopes.startCue[0], 0.05);
    EXPECT_EQ(entry(0).leftTrigger, 0.05);
}

TEST_F(TriggersTest, ASongLoudAtOnceGetsItsLeftTriggerAtTheFirstPair) {
    setPeaks(0, 0, 1999, 1000);
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).leftTrigger, 1.0 / 2000);
}

TEST_F(TriggersTest, LeftTriggerIsTheFirstPairAboveThePercentOfTheLoudestPair) {
    // A quiet intro in two steps: 100, then 400, then the song at 1000.
    setPeaks(0, 0, 19, 100);
    setPeaks(0, 20, 39, 400);
    setPeaks(0, 40, 1999, 1000);
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).leftTrigger, 20.0 / 2000); // 100 + 400 is not above 600
    triggers.leftTriggerPercent = 0.5f;
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).leftTrigger, 39.0 / 2000); // 400 + 1000 above 1000
}

TEST_F(TriggersTest, ALeftTriggerBeyondSeventeenSecondsIsPulledBack) {
    // With 2003 blocks the window reaches block 341, just past 17 s.
    envelopes.blockCount[0] = 2003;
    setPeaks(0, 0, 341, 100);
    setPeaks(0, 342, 2002, 1000);
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).leftTrigger, 0.17);
}

TEST_F(TriggersTest, ASilentIntroKeepsThePreviousLeftTrigger) {
    entry(0).leftTrigger = 0.03;
    computeTriggers(0);
    EXPECT_EQ(entry(0).leftTrigger, 0.03);
    EXPECT_EQ(envelopes.startCue[0], 0.0);
    // The right trigger falls back to the start of the last 22 s.
    EXPECT_DOUBLE_EQ(entry(0).rightTrigger, 1560.0 / 2000);
}

TEST_F(TriggersTest, ASongLoudToItsLastBlockEndsAtTheReplacementValue) {
    setPeaks(0, 0, 1999, 1000);
    triggers.rightTriggerPercent = 0.3f;
    computeTriggers(0);
    EXPECT_EQ(entry(0).rightTrigger, 0.996);
    // At 70 % the half-empty pair at the end is not loud enough.
    triggers.rightTriggerPercent = 0.7f;
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).rightTrigger, 1999.0 / 2000);
}

TEST_F(TriggersTest, RightTriggerFollowsTheFadeAndWithoutAutoPlaySitsDeepInIt) {
    // Full level to block 1599, then a linear fade to the end: peak 2.5 per block left.
    setPeaks(0, 0, 1599, 1000);
    for (int b = 1600; b < 2000; ++b)
        setPeaks(0, b, b, int16_t((2000 - b) * 5 / 2));
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).rightTrigger, 1720.0 / 2000); // 702 + 700 above 1400
    transport.autoPlay = 0;
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).rightTrigger, 1960.0 / 2000); // 102 + 100 above 200
}

// A pair exactly at the threshold is not above it, on either side.
TEST_F(TriggersTest, APairEqualToTheThresholdDoesNotCount) {
    triggers.leftTriggerPercent = 0.5f;
    triggers.rightTriggerPercent = 0.5f;
    setPeaks(0, 0, 19, 500); // pairs of 1000: half the loudest pair, 2000
    setPeaks(0, 20, 1599, 1000);
    setPeaks(0, 1600, 1999, 500);
    computeTriggers(0);
    EXPECT_DOUBLE_EQ(entry(0).leftTrigger, 19.0 / 2000);
    EXPECT_DOUBLE_EQ(entry(0).rightTrigger, 1600.0 / 2000);
}

TEST_F(TriggersTest, WithLameOffAllThreeSlotsGetTheDefaults) {
    decoder.lameOn = 0;
    tracks.playlist[2].lengthMs = 25000;
    envelopes.startCue = {0.1, 0.1, 0.1};
    envelopes.startCueManual = {1, 1, 1};
    setPeaks(1, 0, 1999, 1000);
    computeTriggers(1);
    EXPECT_DOUBLE_EQ(entry(0).rightTrigger, (100000.0 - 2100) / 100000);
    EXPECT_DOUBLE_EQ(entry(1).rightTrigger, 1 - 800.0 / 25000);
    EXPECT_NEAR(entry(1).rightTrigger, 0.968, 1e-12);
    EXPECT_DOUBLE_EQ(entry(2).rightTrigger, 0.979);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(entry(k).leftTrigger, 0.0);
        EXPECT_EQ(envelopes.startCue[size_t(k)], 0.0);
        EXPECT_EQ(envelopes.startCueManual[size_t(k)], 0);
    }
}

TEST_F(TriggersTest, AnEntryWithoutLengthKeepsTheReplacementEnd) {
    entry(0).lengthMs = 0;
    defaultTriggers(0);
    EXPECT_EQ(entry(0).rightTrigger, 0.996);
}

TEST_F(TriggersTest, PercentStepsRunFromFivePercentToEighty) {
    float& p = triggers.leftTriggerPercent;
    p = 0.05f;
    stepTriggerPercent(TriggerSide::Left, true);
    EXPECT_FLOAT_EQ(p, 0.1f);
    EXPECT_TRUE(triggers.triggerRecomputePending);
    EXPECT_DOUBLE_EQ(triggers.triggerRecomputeTime, t + 1.2);

    float& r = triggers.rightTriggerPercent;
    r = 0.7f;
    stepTriggerPercent(TriggerSide::Right, true);
    EXPECT_FLOAT_EQ(r, 0.8f);
    triggers.triggerRecomputePending = false;
    stepTriggerPercent(TriggerSide::Right, true);
    EXPECT_FLOAT_EQ(r, 0.8f);
    EXPECT_FALSE(triggers.triggerRecomputePending);

    p = 0.1f;
    stepTriggerPercent(TriggerSide::Left, false);
    EXPECT_FLOAT_EQ(p, 0.05f);
    triggers.triggerRecomputePending = false;
    stepTriggerPercent(TriggerSide::Left, false);
    EXPECT_FLOAT_EQ(p, 0.05f);
    EXPECT_FALSE(triggers.triggerRecomputePending);
}

TEST_F(TriggersTest, RepeatedStepsStayOnTheGrid) {
    float& p = triggers.leftTriggerPercent;
    for (int i = 0; i < 10; ++i)
        stepTriggerPercent(TriggerSide::Left, false);
    EXPECT_FLOAT_EQ(p, 0.05f);
    const float expected[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.8f};
    for (float e : expected) {
        stepTriggerPercent(TriggerSide::Left, true);
        EXPECT_FLOAT_EQ(p, e);
    }
    EXPECT_FLOAT_EQ(triggers.rightTriggerPercent, 0.7f);
}

TEST_F(TriggersTest, AShortSongEndingAtItsVeryEndIsCutToNinetyFivePercent) {
    entry(0).lengthMs = 25000;
    entry(0).rightTrigger = 1.0;
    serviceTriggers();
    EXPECT_EQ(entry(0).rightTrigger, 0.95);

    entry(0).lengthMs = 31000;
    entry(0).rightTrigger = 1.0;
    serviceTriggers();
    EXPECT_EQ(entry(0).rightTrigger, 1.0);
}

TEST_F(TriggersTest, TheDelayedRecomputationWaitsAndSparesTheEndingSong) {
    for (int k = 0; k < 3; ++k) {
        setPeaks(k, 0, 1999, 1000);
        entry(k).rightTrigger = 0.5;
    }
    transport.channelOpen[0] = 1;
    entry(0).positionMs = 85000; // 15 s left
    stepTriggerPercent(TriggerSide::Right, false);
    t += 1.0;
    recomputeTriggersWhenDue(transport.channelOpen[0] == 1);
    EXPECT_EQ(entry(1).rightTrigger, 0.5);
    t += 0.3;
    recomputeTriggersWhenDue(transport.channelOpen[0] == 1);
    EXPECT_FALSE(triggers.triggerRecomputePending);
    EXPECT_EQ(entry(0).rightTrigger, 0.5);
    EXPECT_DOUBLE_EQ(entry(1).rightTrigger, 1999.0 / 2000);
    EXPECT_DOUBLE_EQ(entry(2).rightTrigger, 1999.0 / 2000);

    entry(0).positionMs = 79000; // 21 s left
    stepTriggerPercent(TriggerSide::Right, true);
    t += 1.3;
    recomputeTriggersWhenDue(transport.channelOpen[0] == 1);
    EXPECT_NE(entry(0).rightTrigger, 0.5);
}

TEST_F(TriggersTest, AClickForARightTriggerEarlyInTheSongPlacesItAtSeventyPercent) {
    setRightTriggerAt(0, 12 + 100);
    EXPECT_EQ(entry(0).rightTrigger, 0.7);
    setRightTriggerAt(0, 12 + 560);
    EXPECT_DOUBLE_EQ(entry(0).rightTrigger, 1 - 30.0 / 590);
    EXPECT_EQ(notices.noticeId, 43);
}

TEST_F(TriggersTest, AClickedLeftTriggerStaysNearTheStartCue) {
    envelopes.startCue[0] = 0.1;
    setLeftTriggerAt(0, 12 + 59); // 0.1 of the width
    EXPECT_DOUBLE_EQ(entry(0).leftTrigger, 0.1);
    setLeftTriggerAt(0, 12 + 295); // half-way: at most 0.2 behind the cue, 17 s
    EXPECT_DOUBLE_EQ(entry(0).leftTrigger, 0.17);
    EXPECT_EQ(notices.noticeId, 44);

    entry(0).leftTrigger = 0.15;
    setLeftTriggerAt(0, 12 + 30); // left of the start cue
    EXPECT_EQ(entry(0).leftTrigger, 0.15);
    envelopes.envelopePresent[0] = 0;
    setLeftTriggerAt(0, 12 + 80);
    EXPECT_EQ(entry(0).leftTrigger, 0.15);
}

TEST_F(TriggersTest, AClickedStartCueIsKeptForTheNextSong) {
    setPeaks(0, 0, 1999, 1000);
    setPeaks(1, 0, 1999, 1000);
    entry(0).rightTrigger = entry(1).rightTrigger = 0.9;
    setStartCueAt(1, 12 + 59);
    EXPECT_DOUBLE_EQ(envelopes.startCue[1], 0.1);
    EXPECT_EQ(envelopes.startCueManual[1], 1);
    EXPECT_DOUBLE_EQ(entry(1).leftTrigger, 0.1);
}

TEST_F(TriggersTest, SwappedSongsTakeTheirTriggersAlong) {
    tracks.playlist[1].leftTrigger = 0.1;
    tracks.playlist[1].rightTrigger = 0.9;
    swapEntries(ListKind::Playlist, 1, 2);
    EXPECT_EQ(tracks.playlist[2].leftTrigger, 0.1);
    EXPECT_EQ(tracks.playlist[2].rightTrigger, 0.9);
    EXPECT_EQ(tracks.playlist[1].rightTrigger, 0.0);
}

} // namespace
