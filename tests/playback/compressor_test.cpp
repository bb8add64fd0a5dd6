#include "playback/compressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/envelope.h"
#include "app/mouse_dispatch.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/mci.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "tests/support/audio_fixtures.h"
#include "texts/notices.h"

namespace {

class CompressorTest : public ::testing::Test {
  protected:
    double t = 100;

    void SetUp() override {
        screen::open(1000, 527);
        timing::install({[this] { return t; }, [this](double ms) { t += ms / 1000; }});
        input::state = input::State{};
        buildThresholdCurve(0);
        // One playing song of 100 s whose envelope has 2000 blocks, at 0 ms.
        tracks.playlistCount = 3;
        tracks.playPosition = 1;
        tracks.playlist[1].lengthMs = 100000;
        tracks.playlist[2].lengthMs = 100000;
        transport.channelOpen[0] = 1;
        envelopes.blockCount = {2000, 2000, 2000};
        compressor.lastPlayPosition = 1;
    }
    void TearDown() override {
        mci::closeLog();
        timing::install({});
        input::state = input::State{};
        envelopes = Envelopes{};
        // Later tests draw the panel from whatever state is left: leave the start-up state.
        transport = Transport{};
        tracks = TrackLists{};
        notices = Notices{};
        mouseDispatch = MouseDispatch{};
        compressor = Compressor{};
        buildThresholdCurve(0);
    }

    void setLevel(int slot, int32_t level) {
        allocateEnvelopes();
        for (int b = 0; b < kEnvelopeBlocks; ++b)
            envelopes.levelTable[envelopeIndex(slot, b)] = int16_t(level);
    }
    // A tick 16 ms after the last one, with the song's position kept fresh at 0 ms.
    void tick() {
        t += 0.016;
        transport.channelSyncTime[transport.currentChannel] = t;
        compressorTick();
    }
    std::vector<std::string> volumeCommandsWhile(const auto& action) {
        fixtures::TempDir dir;
        EXPECT_TRUE(mci::openLog(dir.file("mci.log")));
        action();
        mci::closeLog();
        std::ifstream in(dir.file("mci.log"));
        std::vector<std::string> commands;
        for (std::string line; std::getline(in, line);)
            if (line.find("setaudio") != std::string::npos)
                commands.push_back(line.substr(line.find(' ') + 1));
        return commands;
    }
};

// --- Threshold curve -------------------------------------------------------------

TEST_F(CompressorTest, KneesAreTheBaseValuesTimesOnePointZeroFiveInSinglePrecision) {
    const Knees expected[13] = {
        {0, 0, 0},          {1417, 1890, 2310}, {1522, 1995, 2415}, {1680, 2205, 2677},
        {1843, 2457, 3003}, {1979, 2593, 3139}, {2184, 2866, 3481}, {2410, 3213, 3927},
        {2588, 3391, 4105}, {2856, 3748, 4552}, {3544, 4725, 5775}, {3806, 4987, 6037},
        {4200, 5512, 6694},
    };
    for (int setup = 1; setup <= 12; ++setup)
        EXPECT_EQ(setupKnees(setup), expected[setup]) << "setup " << setup;
}

TEST_F(CompressorTest, SetupOneAtThreeThousandPassesTwoKneesAndRoundsTheTieToEven) {
    // 1417 + 1583 / 2.4 = 2076.6 -> 2077; 1890 + 187 / 2 = 1983.5 -> 1984.
    EXPECT_EQ(kneeCurve(3000, setupKnees(1)), 1984);
    // 2564: 1894.9 -> 1895, then 1892.5 -> 1892, not 1893.
    EXPECT_EQ(kneeCurve(2564, setupKnees(1)), 1892);
    EXPECT_EQ(kneeCurve(1417, setupKnees(1)), 1417);
    EXPECT_EQ(kneeCurve(1000, setupKnees(1)), 1000);
}

TEST_F(CompressorTest, SetupZeroIsTheIdentityAndSwitchesTheCompressorOff) {
    compressor.setupNumber = 0;
    buildThresholdCurve(0);
    EXPECT_EQ(compressor.compressorOn, 0);
    // The smoothing of the top reads beyond 33,000, which setup 0 leaves alone.
    for (int32_t i = 0; i <= 32810; ++i)
        ASSERT_EQ(thresholdAt(i), i) << i;
}

TEST_F(CompressorTest, SmoothedCurveStaysLinearBelowTheFirstKneeAndFlattensAbove) {
    compressor.setupNumber = 1;
    buildThresholdCurve(0);
    EXPECT_EQ(thresholdAt(0), 0);
    EXPECT_EQ(thresholdAt(1000), 1000);
    EXPECT_NEAR(thresholdAt(3000), 1984, 2);
    for (int32_t i = 1; i <= 32767; ++i)
        ASSERT_GE(thresholdAt(i), thresholdAt(i - 1)) << i;
    EXPECT_LT(thresholdAt(30000), 30000 / 5);
}

TEST_F(CompressorTest, SetupStepsWrapBetweenZeroAndTwelve) {
    compressor.setupNumber = 0;
    buildThresholdCurve(1);
    EXPECT_EQ(compressor.setupNumber, 12);
    EXPECT_EQ(compressor.compressorOn, 1);
    EXPECT_EQ(compressor.tempoIndex, 2);
    buildThresholdCurve(2);
    EXPECT_EQ(compressor.setupNumber, 0);
    EXPECT_EQ(compressor.compressorOn, 0);
    buildThresholdCurve(2);
    EXPECT_EQ(compressor.setupNumber, 1);
    EXPECT_EQ(compressor.tempoIndex, 0);
    buildThresholdCurve(4); // the middle button rebuilds
    EXPECT_EQ(compressor.setupNumber, 1);
}

TEST_F(CompressorTest, TempoFactorsFollowFromTheAttackFactor) {
    const auto f = tempoFactorTable();
    EXPECT_NEAR(f[0].release, 1.0004004, 1e-6);
    EXPECT_NEAR(f[1].fastAttack, 0.9983333, 1e-6);
    EXPECT_NEAR(f[2].fastRelease, 1.0013378, 1e-6);
}

// --- Control steps -----------------------------------------------------------------

TEST_F(CompressorTest, PreparedGainIsAdoptedOnceAtTheFirstTickOfANewSong) {
    compressor.gain = 900.0f;
    compressor.nextTrackGain = 400.0f;
    tracks.playPosition = 2;
    tick();
    const TempoFactors f = compressor.tempo[1];
    // Silence: a normal release and, far below the curve, two fast ones.
    EXPECT_FLOAT_EQ(compressor.gain, 400.0f * f.release * f.fastRelease * f.fastRelease);
    EXPECT_EQ(compressor.nextTrackGain, 1000.0f);
    EXPECT_EQ(compressor.lastPlayPosition, 2);
    compressor.nextTrackGain = 400.0f;
    tick();
    EXPECT_GT(compressor.gain, 401.0f);
}

// Everything loud except the blocks a tick at 0 ms should read: b .. b + 3.
TEST_F(CompressorTest, LooksThreeBlocksAheadWithMediumTempoAndOneWithFast) {
    for (int setup : {5, 3}) {
        compressor.setupNumber = int16_t(setup);
        buildThresholdCurve(0);
        const int b = setup == 5 ? 3 : 1;
        setLevel(0, 20000);
        for (int i = b; i <= b + 3; ++i)
            envelopes.levelTable[envelopeIndex(0, i)] = 0;
        compressor.gain = 1000.0f;
        tick();
        EXPECT_EQ(compressor.gain, 1000.0f) << "setup " << setup;
        envelopes.levelTable[envelopeIndex(0, b + 3)] = 20000; // level3's last block
        tick();
        EXPECT_LT(compressor.gain, 1000.0f) << "setup " << setup;
    }
}

TEST_F(CompressorTest, LoudLevelsPullTheGainDownAndSilenceBringsItBack) {
    setLevel(0, 20000);
    for (int i = 0; i < 600; ++i)
        tick();
    EXPECT_LT(compressor.gain, 500.0f);
    EXPECT_GE(compressor.gain, 100.0f);
    EXPECT_GT(compressor.heavyTicks, 0u);

    setLevel(0, 0);
    float last = compressor.gain;
    for (int i = 0; i < 5000; ++i) {
        tick();
        ASSERT_GE(compressor.gain, last);
        last = compressor.gain;
    }
    EXPECT_EQ(compressor.gain, 1000.0f);
}

TEST_F(CompressorTest, LevelBelowTheIdentityCurveOnlyRaisesTheGain) {
    compressor.setupNumber = 0;
    buildThresholdCurve(0);
    compressor.compressorOn = 1; // levels are read, but the curve never bites
    setLevel(0, 20000);
    compressor.gain = 800.0f;
    float last = compressor.gain;
    for (int i = 0; i < 300; ++i) {
        tick();
        ASSERT_GT(compressor.gain, last - 1e-3f);
        last = compressor.gain;
    }
    EXPECT_GT(compressor.gain, 800.0f);
}

TEST_F(CompressorTest, WarningWithMoreThanHalfHeavyTicks) {
    compressor.compressorOn = 0; // the gain stays at 1000, no heavy tick added
    compressor.heavyTicks = 12001;
    compressor.allTicks = 24000;
    tick();
    EXPECT_EQ(notices.noticeId, 55);
    EXPECT_NEAR(notices.noticeIdleTime, t + 50, 0.5);
    EXPECT_NEAR(notices.noticeHoldTime, t + 45, 0.5);
    EXPECT_EQ(compressor.heavyTicks, 3600u);
    EXPECT_EQ(compressor.allTicks, 7200u);
}

TEST_F(CompressorTest, TheWarningWaitsForAHeldNotice) {
    compressor.compressorOn = 0;
    compressor.heavyTicks = 12001;
    compressor.allTicks = 24000;
    showNotice(notice::kPlaylistFull, {12, 5});
    tick();
    EXPECT_EQ(notices.noticeId, notice::kPlaylistFull);
    EXPECT_EQ(compressor.allTicks, 7200u) << "counted as shown";
    t += 4.9;
    tick();
    EXPECT_EQ(notices.noticeId, notice::kPlaylistFull);
    t += 0.2;
    tick();
    EXPECT_EQ(notices.noticeId, notice::kCompressorWarning);
    EXPECT_NEAR(notices.noticeHoldTime, t + 45, 0.5);
}

TEST_F(CompressorTest, NoWarningWithExactlyHalfAndBothCountersRestart) {
    compressor.compressorOn = 0;
    compressor.heavyTicks = 12000;
    compressor.allTicks = 24000;
    tick();
    EXPECT_NE(notices.noticeId, 55);
    EXPECT_EQ(compressor.heavyTicks, 0u);
    EXPECT_EQ(compressor.allTicks, 0u);
}

TEST_F(CompressorTest, VolumeGoesOutOnlyWhenTheGainMovedMoreThanTwo) {
    compressor.compressorOn = 0;
    transport.masterVolume = 0.5f;
    transport.channelOpen[0] = 0;
    transport.channelOpen[1] = 1;
    transport.currentChannel = 1;
    const auto commands = volumeCommandsWhile([&] {
        compressor.lastSentGain = 1000.0f;
        tick(); // no change
        compressor.lastSentGain = 998.0f;
        tick(); // exactly 2: still quiet
        compressor.lastSentGain = 997.5f;
        tick();
        EXPECT_EQ(compressor.lastSentGain, 1000.0f);
    });
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], "setaudio AUBIO_II volume to 500");
}

TEST_F(CompressorTest, WhileDuckedTheVolumeGoesOutEveryTickWithTheDuckingStep) {
    compressor.compressorOn = 0;
    compressor.lastSentGain = 1000.0f;
    compressor.duckFactor = 0.5f;
    const auto commands = volumeCommandsWhile([&] {
        tick();
        t += 0.005; // past the next ducking step
        tick();
    });
    // No gong plays, so the factor recovers by 4 % per step: 0.52, then 0.5408.
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], "setaudio AUBIO_I volume to 520");
    EXPECT_EQ(commands[1], "setaudio AUBIO_I volume to 540");
}

TEST_F(CompressorTest, NegativeVolumeIsSentAsZero) {
    compressor.compressorOn = 0;
    transport.masterVolume = -0.5f;
    const auto commands = volumeCommandsWhile([&] { tick(); });
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], "setaudio AUBIO_I volume to 0");
}

TEST_F(CompressorTest, WithBothChannelsClosedNothingHappensUnlessDucked) {
    transport.channelOpen[0] = 0;
    compressor.lastSentGain = 0;
    const auto commands = volumeCommandsWhile([&] { tick(); });
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(compressor.allTicks, 0u);
}

TEST_F(CompressorTest, TableReadsStayInsideForHugePositions) {
    setLevel(0, 30000);
    envelopes.blockCount[0] = kEnvelopeBlocks;
    tracks.playlist[1].lengthMs = 1;
    transport.channelSyncPos[0] = 2000000000;
    for (int i = 0; i < 50; ++i)
        tick();
    EXPECT_GE(compressor.gain, 100.0f);
    EXPECT_LE(compressor.gain, 1000.0f);

    envelopes.envelopePresent[1] = 1;
    envelopes.blockCount[1] = kEnvelopeBlocks;
    envelopes.startCue[1] = 0.99; // the window runs past the table's end
    setLevel(1, 30000);
    prepareNextTrackGain(1);
    EXPECT_LT(compressor.nextTrackGain, 1000.0f);

    envelopes.levelTable.clear(); // no tables at all: silence
    tick();
    EXPECT_GT(compressor.gain, 100.0f);
}

TEST_F(CompressorTest, PreparedGainFollowsTheSongsOpeningWindow) {
    envelopes.envelopePresent[1] = 1;
    setLevel(1, 20000);
    prepareNextTrackGain(1);
    // MEDI: 11 s from the start, 20 blocks per second, both ends included.
    float expected = 1000.0f;
    for (int i = 0; i <= 220; ++i)
        expected *= compressor.tempo[1].attack;
    EXPECT_FLOAT_EQ(compressor.nextTrackGain, expected);

    compressor.compressorOn = 0;
    prepareNextTrackGain(1);
    EXPECT_EQ(compressor.nextTrackGain, 1000.0f);
    compressor.compressorOn = 1;
    tracks.playPosition = 3; // the last song: nothing follows
    prepareNextTrackGain(1);
    EXPECT_EQ(compressor.nextTrackGain, 1000.0f);
}

// The fast steps begin just beyond their ratios of level to threshold: 1.28
// and 1.55 up, 0.75 and 0.6 down. Setup 0's curve is the identity, so the
// ratio is the gain after its normal step, in thousandths.
TEST_F(CompressorTest, FastStepsBeginJustBeyondTheirRatios) {
    compressor.setupNumber = 0;
    buildThresholdCurve(0);
    compressor.compressorOn = 1;
    compressor.tempoIndex = 0;
    setLevel(0, 10000);
    const TempoFactors& f = compressor.tempo[0];
    struct Case {
        float ratio;
        int up, down;
    };
    for (const Case c :
         {Case{1.551f, 2, 0}, Case{1.549f, 1, 0}, Case{1.281f, 1, 0}, Case{1.279f, 0, 0},
          Case{0.751f, 0, 0}, Case{0.749f, 0, 1}, Case{0.601f, 0, 1}, Case{0.599f, 0, 2}}) {
        compressor.wildness = 0;
        compressor.gain = 1000.0f * c.ratio / (c.ratio > 1 ? f.attack : f.release);
        tick();
        EXPECT_EQ(compressor.lastUp, c.up) << c.ratio;
        EXPECT_EQ(compressor.lastDown, c.down) << c.ratio;
    }
}

// --- Ducking -------------------------------------------------------------------------

TEST_F(CompressorTest, DeepestPlayingGongWinsUntilItsReleaseBeforeTheEnd) {
    std::vector<GongDuckInput> gongs = {{true, 0, 20000, 0.5f}, {true, 8599, 10000, 0.3f}};
    EXPECT_FLOAT_EQ(duckTargetOf(gongs, 0), 0.3f);
    gongs[1].positionMs = 8601; // 2 s x 0.7 = 1.4 s before its end
    EXPECT_FLOAT_EQ(duckTargetOf(gongs, 0), 0.5f);
    gongs[1].positionMs = 9299; // FAST lets go only 0.7 s before the end
    EXPECT_FLOAT_EQ(duckTargetOf(gongs, 1), 0.3f);
    gongs[0].playing = false;
    gongs[1].positionMs = 0;
    gongs[1].playing = false;
    EXPECT_FLOAT_EQ(duckTargetOf(gongs, 0), 1.0f);
}

// A duck of 0.5 lets go exactly 1 s before the gong's end, 0.5 s with FAST.
TEST_F(CompressorTest, TheDuckLetsGoOnTheMillisecond) {
    std::vector<GongDuckInput> gong = {{true, 8999, 10000, 0.5f}};
    EXPECT_FLOAT_EQ(duckTargetOf(gong, 0), 0.5f);
    gong[0].positionMs = 9000;
    EXPECT_FLOAT_EQ(duckTargetOf(gong, 0), 1.0f);
    gong[0].positionMs = 9499;
    EXPECT_FLOAT_EQ(duckTargetOf(gong, 1), 0.5f);
    gong[0].positionMs = 9500;
    EXPECT_FLOAT_EQ(duckTargetOf(gong, 1), 1.0f);
}

TEST_F(CompressorTest, DuckFactorStepsAndLimits) {
    EXPECT_FLOAT_EQ(stepDuckFactor(1.0f, 0.3f, 0), 0.96f);
    EXPECT_FLOAT_EQ(stepDuckFactor(0.31f, 0.3f, 0), 0.3f);
    EXPECT_FLOAT_EQ(stepDuckFactor(0.6f, 0.3f, 1), 0.6f * 0.96f * 0.975f);
    EXPECT_FLOAT_EQ(stepDuckFactor(0.2f, 1.0f, 0), 0.2f * 1.04f * 1.05f);
    EXPECT_FLOAT_EQ(stepDuckFactor(0.1f, 1.0f, 0), 0.1f * 1.04f * 1.05f * 1.05f);
    EXPECT_FLOAT_EQ(stepDuckFactor(0.99f, 1.0f, 0), 1.0f);
    // FAST comes back 3 % quicker while below 0.7 after the common step.
    EXPECT_FLOAT_EQ(stepDuckFactor(0.6f, 1.0f, 1), 0.6f * 1.04f * 1.03f);
    EXPECT_FLOAT_EQ(stepDuckFactor(0.68f, 1.0f, 1), 0.68f * 1.04f);
}

TEST_F(CompressorTest, DuckingStepsAtMostEveryTwentyMilliseconds) {
    compressor.duckFactor = 0.5f;
    updateDuck();
    updateDuck();
    EXPECT_FLOAT_EQ(compressor.duckFactor, 0.52f);
    t += 0.021;
    updateDuck();
    EXPECT_FLOAT_EQ(compressor.duckFactor, 0.52f * 1.04f);
}

// --- Button ---------------------------------------------------------------------------

int countColour(int x1, int y1, int x2, int y2, int colour) {
    int n = 0;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            n += screen::pixel(x, y) == colour;
    return n;
}

TEST_F(CompressorTest, SwitchedOffTheLabelsTurnGreyAndTheCurveIsDrawnInBlue) {
    toggleCompressor();
    EXPECT_EQ(compressor.compressorOn, 0);
    EXPECT_GT(countColour(231, 471, 311, 496, 8), 20);
    EXPECT_EQ(countColour(231, 471, 311, 496, 0), 0);
    EXPECT_GT(countColour(367, 483, 400, 512, 1), 20);
    toggleCompressor();
    EXPECT_EQ(countColour(231, 471, 311, 496, 8), 0);
}

TEST_F(CompressorTest, ReductionBarGrowsFromTheRightAsTheGainFalls) {
    compressor.compressorOn = 0;
    compressor.gain = 500.0f; // rises by one release step in the tick
    tick();
    // Odd playPosition: colour 41 from x = 227 + 88 x gain / 1001 to 315.
    const int from = int(std::nearbyint(227 + 88 * compressor.gain / 1001.0f));
    EXPECT_EQ(screen::pixel(from, 506), 41);
    EXPECT_EQ(screen::pixel(from - 1, 506), 27);
    EXPECT_EQ(screen::pixel(315, 506), 41);
}

TEST_F(CompressorTest, RightClickOnTheSetupFieldStepsUpAndRestartsTheWarningCount) {
    compressor.heavyTicks = 77;
    compressor.allTicks = 99;
    input::state.mouse.x = 350;
    input::state.mouse.y = 480;
    input::state.mouse.buttons = 2;
    dispatchMouse();
    EXPECT_EQ(compressor.setupNumber, 6);
    EXPECT_EQ(compressor.heavyTicks, 0u);
    EXPECT_EQ(compressor.allTicks, 0u);
    EXPECT_DOUBLE_EQ(mouseDispatch.clickLockUntil, t + 0.3);
}

} // namespace

// The control hears a matched song as it sounds: a quiet recording lifted
// fourfold is ridden exactly as a recording four times as loud.
TEST_F(CompressorTest, AMatchedSongIsRiddenAsItSoundsNotAsItIsRecorded) {
    auto ride = [&](int32_t level, float match) {
        setLevel(0, level);
        compressor = Compressor{};
        compressor.lastPlayPosition = 1;
        compressor.channelMatch = {match, 1000.0f};
        for (int i = 0; i < 200; ++i)
            tick();
        return compressor.gain;
    };
    const float loud = ride(4000, 1000.0f);
    EXPECT_LT(loud, 900.0f);
    EXPECT_FLOAT_EQ(ride(1000, 4000.0f), loud);
    EXPECT_EQ(ride(1000, 1000.0f), 1000.0f) << "unmatched, the quiet one stays at full gain";
}
