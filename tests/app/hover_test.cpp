#include "app/hover.h"

#include <gtest/gtest.h>

#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "texts/notices.h"
#include "ui/control_panel.h"

namespace {

class HoverHelp : public ::testing::Test {
  protected:
    double t = 100;
    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        screen::setColors(0, 58);
        screen::clear();
        auto advance = [this](double ms) { t += ms / 1000; };
        timing::install({[this] { return t; }, advance, advance});
        input::state = input::State{};
    }
    void TearDown() override {
        timing::install({});
        input::state = input::State{};
    }
    // The pointer rests at (x, y) and the tracker runs once.
    int restAt(int x, int y) {
        input::state.mouse.x = x;
        input::state.mouse.y = y;
        trackHover();
        return notices.noticeId;
    }
};

TEST_F(HoverHelp, EachControlChoosesItsHelpNotice) {
    controlPanel.rightTab = 1;
    tracks.playlistCount = 2;
    tracks.stackCount = 2;
    struct Case {
        int x, y, id;
    };
    for (Case c : {Case{30, 30, 10},   Case{260, 30, 11},  Case{190, 30, 12},  Case{370, 30, 13},
                   Case{520, 30, 14},  Case{596, 30, 15},  Case{450, 30, 16},  Case{250, 490, 17},
                   Case{321, 490, 0},  Case{322, 490, 18}, Case{450, 490, 19}, Case{520, 480, 20},
                   Case{800, 80, 48},  Case{850, 80, 49},  Case{950, 80, 21},  Case{900, 80, 22},
                   Case{180, 490, 23}, Case{730, 80, 25},  Case{670, 80, 26},  Case{667, 430, 27},
                   Case{717, 430, 28}, Case{817, 430, 29}, Case{917, 430, 52}, Case{960, 430, 60},
                   Case{767, 430, 30}, Case{867, 430, 59}, Case{110, 30, 31},  Case{600, 480, 32},
                   Case{6, 462, 33},   Case{157, 520, 33}, Case{560, 510, 34}, Case{608, 451, 63},
                   Case{621, 62, 63},  Case{978, 300, 64}}) {
        notices = Notices{};
        // 0: nothing there, the idle notice stays.
        EXPECT_EQ(restAt(c.x, c.y), c.id == 0 ? notice::kIdle : c.id) << c.x << ", " << c.y;
    }
}

TEST_F(HoverHelp, EdgesThatBelongToNoControl) {
    tracks.playlistCount = 2;
    tracks.stackCount = 2;
    for (auto [x, y] : {std::pair{64, 30},
                        {5, 462},
                        {158, 470},
                        {560, 505},
                        {607, 200},
                        {622, 200},
                        {615, 61},
                        {615, 452},
                        {971, 300},
                        {500, 503},
                        {690, 430}}) {
        notices = Notices{};
        EXPECT_EQ(restAt(x, y), notice::kIdle) << x << ", " << y;
    }
}

TEST_F(HoverHelp, StackPanelControlsNeedTheStackTab) {
    controlPanel.rightTab = 3; // an INFO page
    for (auto [x, y] : {std::pair{950, 80}, {670, 80}, {667, 430}, {960, 430}}) {
        notices = Notices{};
        EXPECT_EQ(restAt(x, y), notice::kIdle) << x << ", " << y;
    }
}

TEST_F(HoverHelp, ScrollBarsExplainThemselvesOnlyWithTwoEntries) {
    tracks.playlistCount = 1;
    tracks.stackCount = 1;
    EXPECT_EQ(restAt(615, 200), notice::kIdle);
    EXPECT_EQ(restAt(978, 200), notice::kIdle);
}

TEST_F(HoverHelp, EnvelopeRowsWhileTheViewShowsTheCurrentSong) {
    tracks.playlistCount = 5;
    EXPECT_EQ(restAt(100, 279), 51);
    notices = Notices{};
    EXPECT_EQ(restAt(100, 280), notice::kIdle);
    tracks.playlistTop = 3;
    notices = Notices{};
    EXPECT_EQ(restAt(100, 200), notice::kIdle);
}

TEST_F(HoverHelp, TheLinkNoticeReplacesOnlyTheIdleNotice) {
    EXPECT_EQ(restAt(700, 500), notice::kLink);
    t += 1;
    EXPECT_EQ(restAt(700, 500), notice::kLink) << "stays while the pointer rests";
    notices = Notices{};
    notices.noticeId = 10;
    notices.noticeIdleTime = t + 1;
    EXPECT_EQ(restAt(700, 500), 10);
    EXPECT_EQ(restAt(700, 490), 10);
}

TEST_F(HoverHelp, TheChosenNoticeIsDrawn) {
    restAt(30, 30);
    EXPECT_EQ(notices.lastNoticeId, 10);
    EXPECT_EQ(screen::pixel(kNoticeLeft + 5, kNoticeTop + 5), 31) << "help box colour";
}

TEST_F(HoverHelp, AHeldNoticeIsNotReplacedBeforeItsHoldTime) {
    showNotice(44, {12, 5});
    t += 4.9;
    EXPECT_EQ(restAt(30, 30), 44);
    EXPECT_EQ(notices.lastNoticeId, 44);
    t += 0.2;
    EXPECT_EQ(restAt(30, 30), 10);
    EXPECT_EQ(notices.lastNoticeId, 10);
}

TEST_F(HoverHelp, AForcedNoticeIgnoresTheHold) {
    showNotice(44, {12, 5});
    notices.noticeForce = 1;
    EXPECT_EQ(restAt(30, 30), 10);
    EXPECT_EQ(notices.lastNoticeId, 10);
}

TEST_F(HoverHelp, AnOperationsNoticeStaysUntilItsIdleTimeWhenNoControlIsUnderThePointer) {
    showNotice(44, {12, 5});
    t += 11;
    EXPECT_EQ(restAt(634, 300), 44);
    t += 1.1;
    EXPECT_EQ(restAt(634, 300), notice::kIdle);
    EXPECT_DOUBLE_EQ(notices.noticeIdleTime, t + 2);
}

TEST_F(HoverHelp, HelpFallsBackToIdleTwoSecondsAfterThePointerLeftTheControl) {
    EXPECT_EQ(restAt(30, 30), 10); // idle time now + 2
    t += 1.9;
    EXPECT_EQ(restAt(634, 300), 10);
    t += 0.2;
    EXPECT_EQ(restAt(634, 300), notice::kIdle);
}

TEST_F(HoverHelp, NoticeZeroBecomesTheIdleNotice) {
    notices.noticeId = 0;
    notices.noticeIdleTime = t + 10;
    EXPECT_EQ(restAt(634, 300), notice::kIdle);
}

TEST_F(HoverHelp, SaveHelpIsDrawnAtOnceAndHeldSixSeconds) {
    EXPECT_EQ(restAt(500, 504), 79);
    EXPECT_EQ(notices.lastNoticeId, 79);
    EXPECT_DOUBLE_EQ(notices.noticeHoldTime, t + 6);
    t += 5.9;
    EXPECT_EQ(restAt(30, 30), 79);
    t += 0.2;
    EXPECT_EQ(restAt(30, 30), 10);
    EXPECT_EQ(restAt(500, 521), 79);
}

} // namespace
