#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "analysis/envelope.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/random.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"

namespace {

// The list operations on the track tables, without drawing.
class ListOpsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hooks::install({});
        tracks.folderTable[1] = "/music/";
        tracks.folderCount = 1;
    }
    static std::string name(const std::string& base) { return base + ".mp3"; }
    void playlist(const std::string& letters) {
        for (char c : letters) {
            auto& p = tracks.playlist[size_t(++tracks.playlistCount)];
            p.fileName = padName(name(std::string(1, c)));
            p.nameLength = 5;
            p.lengthMs = 200000;
            p.folderIndex = 1;
        }
    }
    void stack(int n, int firstNumber = 1) {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(appendStackEntry(name("s" + std::to_string(firstNumber + i)),
                                         30000 + 1000 * ((i * 7) % 11), 1, 0));
    }
    static std::string playlistOrder() {
        std::string out;
        for (int i = 1; i <= tracks.playlistCount; ++i)
            out += trackName(tracks.playlist[size_t(i)]).substr(0, 1);
        return out;
    }
    static std::string stackNames() {
        std::string out;
        for (int i = 1; i <= tracks.stackCount; ++i)
            out += trackName(tracks.stack[size_t(i)]) + " ";
        return out;
    }
    static int marked() {
        int n = 0;
        for (int i = 1; i <= tracks.stackCount; ++i)
            n += tracks.stack[size_t(i)].stackMark == kMarkSelected;
        return n;
    }
};

TEST_F(ListOpsTest, CtrlClickMovesTheSelectedSongsBehindTheTargetInTheirOrder) {
    playlist("ABCDEFGH");
    stack(2);
    tracks.playlist[2].playlistSelected = tracks.playlist[3].playlistSelected = 1;
    EXPECT_EQ(insertOrReorder(5, true), PlaylistClick::Done);
    EXPECT_EQ(playlistOrder(), "ADEBCFGH");
    EXPECT_EQ(stackNames(), "s1.mp3 s2.mp3 ") << "the stack only lends its room";
    EXPECT_EQ(marked(), 0);

    tracks.playlist[4].playlistSelected = tracks.playlist[5].playlistSelected = 1; // B C
    insertOrReorder(8, true);
    EXPECT_EQ(playlistOrder(), "ADEFGHBC");
}

// The target right below or right above the moved songs: the songs land
// behind it, and right above it nothing moves.
TEST_F(ListOpsTest, AReorderOntoTheNeighbourOfTheMovedSongs) {
    playlist("ABCDEFGH");
    stack(1);
    tracks.playPosition = 1;
    tracks.playlist[3].playlistSelected = tracks.playlist[4].playlistSelected = 1; // C D
    insertOrReorder(5, true);
    EXPECT_EQ(playlistOrder(), "ABECDFGH");
    tracks.playlist[4].playlistSelected = tracks.playlist[5].playlistSelected = 1; // C D
    insertOrReorder(3, true);
    EXPECT_EQ(playlistOrder(), "ABECDFGH");
    tracks.playlist[4].playlistSelected = tracks.playlist[5].playlistSelected = 1;
    insertOrReorder(2, true);
    EXPECT_EQ(playlistOrder(), "ABCDEFGH");
    EXPECT_EQ(stackNames(), "s1.mp3 ");
}

TEST_F(ListOpsTest, AReorderWithoutRoomInTheStackChangesNothing) {
    playlist("ABCD");
    stack(65);
    tracks.playlist[2].playlistSelected = tracks.playlist[3].playlistSelected = 1;
    EXPECT_EQ(insertOrReorder(4, true), PlaylistClick::Refused);
    EXPECT_EQ(playlistOrder(), "ABCD");
    EXPECT_EQ(tracks.stackCount, 65);
}

TEST_F(ListOpsTest, ShiftClickAfterAnUnselectSelectsTheRange) {
    stack(6);
    selectStackEntry(2);
    selectStackEntry(2); // unselected: the anchor state becomes 1
    EXPECT_EQ(marked(), 0);
    selectStackRange(5);
    EXPECT_EQ(marked(), 4);
    EXPECT_EQ(listOps.stackAnchor, 5);
    // A grey entry in a range is skipped with DOUB off.
    tracks.stack[6].duplicateFlag = 1;
    selectStackRange(6);
    EXPECT_EQ(tracks.stack[6].stackMark, kMarkFree);
}

TEST_F(ListOpsTest, SortsNeedFiveEntriesAndAlternateTheirDirection) {
    stack(4);
    EXPECT_FALSE(sortStack(true));
    EXPECT_EQ(listOps.nameOrderFlag, 0);
    stack(1, 5);
    std::swap(tracks.stack[1], tracks.stack[4]);
    EXPECT_TRUE(sortStack(true));
    EXPECT_EQ(stackNames(), "s1.mp3 s2.mp3 s3.mp3 s4.mp3 s5.mp3 ");
    EXPECT_EQ(listOps.nameOrderFlag, 1) << "\"CBA\" is shown next";
    sortStack(true);
    EXPECT_EQ(stackNames(), "s5.mp3 s4.mp3 s3.mp3 s2.mp3 s1.mp3 ");
    sortStack(false);
    for (int i = 2; i <= tracks.stackCount; ++i)
        EXPECT_LE(tracks.stack[size_t(i - 1)].lengthMs, tracks.stack[size_t(i)].lengthMs);
}

TEST_F(ListOpsTest, ThePlaylistShuffleLeavesTheCurrentSongAndTheNextTwo) {
    playlist("ABCDEFGH");
    tracks.playPosition = 3;
    EXPECT_FALSE(shufflePlaylist()) << "3 + 6 > 8";
    playlist("I");
    for (int seed = 1; seed <= 40; ++seed) {
        rng::seed(uint64_t(seed));
        ASSERT_TRUE(shufflePlaylist());
        EXPECT_EQ(playlistOrder().substr(0, 5), "ABCDE");
        std::string rest = playlistOrder().substr(5);
        std::sort(rest.begin(), rest.end());
        EXPECT_EQ(rest, "FGHI");
    }
}

TEST_F(ListOpsTest, EntfRemovesTheGreyEntriesFirstThenTheSelection) {
    stack(7);
    tracks.stack[2].duplicateFlag = tracks.stack[6].duplicateFlag = 1;
    for (int i : {1, 3, 4})
        tracks.stack[size_t(i)].stackMark = kMarkSelected;
    deleteFromStack();
    EXPECT_EQ(stackNames(), "s1.mp3 s3.mp3 s4.mp3 s5.mp3 s7.mp3 ");
    deleteFromStack();
    EXPECT_EQ(stackNames(), "s5.mp3 s7.mp3 ");
}

// Empty lists: every operation does nothing. Full lists: sends and inserts
// are refused with notice 38 and change nothing.
TEST_F(ListOpsTest, EmptyListsDoNothingAndFullListsRefuse) {
    selectStackEntry(1);
    selectStackRange(3);
    clearDuplicateMark(1);
    selectAll();
    sendToPlaylist();
    deleteFromStack();
    EXPECT_FALSE(sortStack(true));
    shuffleStack();
    EXPECT_FALSE(shufflePlaylist());
    EXPECT_EQ(selectPlaylistSong(1, false, false, false), PlaylistClick::Done);
    EXPECT_EQ(insertOrReorder(1, false), PlaylistClick::Done);
    EXPECT_EQ(tracks.stackCount + tracks.playlistCount, 0);
    EXPECT_EQ(listOps.stackAnchor, 0);

    double clockSeconds = 1000; // the refusal waits a moment for the user
    timing::install({[&] { return clockSeconds; }, [&](double ms) { clockSeconds += ms / 1000; }});
    for (int i = 0; i < maxTracks; ++i)
        playlist("Q");
    stack(66);
    selectAll();
    sendToPlaylist();
    EXPECT_EQ(notices.noticeId, notice::kPlaylistFull);
    EXPECT_EQ(tracks.stackCount, 66);
    EXPECT_EQ(tracks.playlistCount, 66);
    selectAll();
    insertOrReorder(10, false);
    EXPECT_EQ(tracks.stackCount, 66);
    EXPECT_EQ(tracks.playlistCount, 66);
    timing::install({});
}

// Each envelope slot holds its song or nothing, whatever moved.
TEST_F(ListOpsTest, EnvelopeSlotsStayWithTheirSongs) {
    playlist("ABCDEFGHIJ");
    allocateEnvelopes();
    auto fill = [] {
        for (int k = 0; k < kEnvelopeSlots; ++k) {
            finishEnvelope(k, 10);
            envelopes.envelopeTrackName[size_t(k)] =
                trackName(tracks.playlist[size_t(tracks.playPosition + k)]);
        }
    };
    auto consistent = [] {
        for (int k = 0; k < kEnvelopeSlots; ++k) {
            const std::string& held = envelopes.envelopeTrackName[size_t(k)];
            if (held.empty()) continue;
            if (held != trackName(tracks.playlist[size_t(tracks.playPosition + k)])) return false;
        }
        return true;
    };
    fill();
    tracks.playlist[2].playlistSelected = 1; // B, the next song, moves behind F
    insertOrReorder(6, true);
    EXPECT_EQ(playlistOrder(), "ACDEFBGHIJ");
    EXPECT_TRUE(consistent());
    fill();
    tracks.playlist[3].playlistSelected = 1;
    removePlaylistSelection(kRemoveDelete, true);
    EXPECT_TRUE(consistent());
    fill();
    stack(1);
    tracks.stack[1].stackMark = kMarkSelected;
    insertOrReorder(1, true); // behind the playing song: the next song changes
    EXPECT_TRUE(consistent());
    EXPECT_TRUE(envelopes.envelopeTrackName[1].empty());
    fill();
    shufflePlaylist();
    EXPECT_TRUE(consistent());
    EXPECT_EQ(envelopes.envelopeTrackName[2], trackName(tracks.playlist[3]));
}

// A few thousand random operations on lists of every fill level, the player
// moving on and the endless rotation among them: no song is ever lost or
// doubled except by a delete, the counts stay in bounds, the playing song
// stays where it plays. Seeded: a failure names its seed.
TEST_F(ListOpsTest, RandomOperationsNeverLoseOrDoubleASong) {
    // The envelope tables are large; their bookkeeping has its own test.
    setRemovalHandler(nullptr);
    setOrderChangeHandler(nullptr);
    // Refusals wait a moment for the user to see them: in virtual time here.
    double clockSeconds = 1000;
    timing::install({[&] { return clockSeconds; }, [&](double ms) { clockSeconds += ms / 1000; }});
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        clearLists();
        tracks.folderTable[1] = "/music/";
        tracks.folderCount = 1;
        listOps = ListOps{};
        rng::seed(seed);
        std::mt19937 random(seed);
        auto pick = [&](int n) { return n <= 0 ? 0 : int(random() % uint32_t(n)) + 1; };
        int nextSong = 1;
        playlist("P");
        tracks.playPosition = 1;
        std::string playing = trackName(tracks.playlist[1]);
        std::map<std::string, int> after;
        for (int step = 0; step < 500; ++step) {
            std::map<std::string, int> before;
            before.swap(after);
            if (step == 0) before[playing] = 1;
            bool mayLose = false;
            const int op = pick(14);
            std::set<std::string> selected;
            for (int i = 1; i <= tracks.playlistCount; ++i)
                if (tracks.playlist[size_t(i)].playlistSelected == 1)
                    selected.insert(trackName(tracks.playlist[size_t(i)]));
            const std::string shownFirst = trackName(tracks.playlist[size_t(tracks.playlistTop)]);
            switch (op) {
            case 1: // an import of a few songs
                for (int n = pick(12); n > 0 && tracks.stackCount < maxTracks; --n)
                    appendStackEntry(name("t" + std::to_string(nextSong++)), 40000, 1, 0);
                break;
            case 2:
                selectStackEntry(pick(tracks.stackCount));
                break;
            case 3:
                selectStackRange(pick(tracks.stackCount));
                break;
            case 4:
                selectAll();
                break;
            case 5:
                sendToPlaylist();
                break;
            case 6:
                selectPlaylistSong(pick(tracks.playlistCount), random() % 2, true, false);
                break;
            case 7:
                insertOrReorder(pick(tracks.playlistCount), true);
                break;
            case 8:
                mayLose = true; // Del, or ZUM STAPEL into a full stack
                removePlaylistSelection(random() % 2 ? kRemoveDelete : kRemoveToStack, true);
                break;
            case 9:
                mayLose = true;
                deleteFromStack();
                break;
            case 10:
                sortStack(random() % 2);
                break;
            case 11:
                shuffleStack();
                break;
            case 12:
                shufflePlaylist();
                break;
            case 13:
                if (rotatePlaylistToCurrent() > 0) {
                    ASSERT_EQ(tracks.playPosition, 1);
                    ASSERT_EQ(trackName(tracks.playlist[size_t(tracks.playlistTop)]), shownFirst);
                    for (int i = 1; i <= tracks.playlistCount; ++i)
                        ASSERT_EQ(tracks.playlist[size_t(i)].playlistSelected == 1,
                                  selected.count(trackName(tracks.playlist[size_t(i)])) == 1);
                }
                break;
            case 14: // the next song plays
                if (tracks.playPosition < tracks.playlistCount) {
                    tracks.playlist[size_t(++tracks.playPosition)].playlistSelected = 0;
                    playing = trackName(tracks.playlist[size_t(tracks.playPosition)]);
                }
                break;
            }
            ASSERT_LE(tracks.stackCount, maxTracks) << "op " << op;
            ASSERT_LE(tracks.playlistCount, maxTracks) << "op " << op;
            ASSERT_EQ(trackName(tracks.playlist[size_t(tracks.playPosition)]), playing)
                << "op " << op;
            for (int i = 1; i <= tracks.stackCount; ++i) {
                ++after[trackName(tracks.stack[size_t(i)])];
                ASSERT_EQ(tracks.stack[size_t(i)].folderIndex, 1);
            }
            for (int i = 1; i <= tracks.playlistCount; ++i) {
                ++after[trackName(tracks.playlist[size_t(i)])];
                ASSERT_EQ(tracks.playlist[size_t(i)].folderIndex, 1);
            }
            for (const auto& [song, n] : after) {
                ASSERT_EQ(n, 1) << song << " doubled by op " << op;
                const bool imported = op == 1 && !before.count(song);
                ASSERT_TRUE(before.count(song) || imported) << song << " appeared from nowhere";
            }
            if (!mayLose) {
                for (const auto& [song, n] : before)
                    ASSERT_EQ(after.count(song), 1u) << song << " lost by op " << op;
            }
            for (int i = tracks.stackCount + 1; i < kTrackSlots; ++i)
                ASSERT_TRUE(trackName(tracks.stack[size_t(i)]).empty()) << "stack slot " << i;
        }
    }
}

// "3x Klick" on LOAD MP3s: the folder goes into the playlist in a random
// order, the stack is empty again, and the stopped player starts.
TEST(ListOpsScenario, ATripleClickOnLoadMp3sLoadsShufflesAndPlays) {
    fixtures::TempDir dir;
    const std::string music = dir.file("m") + "/";
    std::filesystem::create_directory(music);
    fixtures::TempDir sources;
    ASSERT_TRUE(fixtures::makeSineMp3(sources.file("x.mp3"), 25, 440, 0.3, 8000, 1));
    for (int i = 1; i <= 8; ++i)
        std::filesystem::copy_file(sources.file("x.mp3"),
                                   music + "song" + std::to_string(i) + ".mp3");
    auto r = scenario::run(dir.path(),
                           "wait 1\ndialog " + music +
                               "song1.mp3\nclick 956 83\nclick 956 83\n"
                               "click 956 83\nwait 2\ndump d.txt\n",
                           {}, scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["playlistCount"], "8");
    EXPECT_EQ(d["stackCount"], "0");
    EXPECT_EQ(d["playerRunning"], "1");
    std::string order;
    for (int i = 1; i <= 8; ++i)
        order += d["playlist." + std::to_string(i)].substr(4, 1);
    EXPECT_NE(order, "12345678") << "shuffled";
}

} // namespace
