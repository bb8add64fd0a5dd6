#include <gtest/gtest.h>

#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "texts/notices.h"

namespace {

class Tracks : public ::testing::Test {
  protected:
    double now = 50.0;
    void SetUp() override {
        timing::install({[this] { return now; }, [this](double ms) { now += ms / 1000.0; }});
        screen::open(screen::kWidth, screen::kHeight);
        clearLists();
        tracks.folderTable[1] = "/music/";
        tracks.folderTable[2] = "/other/";
        tracks.folderCount = 2;
    }
    void TearDown() override { timing::install({}); }

    static void addStack(const std::string& name, int mark = 0, int32_t lengthMs = 60000) {
        ASSERT_TRUE(appendStackEntry(name, lengthMs, 1, 0));
        tracks.stack[size_t(tracks.stackCount)].stackMark = uint8_t(mark);
    }
    static void addPlaylist(const std::string& name, int selected = 0) {
        int slot = ++tracks.playlistCount;
        auto& p = tracks.playlist[size_t(slot)];
        p.fileName = padName(name);
        p.nameLength = int32_t(name.size());
        p.lengthMs = 60000;
        p.folderIndex = 2;
        p.playlistSelected = uint8_t(selected);
    }
    static std::string stackNames() {
        std::string out;
        for (int i = 1; i <= tracks.stackCount; ++i)
            out += trackName(tracks.stack[size_t(i)]) + " ";
        return out;
    }
    static std::string playlistNames() {
        std::string out;
        for (int i = 1; i <= tracks.playlistCount; ++i)
            out += trackName(tracks.playlist[size_t(i)]) + " ";
        return out;
    }
};

TEST_F(Tracks, AdmissionBoundsAreInclusive) {
    EXPECT_TRUE(appendStackEntry("a.mp3", 19900, 1, 0));
    EXPECT_FALSE(appendStackEntry("b.mp3", 19899, 1, 0));
    EXPECT_TRUE(appendStackEntry("c.mp3", 306000, 1, 0));
    EXPECT_FALSE(appendStackEntry("d.mp3", 306001, 1, 0));
    EXPECT_FALSE(appendStackEntry("e.mp3", 0, 1, 0));
    EXPECT_EQ(tracks.stackCount, 2);
    EXPECT_EQ(stackNames(), "a.mp3 c.mp3 ");
    // A refused entry leaves its slot empty, as every slot above the count is.
    EXPECT_EQ(tracks.stack[3].nameLength, 0);
    EXPECT_EQ(tracks.stack[3].lengthMs, 0);
    EXPECT_EQ(tracks.stack[1].fileName.size(), 255u);
    EXPECT_EQ(fullPath(tracks.stack[1]), "/music/a.mp3");
}

TEST_F(Tracks, NamesLongerThan255NeverEnterAndTheStackHolds66) {
    EXPECT_FALSE(appendStackEntry(std::string(252, 'x') + ".mp3", 60000, 1, 0));
    for (int i = 0; i < 70; ++i)
        appendStackEntry("s" + std::to_string(i) + ".mp3", 60000, 1, 0);
    EXPECT_EQ(tracks.stackCount, 66);
}

TEST_F(Tracks, SameMp3IgnoresCaseAndFolder) {
    EXPECT_TRUE(sameMp3("Song.MP3", "song.mp3"));
    EXPECT_FALSE(sameMp3("song.mp3", "song2.mp3"));
    EXPECT_FALSE(sameMp3("song.mp3", "song.mp"));
}

TEST_F(Tracks, StableRemovalOfSelectedEntries) {
    for (int i = 1; i <= 6; ++i)
        addStack("s" + std::to_string(i) + ".mp3", (i == 2 || i == 3 || i == 5) ? 1 : 0);
    removeStackEntries(StackPredicate::Selected);
    EXPECT_EQ(tracks.stackCount, 3);
    EXPECT_EQ(stackNames(), "s1.mp3 s4.mp3 s6.mp3 ");
    for (int i = 4; i <= 6; ++i) {
        EXPECT_EQ(trackName(tracks.stack[size_t(i)]), "") << i;
        EXPECT_EQ(tracks.stack[size_t(i)].lengthMs, 0) << i;
        EXPECT_EQ(tracks.stack[size_t(i)].stackMark, 0) << i;
    }
}

TEST_F(Tracks, RemovalOfARunAtTheEndAndOfEverything) {
    for (int i = 1; i <= 4; ++i)
        addStack("s" + std::to_string(i) + ".mp3");
    tracks.stack[3].duplicateFlag = 1;
    tracks.stack[4].duplicateFlag = 1;
    removeStackEntries(StackPredicate::Duplicate);
    EXPECT_EQ(stackNames(), "s1.mp3 s2.mp3 ");
    tracks.stack[1].duplicateFlag = 1;
    tracks.stack[2].duplicateFlag = 1;
    removeStackEntries(StackPredicate::Duplicate);
    EXPECT_EQ(tracks.stackCount, 0);
}

TEST_F(Tracks, SendingToANearlyFullPlaylistMovesWhatFits) {
    for (int i = 1; i <= 60; ++i)
        addPlaylist("p" + std::to_string(i) + ".mp3");
    for (int i = 1; i <= 12; ++i)
        addStack("s" + std::to_string(i) + ".mp3", i <= 10 ? 1 : 0);
    int sent = sendSelectedToPlaylist();
    removeStackEntries(StackPredicate::Sent);
    EXPECT_EQ(sent, 6);
    EXPECT_EQ(tracks.playlistCount, 66);
    EXPECT_EQ(trackName(tracks.playlist[61]), "s1.mp3");
    EXPECT_EQ(trackName(tracks.playlist[66]), "s6.mp3");
    EXPECT_EQ(tracks.playlist[66].folderIndex, 1);
    EXPECT_EQ(stackNames(), "s7.mp3 s8.mp3 s9.mp3 s10.mp3 s11.mp3 s12.mp3 ");
    for (int i = 1; i <= tracks.stackCount; ++i)
        EXPECT_EQ(tracks.stack[size_t(i)].stackMark, 0) << i;
    EXPECT_EQ(notices.noticeId, 38);
}

TEST_F(Tracks, SendingToAFullPlaylistMovesNothingAndClearsTheSelection) {
    for (int i = 1; i <= 66; ++i)
        addPlaylist("p" + std::to_string(i) + ".mp3");
    addStack("a.mp3", 1);
    addStack("b.mp3", 1);
    EXPECT_EQ(sendSelectedToPlaylist(), 0);
    EXPECT_EQ(tracks.playlistCount, 66);
    EXPECT_EQ(tracks.stackCount, 2);
    EXPECT_EQ(tracks.stack[1].stackMark, 0);
    EXPECT_EQ(tracks.stack[2].stackMark, 0);
    EXPECT_EQ(notices.noticeId, 38);
    EXPECT_NEAR(now, 50.4, 0.02); // the refusal waits 0.4 s
}

TEST_F(Tracks, SentEntriesAreMarkedThenPurged) {
    addStack("a.mp3", 1);
    addStack("b.mp3", 0);
    addStack("c.mp3", 1);
    EXPECT_EQ(sendSelectedToPlaylist(), 2);
    EXPECT_EQ(tracks.stack[1].stackMark, 2);
    EXPECT_EQ(tracks.stack[1].duplicateFlag, 1);
    removeStackEntries(StackPredicate::Sent);
    EXPECT_EQ(stackNames(), "b.mp3 ");
    EXPECT_EQ(playlistNames(), "a.mp3 c.mp3 ");
    EXPECT_EQ(tracks.playlist[1].playlistSelected, 0);
}

TEST_F(Tracks, InsertBehindOpensAGapAndKeepsPositionsWithTheirSlots) {
    for (int i = 1; i <= 5; ++i)
        addPlaylist("p" + std::to_string(i) + ".mp3");
    tracks.playlist[3].positionMs = 1234;
    addStack("a.mp3", 1);
    addStack("b.mp3", 0);
    addStack("c.mp3", 1);
    EXPECT_TRUE(insertSelectedBehind(2, 0));
    EXPECT_EQ(playlistNames(), "p1.mp3 p2.mp3 a.mp3 c.mp3 p3.mp3 p4.mp3 p5.mp3 ");
    EXPECT_EQ(tracks.playlist[3].positionMs, 1234);
    EXPECT_EQ(stackNames(), "b.mp3 ");
    EXPECT_TRUE(tracks.staleCheckDue) << "the envelope slots may hold other songs now";
}

TEST_F(Tracks, InsertThatDoesNotFitChangesNothing) {
    for (int i = 1; i <= 65; ++i)
        addPlaylist("p" + std::to_string(i) + ".mp3");
    addStack("a.mp3", 1);
    addStack("b.mp3", 1);
    EXPECT_FALSE(insertSelectedBehind(3, 0));
    EXPECT_EQ(tracks.playlistCount, 65);
    EXPECT_EQ(tracks.stackCount, 2);
    EXPECT_EQ(notices.noticeId, 38);
}

TEST_F(Tracks, DeletingTheSelectionKeepsThePlayingSong) {
    for (int i = 1; i <= 8; ++i)
        addPlaylist("p" + std::to_string(i) + ".mp3", (i == 3 || i == 4 || i == 6) ? 1 : 0);
    tracks.playlist[1].playlistSelected = 1; // before the current song: never touched
    tracks.playPosition = 3;
    tracks.playlistTop = 3;
    removePlaylistSelection(0, true);
    EXPECT_EQ(playlistNames(), "p1.mp3 p2.mp3 p3.mp3 p5.mp3 p7.mp3 p8.mp3 ");
    EXPECT_EQ(tracks.removalCode, 10); // slot 3 cleared first, slot 4 selected, slot 5 not
    for (int i = 1; i <= maxTracks; ++i)
        EXPECT_EQ(tracks.playlist[size_t(i)].playlistSelected, 0) << i;
    EXPECT_EQ(tracks.stackCount, 0);
}

// Keys typed while a selection in two runs is removed stay queued for the
// main loop, in their order.
TEST_F(Tracks, KeysTypedDuringARemovalAreKept) {
    for (int i = 1; i <= 6; ++i)
        addPlaylist("p" + std::to_string(i) + ".mp3", (i == 2 || i == 4 || i == 5) ? 1 : 0);
    tracks.playPosition = 1;
    input::pushKey("a");
    input::pushKey("\x10"); // Ctrl+P
    removePlaylistSelection(0, true);
    EXPECT_EQ(playlistNames(), "p1.mp3 p3.mp3 p6.mp3 ");
    EXPECT_EQ(input::readKey(), "a");
    EXPECT_EQ(input::readKey(), "\x10");
    EXPECT_EQ(input::readKey(), "");
}

TEST_F(Tracks, MovingToTheStackDropsWhatDoesNotFit) {
    for (int i = 1; i <= 65; ++i)
        addStack("s" + std::to_string(i) + ".mp3");
    for (int i = 1; i <= 4; ++i)
        addPlaylist("p" + std::to_string(i) + ".mp3", i >= 2 ? 1 : 0);
    removePlaylistSelection(2, false);
    EXPECT_EQ(tracks.stackCount, 66);
    EXPECT_EQ(trackName(tracks.stack[66]), "p2.mp3");
    EXPECT_EQ(tracks.stack[66].stackMark, 1);
    EXPECT_EQ(playlistNames(), "p1.mp3 ");
    EXPECT_EQ(notices.noticeId, 81);
    EXPECT_EQ(tracks.removalCode, 11);
}

TEST_F(Tracks, SwappingPlaylistSlotsLeavesPositionsInPlace) {
    addPlaylist("a.mp3", 1);
    addPlaylist("b.mp3");
    tracks.playlist[1].positionMs = 111;
    tracks.playlist[2].positionMs = 222;
    swapEntries(ListKind::Playlist, 1, 2);
    EXPECT_EQ(playlistNames(), "b.mp3 a.mp3 ");
    EXPECT_EQ(tracks.playlist[2].playlistSelected, 1);
    EXPECT_EQ(tracks.playlist[1].positionMs, 111);
    addStack("x.mp3", 1, 30000);
    addStack("y.mp3", 0, 40000);
    swapEntries(ListKind::Stack, 1, 2);
    EXPECT_EQ(stackNames(), "y.mp3 x.mp3 ");
    EXPECT_EQ(tracks.stack[2].lengthMs, 30000);
    EXPECT_EQ(tracks.stack[2].stackMark, 1);
}

TEST_F(Tracks, ClearListsLeavesNothingBehind) {
    addStack("a.mp3", 1);
    tracks.stack[1].duplicateFlag = 1;
    addPlaylist("b.mp3", 1);
    clearLists();
    EXPECT_EQ(tracks.stackCount, 0);
    EXPECT_EQ(tracks.playlistCount, 0);
    EXPECT_EQ(tracks.folderCount, 0);
    for (int i = 0; i <= maxTracks; ++i) {
        EXPECT_EQ(tracks.stack[size_t(i)].stackMark, 0);
        EXPECT_EQ(tracks.stack[size_t(i)].duplicateFlag, 0);
        EXPECT_EQ(tracks.stack[size_t(i)].fileName, std::string(255, ' '));
        EXPECT_EQ(tracks.playlist[size_t(i)].playlistSelected, 0);
        EXPECT_EQ(trackName(tracks.playlist[size_t(i)]), "");
    }
}

} // namespace
