#include "ui/time_display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/envelope.h"
#include "app/mouse_dispatch.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/font.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "ui/control_panel.h"

#include "tests/support/pixels.h"

namespace {

using pixels::expectPixels;
using pixels::Px;
using pixels::textIs;

class TimeDisplayTest : public ::testing::Test {
  protected:
    double t = 1000.5;
    static constexpr int kBarY = 61 + 54;

    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        screen::fillBox(0, 0, screen::kWidth - 1, screen::kHeight - 1, 50);
        timing::install({[this] { return t; }, [this](double ms) { t += ms / 1000; }});
        clearLists();
        tracks.playPosition = tracks.playlistTop = 1;
    }
    void TearDown() override { timing::install({}); }

    static PlaylistEntry& addSong(int32_t ms, double rightTrigger = 0.9) {
        auto& e = tracks.playlist[size_t(++tracks.playlistCount)];
        const std::string name = "song" + std::to_string(tracks.playlistCount) + ".mp3";
        e = PlaylistEntry{padName(name), int32_t(name.size()), ms};
        e.rightTrigger = rightTrigger;
        return e;
    }
};

TEST(TimeDisplayText, ShortTimeBlanksTheLeadingZero) {
    EXPECT_EQ(shortTime(205000), " 3:25");
    EXPECT_EQ(shortTime(59000), " 0:59");
    EXPECT_EQ(shortTime(725000), "12:05");
}

TEST_F(TimeDisplayTest, TicksOfA90And50SecondSong) {
    PlaylistEntry& song = addSong(90000);
    drawTicks(0);
    // Every 10 s (x = 12 + 590 t / 90000) and the minute at 60 s; none per second or per 5 s.
    expectPixels({{78, kBarY - 3, 0},
                  {77, kBarY - 5, 14},
                  {405, kBarY - 2, 0},
                  {403, kBarY - 4, 14},
                  {401, kBarY - 6, 0},
                  {409, kBarY, 0},
                  {19, kBarY + 2, 50},
                  {45, kBarY - 2, 50}});

    screen::fillBox(0, 0, 999, 526, 50);
    song.lengthMs = 50000;
    drawTicks(0);
    // Every second down to y0 + 2, larger marks at 10 s steps, one at the very end.
    expectPixels({{24, kBarY + 2, 3},
                  {24, kBarY - 3, 3},
                  {27, kBarY + 2, 50},
                  {130, kBarY + 2, 3},
                  {130, kBarY - 3, 0},
                  {129, kBarY - 5, 14},
                  {602, kBarY - 3, 0},
                  {601, kBarY - 5, 14}});
}

TEST_F(TimeDisplayTest, ASongOfTwentyOneMinutesGetsItsMinuteAndTenMinuteMarks) {
    addSong(1260000);
    drawTicks(0);
    // Minute marks (x = 12 + 590 t / 1260000): 1 min at 40, 10 min at 293 in colour 12.
    expectPixels({{40, kBarY - 3, 0},
                  {38, kBarY - 5, 14},
                  {36, kBarY - 6, 0},
                  {293, kBarY - 3, 0},
                  {290, kBarY - 7, 12},
                  {25, kBarY - 3, 50}});
}

TEST_F(TimeDisplayTest, BarFollowsThePositionAndRestartsAfterAJump) {
    PlaylistEntry& song = addSong(100000);
    transport.channelOpen[0] = 1;
    song.positionMs = 50000;
    drawProgress(0);
    expectPixels({{12, kBarY + 1, 40}, {307, kBarY + 2, 40}, {309, kBarY + 1, 50}});
    EXPECT_TRUE(textIs(505, 120, " 0:50", 31));
    EXPECT_TRUE(textIs(557, 120, " 1:30", 31)); // the fade point at 0.9
    EXPECT_TRUE(textIs(557, 64, " 1:40", 31));

    song.positionMs = 20000; // back: not before 0.33 s, then from empty
    drawProgress(0);
    expectPixels({{200, kBarY + 1, 40}});
    t += 0.34;
    drawProgress(0);
    expectPixels({{130, kBarY + 1, 40}, {200, kBarY + 1, 35}, {200, kBarY, 35}});

    // A jump forward clears what an earlier song left behind.
    screen::fillBox(12, kBarY, 602, kBarY + 2, 40);
    timeDisplay.barJumped = 1;
    song.positionMs = 30000;
    t += 0.34;
    drawProgress(0);
    expectPixels({{180, kBarY + 1, 40}, {250, kBarY + 1, 35}});
    EXPECT_EQ(timeDisplay.barJumped, 0);
}

TEST_F(TimeDisplayTest, NearSongEndNeedsAPlayingChannel) {
    addSong(180000).positionMs = 155001;
    EXPECT_FALSE(nearSongEnd());
    transport.channelOpen[0] = 1;
    EXPECT_TRUE(nearSongEnd());
    tracks.playlist[1].positionMs = 155000;
    EXPECT_FALSE(nearSongEnd());
}

std::string clockAt(double secondsOfDay) {
    const long long s = ((long long)std::floor(secondsOfDay) % 86400 + 86400) % 86400;
    char text[32];
    std::snprintf(text, sizeof text, "ENDs @%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

TEST_F(TimeDisplayTest, EndClockAddsTriggersCuesAndEstimates) {
    for (int i = 0; i < 12; ++i)
        addSong(100000);
    envelopes.startCue[1] = 0.1;
    transport.channelOpen[0] = 1;
    tracks.playlist[1].positionMs = 30000;
    const double today = timing::timeOfDay();
    drawEndClock();
    // Cards: 90 s each up to the trigger, less the next card's 10 s cue; rows: 97 s each.
    EXPECT_TRUE(textIs(74, 120, clockAt(today + 90 - 30), 25));
    EXPECT_TRUE(textIs(74, 196, clockAt(today + 170 - 30), 25));
    EXPECT_TRUE(textIs(74, 306, clockAt(today + 357 - 30), 25));
    expectPixels({{185, 120, 35}, {185, 306, 38}});

    tracks.playlistTop = 3; // scrolled: the two songs above are summed first
    drawEndClock();
    expectPixels({{185, 76, 50}}); // not before the next whole second
    t += 1;
    drawEndClock();
    EXPECT_TRUE(textIs(74, 76, clockAt(today + 1 + 170 + 97 - 30), 25));
    expectPixels({{185, 76, 39}});

    // A card whose song is still being analysed has no trigger yet; it is
    // estimated like the rows below instead of counting as nothing.
    tracks.playlistTop = 1;
    tracks.playlist[3].rightTrigger = 0;
    screen::fillBox(0, 0, 999, 526, 50); // the view is drawn anew when it returns
    t += 1;
    drawEndClock();
    EXPECT_TRUE(textIs(74, 272, clockAt(today + 2 + 170 + 97 - 30), 25));
}

} // namespace
