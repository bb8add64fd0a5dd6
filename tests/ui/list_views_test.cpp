#include "ui/list_views.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/decoder.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/font.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "ui/control_panel.h"

#include "tests/support/pixels.h"

namespace {

using pixels::expectPixels;
using pixels::Px;
using pixels::textIs;

bool noColourIn(int x1, int y1, int x2, int y2, int c) {
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            if (screen::pixel(x, y) == c) return false;
    return true;
}

class ListViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        clearLists();
        tracks.playPosition = tracks.playlistTop = 1;
        tracks.allowDuplicates = 0;
        tracks.folderTable[1] = "/nonexistent-klangkelter-folder/";
        tracks.folderCount = 1;
        controlPanel.rightTab = 3;
        timing::Source clock;
        clock.now = [this] { return clockSeconds; };
        clock.sleep = [this](double ms) {
            sleepsMs.push_back(ms);
            clockSeconds += ms / 1000;
        };
        timing::install(clock);
    }
    void TearDown() override { timing::install({}); }

    static void addStack(const std::string& name, int32_t ms, int16_t duplicate = 0,
                         uint8_t mark = 0) {
        auto& e = tracks.stack[size_t(++tracks.stackCount)];
        e = StackEntry{padName(name), int32_t(name.size()), ms, 1, duplicate, mark};
    }
    static void addStacks(int n) {
        for (int i = 1; i <= n; ++i)
            addStack("Song" + std::to_string(i) + ".mp3", 60000);
    }
    static void addSong(const std::string& name, int32_t ms) {
        auto& e = tracks.playlist[size_t(++tracks.playlistCount)];
        e = PlaylistEntry{padName(name), int32_t(name.size()), ms, 1, 0, 0};
    }
    static void addSongs(int n, int32_t ms = 205000) {
        for (int i = 1; i <= n; ++i)
            addSong("Song" + std::to_string(i) + ".mp3", ms);
    }

    double clockSeconds = 100;
    std::vector<double> sleepsMs;
};

// Text line of stack row r.
constexpr int rowY(int r) {
    return kStackTop + 15 * r - 5;
}

using StackViewTest = ListViewTest;
using PlaylistViewTest = ListViewTest;

TEST(ListViewLengthText, MinutesAndSecondsOfTheTimeOfDay) {
    EXPECT_EQ(lengthText(0), "--:--");
    EXPECT_EQ(lengthText(400), "--:--") << "rounds to 00:00";
    EXPECT_EQ(lengthText(205000), "03:25");
    EXPECT_EQ(lengthText(59499), "00:59");
    EXPECT_EQ(lengthText(58500), "00:58") << "halves to even";
    EXPECT_EQ(lengthText(59500), "01:00");
    EXPECT_EQ(lengthText(3723000), "02:03") << "hours wrap";
    EXPECT_EQ(lengthText(3600000), "--:--");
}

// --- Stack panel -------------------------------------------------------------

TEST_F(StackViewTest, SelectsTheStackTabAndDrawsFrameAndTopButtons) {
    drawStackView();
    EXPECT_EQ(controlPanel.rightTab, 1);
    expectPixels({{640, 56, 24},
                  {641, 57, 20},
                  {642, 58, 23},
                  {643, 59, 25},
                  {990, 422, 24},
                  {645, 103, 7},
                  {644, 106, 0},
                  {986, 418, 0},
                  {700, 300, 17}});
    for (Px b : {Px{649, 697, 29},
                 {702, 770, 29},
                 {783, 827, 30},
                 {829, 873, 31},
                 {878, 928, 31},
                 {930, 982, 31}}) { // x1, x2, fill
        SCOPED_TRACE(b.x);
        expectPixels({{b.x, 66, 0},
                      {b.y, 100, 0},
                      {b.x + 1, 67, 8},
                      {b.y - 1, 99, 8},
                      {b.x + 2, 68, b.colour},
                      {b.x - 1, 80, 7}});
    }
    EXPECT_TRUE(textIs(709, 74, "AUSWAHL", 0) && textIs(709, 86, "ALLE", 0));
    EXPECT_TRUE(textIs(789, 74, "SAVE", 0) && textIs(789, 86, "LIST", 0));
    EXPECT_TRUE(textIs(835, 74, "LOAD", 0) && textIs(835, 86, "LIST", 0));
    EXPECT_TRUE(textIs(887, 74, "LOAD", 0) && textIs(884, 86, "1xMP3", 0));
    EXPECT_TRUE(textIs(940, 74, "LOAD", 0) && textIs(940, 86, "MP3s", 0));
}

TEST_F(StackViewTest, SendArrowIsGreenOnlyWithASelection) {
    addStacks(2);
    listViews.anyStackSelected = true; // stale; the redraw recomputes it
    drawStackView();
    EXPECT_FALSE(listViews.anyStackSelected);
    expectPixels(
        {{654, 79, 8}, {666, 72, 8}, {666, 87, 8}, {675, 80, 8}, {689, 80, 8}, {653, 79, 29}});
    tracks.stack[2].stackMark = 1;
    drawStackView();
    EXPECT_TRUE(listViews.anyStackSelected);
    expectPixels({{654, 79, 2}, {666, 72, 2}, {666, 87, 2}, {675, 80, 2}, {689, 80, 2}});
}

TEST_F(StackViewTest, RowsShowNameWithoutExtensionAndLength) {
    addStack("Alpha.mp3", 205000);
    addStack("Beta Song.MP3", 61000, 1);
    addStack("Gamma.mp3", 0);
    drawStackView();
    EXPECT_TRUE(textIs(653, 116, "Alpha    ", 0));
    EXPECT_TRUE(textIs(927, 116, "03:25", 0));
    EXPECT_TRUE(textIs(653, 131, "Beta Song", 8)) << "duplicates are grey";
    EXPECT_TRUE(textIs(927, 131, "01:01", 8));
    EXPECT_TRUE(textIs(653, rowY(3), "Gamma", 0));
    EXPECT_TRUE(textIs(927, rowY(3), "--:--", 0));
    EXPECT_TRUE(noColourIn(645, rowY(4), 970, 417, 0)) << "nothing below the last entry";
}

TEST_F(StackViewTest, SelectedRowGetsABoxWithTheseCorners) {
    addStacks(2);
    tracks.stack[2].stackMark = 1;
    drawStackView();
    // Row 2: (649, 128) to (923, 141); row 1 is not selected.
    expectPixels({{649, 128, 3},
                  {923, 128, 3},
                  {649, 141, 3},
                  {923, 141, 3},
                  {648, 128, 17},
                  {924, 128, 17},
                  {649, 127, 17},
                  {649, 142, 17},
                  {649, 113, 17}});
    EXPECT_TRUE(textIs(653, 131, "Song2", 0));
}

TEST_F(StackViewTest, LongNamesKeepTwelveAndEighteenCharacters) {
    const std::string forty = "ABCDEFGHIJKLmnopqrstuvwxyz0123456789WXYZ";
    const std::string thirtyThree = "abcdefghijklmnopqrstuvwxyz0123456";
    addStack(forty + ".mp3", 60000);
    addStack(thirtyThree + ".mp3", 60000);
    addStack(thirtyThree + "7.mp3", 60000);
    drawStackView();
    EXPECT_TRUE(textIs(653, rowY(1), "ABCDEFGHIJKL...wxyz0123456789WXYZ", 0));
    EXPECT_TRUE(textIs(653, rowY(2), thirtyThree, 0)) << "33 characters fit";
    EXPECT_TRUE(textIs(653, rowY(3), "abcdefghijkl...qrstuvwxyz01234567", 0));
}

TEST_F(StackViewTest, TwentyFiveEntriesScrolledTo24AreDrawnFrom23) {
    addStacks(25);
    listViews.stackFirstShown = 24;
    drawStackView();
    EXPECT_EQ(listViews.stackFirstShown, 23);
    EXPECT_TRUE(textIs(653, rowY(1), "Song23", 0) && textIs(653, rowY(3), "Song25", 0));
    EXPECT_TRUE(noColourIn(645, rowY(4), 970, rowY(4) + 7, 0));
    listViews.stackFirstShown = 25;
    drawStackView();
    EXPECT_EQ(listViews.stackFirstShown, 23);
    listViews.stackFirstShown = 6;
    drawStackView();
    EXPECT_EQ(listViews.stackFirstShown, 6);
    EXPECT_TRUE(textIs(653, rowY(1), "Song6", 0) && textIs(653, rowY(20), "Song25", 0));

    tracks.stackCount = 1;
    drawStackView();
    EXPECT_EQ(listViews.stackFirstShown, 1) << "never below 1";
}

// Thumb of a scroll bar: outline rows in colour 0, fill 28, track colour 30 around it.
void expectThumb(int x, int top, int bottom) {
    SCOPED_TRACE(testing::Message() << "thumb " << top << " to " << bottom);
    expectPixels({{x, top, 0}, {x, bottom, 0}, {x, top + 2, 28}, {x, bottom - 2, 28}});
    if (top > 110) expectPixels({{x, top - 1, 30}});
    if (bottom < 415 && x > 900) expectPixels({{x, bottom + 1, 30}});
    if (bottom < 449 && x < 900) expectPixels({{x, bottom + 1, 30}});
}

TEST_F(StackViewTest, ScrollBarThumbFollowsFirstShownSlot) {
    addStacks(40);
    drawStackView();
    expectPixels({{971, 300, 0}, {972, 300, 24}, {973, 300, 26}, {985, 300, 24}});
    expectThumb(978, 106, 275); // round(106 + 21/40 * 312 + 5)
    expectPixels({{974, 190, 0}, {975, 190, 0}, {976, 190, 28}});
    listViews.stackFirstShown = 11;
    drawStackView();
    expectThumb(978, 192, 353); // round(191.8), round(352.8)

    tracks.stackCount = 48;
    listViews.stackFirstShown = 5; // 5/48 * 312 = 32.5, 25/48 * 312 = 162.5
    drawStackView();
    expectThumb(978, 138, 274);
    tracks.stackCount = 30;
    listViews.stackFirstShown = 11; // bottom 433 is held at 418
    drawStackView();
    expectThumb(978, 220, 418);
}

TEST_F(StackViewTest, EmptyStackShowsNumberedArrowsAndHints) {
    drawStackView();
    EXPECT_TRUE(textIs(891, 178, "1", 0) && textIs(788, 178, "2", 0) && textIs(717, 178, "3", 0));
    EXPECT_FALSE(noColourIn(880, 130, 910, 174, 0)) << "arrow 1";
    EXPECT_FALSE(noColourIn(760, 130, 795, 174, 0)) << "arrow 2";
    EXPECT_FALSE(noColourIn(685, 130, 725, 174, 0)) << "arrow 3";
    EXPECT_TRUE(textIs(676, 201, "1x Klick  auf LOAD = MP3s in Stapel.", 0));
    EXPECT_TRUE(textIs(676, 215, "3x Klick  auf LOAD = shuffle & play.", 0));
    expectPixels({{656, 240, 24}, {974, 240, 24}, {655, 240, 17}, {975, 240, 17}, {978, 200, 17}});
    EXPECT_TRUE(textIs(953, 430, "0", 0));
}

TEST_F(StackViewTest, BottomBarButtonsAndLabels) {
    addStacks(2);
    drawStackView();
    expectPixels({{640, 423, 23},
                  {990, 443, 23},
                  {641, 424, 27},
                  {947, 425, 0},
                  {987, 441, 0},
                  {946, 433, 27}});
    for (int c : {667, 717, 767, 817, 867}) {
        SCOPED_TRACE(c);
        expectPixels({{c - 23, 425, 0}, {c + 23, 441, 0}, {c - 22, 426, 29}, {c - 24, 433, 27}});
    }
    expectPixels({{894, 425, 0}, {895, 426, 0}, {896, 427, 29}}); // VORH, mode off
    EXPECT_TRUE(textIs(901, 430, "VORH", 8));
    EXPECT_TRUE(textIs(655, 430, "ABC", 0) && textIs(701, 430, "1:23", 0));
    EXPECT_TRUE(textIs(751, 430, "SHUF", 0) && textIs(801, 430, "ENTF", 0));
    EXPECT_TRUE(textIs(851, 430, "DOUB", 8));
    EXPECT_TRUE(textIs(953, 430, "2", 0));

    addStacks(10);
    listOps.nameOrderFlag = listOps.lengthOrderFlag = 1;
    tracks.allowDuplicates = 1;
    drawStackView();
    EXPECT_TRUE(textIs(655, 430, "CBA", 0) && textIs(701, 430, "3:21", 0));
    EXPECT_TRUE(textIs(851, 430, "DOUB", 5));
    EXPECT_FALSE(noColourIn(852, 431, 884, 438, 30)) << "the copy one pixel right and down";
    EXPECT_TRUE(textIs(953, 430, "12", 0));
}

TEST_F(StackViewTest, ClickMapsToSlot) {
    addStacks(30);
    // Row = round((y - 104) / 15), at most 20.
    for (auto [y, slot] : std::vector<std::pair<int, int>>{
             {106, 0}, {107, 0}, {112, 1}, {126, 1}, {127, 2}, {417, 20}, {418, 0}})
        EXPECT_EQ(stackSlotAt(y), slot) << y;
    listViews.stackFirstShown = 5;
    EXPECT_EQ(stackSlotAt(127), 6);
    EXPECT_EQ(stackSlotAt(107), 4);
    tracks.stackCount = 3;
    listViews.stackFirstShown = 1;
    EXPECT_EQ(stackSlotAt(142), 3);
    EXPECT_EQ(stackSlotAt(157), 0) << "below the last entry";
}

// --- Playlist panel ----------------------------------------------------------

TEST_F(PlaylistViewTest, EmptyPlaylistAndStackExplainTheFirstSteps) {
    drawPlaylistView();
    expectPixels({{4, 55, 0},
                  {626, 458, 0},
                  {5, 56, 27},
                  {6, 57, 34},
                  {85, 120, 29},
                  {86, 121, 0},
                  {87, 122, 24},
                  {88, 123, 31},
                  {520, 340, 29},
                  {615, 300, 34}});
    const std::pair<int, const char*> lines[] = {
        {135, "SPIELLISTE ist momentan leer."},
        {151, "(1) Lade neue MP3s immer via STAPEL, siehe rechts"},
        {167, "(2) Gewünschte MP3s anklicken oder AUSWAHL ALLE."},
        {180, "    Klicken ähnlich wie im WINDOWS-EXPLORER."},
        {196, "(3) Der Pfeil-Button holt dann die MP3s"},
        {209, "    hierher in die Spielliste."},
        {233, "STAPEL: MP3s laden und zwischenspeichern,"},
        {246, "ohne die Spielliste zu stören."},
        {294, "INFO-Tabs (rechts) beachten!"},
        {318, "KLANGKELTER Kombination aus PLAYER und KOMPRESSOR."}};
    for (auto [y, line] : lines)
        EXPECT_TRUE(textIs(104, y, line, 0));
}

TEST_F(PlaylistViewTest, EmptyPlaylistTextsFollowTheStack) {
    struct Case {
        int top, songs, playPosition;
        int16_t grey;
        std::vector<const char*> lines;
    };
    const Case cases[] = {
        {1,
         3,
         4,
         0,
         {"Alle MP3s wurden gespielt.", "Im STAPEL sind noch freie MP3s.",
          "Oder lade neue MP3s mittels LOAD."}},
        {0,
         0,
         1,
         0,
         {"Spielliste ist momentan leer.", "Im STAPEL sind noch freie MP3s.",
          "Oder lade neue MP3s mittels LOAD."}},
        {0,
         0,
         1,
         1,
         {"Im STAPEL sind keine freien MP3s mehr.",
          "Lade neue MP3s mittels LOAD ... siehe rechts."}},
        {1, 2, 3, 1, {"Alle MP3s wurden gespielt.", "Im STAPEL sind keine freien MP3s mehr."}},
    };
    for (const Case& c : cases) {
        clearLists();
        addSongs(c.songs);
        tracks.playlistTop = c.top;
        tracks.playPosition = c.playPosition;
        addStack("a.mp3", 60000, 1);
        addStack("b.mp3", 60000, c.grey);
        drawPlaylistView();
        for (size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_TRUE(textIs(104, 135 + 16 * int(i), c.lines[i], 0)) << c.top << "/" << c.grey;
    }
}

TEST_F(PlaylistViewTest, CurrentViewDrawsThreeCardsThenRows) {
    addSongs(10);
    drawPlaylistView();
    for (int k = 0; k < 3; ++k) {
        const int y = 61 + 76 * k;
        SCOPED_TRACE(k);
        expectPixels({{9, y, 35 + k},
                      {606, y + 68, 35 + k},
                      {8, y, 34},
                      {11, y + 14, 0},
                      {603, y + 14, 0},
                      {12, y + 15, 37 + k},
                      {602, y + 40, 37 + k},
                      {30, y + 21, 27 + k},
                      {553, y + 2, 0},
                      {600, y + 10, 0}});
        EXPECT_TRUE(textIs(15, y + 3, "Song" + std::to_string(k + 1), 0));
        EXPECT_TRUE(textIs(16, y + 59, "#" + std::to_string(k + 1), 8));
        EXPECT_TRUE(textIs(557, y + 3, "03:25", 31));
    }
    EXPECT_FALSE(noColourIn(16, 65, 56, 72, 27)) << "the name's shadow";
    for (int slot = 4; slot <= 8; ++slot) {
        const int y = 61 + 34 * (slot - 1) + 128;
        SCOPED_TRACE(slot);
        expectPixels({{9, y, 38}, {606, y + 24, 38}, {9, y - 1, 34}});
        EXPECT_TRUE(textIs(16, y + 3, "Song" + std::to_string(slot), 0));
        EXPECT_TRUE(textIs(16, y + 15, "#" + std::to_string(slot), 8));
        EXPECT_TRUE(textIs(557, y + 3, "03:25", 31));
    }
    expectPixels({{9, 452, 34}}); // slot 9 is not shown
}

TEST_F(PlaylistViewTest, HintTextFollowsLameState) {
    addSongs(2);
    drawPlaylistView();
    EXPECT_TRUE(textIs(36, 86, "Hüllkurve: LAME.exe in den Arbeitsordner.", 21));
    EXPECT_TRUE(textIs(36, 162, "Hüllkurve: LAME.exe in den Arbeitsordner.", 22));
    decoder.lameAvailable = 1;
    decoder.lameOn = 0;
    drawPlaylistView();
    EXPECT_TRUE(textIs(66, 86, "Hüllkurve: LAME aktivieren.", 21));
    decoder.lameOn = 1;
    drawPlaylistView();
    EXPECT_TRUE(textIs(66, 86, "Hüllkurve bald vorhanden. LAME ist aktiv.", 21));
}

TEST_F(PlaylistViewTest, CardNamesAreCutTo66AndBlankSlotsGetNoCard) {
    std::string name;
    for (int i = 0; i < 70; ++i)
        name += char('A' + i % 26);
    addSong(name + ".mp3", 0);
    addSong("", 0);
    addSong("third.mp3", 0);
    drawPlaylistView();
    EXPECT_TRUE(textIs(15, 64, name.substr(0, 66), 0));
    EXPECT_TRUE(noColourIn(543, 62, 606, 72, 0)) << "no 67th character and no length box";
    expectPixels({{9, 137, 34}, {9, 213, 37}});
}

TEST_F(PlaylistViewTest, SelectedSongsShowHeaderButtons) {
    addSongs(10);
    tracks.playlist[2].playlistSelected = tracks.playlist[5].playlistSelected = 1;
    drawPlaylistView();
    const int card = 137 + 42; // card 1, boxes from y + 14 to y + 23
    for (auto [x1, x2] : {std::pair{258, 329}, {344, 454}, {469, 600}}) {
        SCOPED_TRACE(x1);
        expectPixels({{x1, card + 14, 43},
                      {x2, card + 23, 43},
                      {x1 - 1, card + 14, 36},
                      {x2, card + 24, 36}});
    }
    EXPECT_TRUE(textIs(270, card + 15, "[ENTF]", 1));
    EXPECT_TRUE(textIs(356, card + 15, "POSITION ▴▾", 1));
    EXPECT_TRUE(textIs(486, card + 15, "ZUM STAPEL ▶", 1));
    EXPECT_FALSE(noColourIn(270, card + 15, 330, card + 24, 9)) << "shadow";
    expectPixels({{258, 339, 43}}); // row of slot 5 at 325
    EXPECT_TRUE(textIs(270, 340, "[ENTF]", 1));
    EXPECT_TRUE(noColourIn(258, 61, 600, 135, 43) && noColourIn(258, 291, 600, 315, 43));
}

TEST_F(PlaylistViewTest, FewSongsAfterTheCurrentOneKeepTheCurrentView) {
    addSongs(5);
    tracks.playlistTop = 3;
    tracks.playPosition = 0;
    drawPlaylistView();
    EXPECT_EQ(tracks.playPosition, 1);
    EXPECT_EQ(tracks.playlistTop, 1);
    EXPECT_TRUE(textIs(15, 64, "Song1", 0) && textIs(16, 120, "#1", 8));

    addSongs(1); // five after the current one: the scroll stays
    tracks.playlistTop = 3;
    drawPlaylistView();
    EXPECT_EQ(tracks.playlistTop, 3);
    expectPixels({{9, 61, 38}});
}

TEST_F(PlaylistViewTest, ScrolledViewShowsTwelveRows) {
    addSongs(30);
    tracks.playlistTop = 8;
    drawPlaylistView();
    for (int slot = 8; slot <= 19; ++slot) {
        const int y = 61 + 33 * (slot - 8);
        SCOPED_TRACE(slot);
        expectPixels({{9, y, 38}, {606, y + 24, 38}, {9, y + 25, 34}});
        EXPECT_TRUE(textIs(16, y + 3, "Song" + std::to_string(slot), 0));
        EXPECT_TRUE(textIs(16, y + 15, "#" + std::to_string(slot), 8));
        EXPECT_TRUE(textIs(557, y + 3, "03:25", 31));
    }
    expectPixels({{9, 457, 27}, {9, 460, 0}}); // slot 20 is not shown
}

TEST_F(PlaylistViewTest, ScrollBarThumbWithItsClamps) {
    addSongs(30);
    drawPlaylistView();
    expectPixels({{607, 60, 0},
                  {622, 452, 0},
                  {608, 300, 24},
                  {609, 300, 26},
                  {615, 300, 30},
                  {609, 100, 28},
                  {610, 100, 0},
                  {611, 100, 0},
                  {612, 100, 28}});
    expectThumb(615, 61, 166); // round(61 + 8/30 * 389 + 1)
    tracks.playlistTop = 13;
    drawPlaylistView();
    expectThumb(615, 217, 374); // round(216.6), round(217 + 12/30 * 389 + 1)
    tracks.playlistTop = 31;    // top would be 450: the thumb sits on the bottom, 5 high
    drawPlaylistView();
    expectThumb(615, 445, 450);

    clearLists();
    tracks.playlistTop = 1;
    addSongs(16);
    drawPlaylistView(); // 8/16 * 389 = 194.5
    expectThumb(615, 61, 256);
    clearLists();
    addSongs(66);
    tracks.playlistTop = 66; // round(61 + 65/66 * 389) = 444, bottom held at 450
    drawPlaylistView();
    expectThumb(615, 444, 450);
}

TEST_F(PlaylistViewTest, ClickMapsToSlot) {
    addSongs(30);
    using Cases = std::vector<std::pair<int, int>>;
    auto check = [](const Cases& cases) {
        for (auto [y, slot] : cases)
            EXPECT_EQ(playlistSlotAt(y), slot) << "y " << y << " top " << tracks.playlistTop;
    };
    // Cards round(1 + (y - 99) / 76), rows round(1 + (y - 199) / 34).
    check({{61, 0},
           {454, 0},
           {62, 1},
           {136, 1},
           {137, 2},
           {288, 3},
           {289, 4},
           {318, 4},
           {319, 5},
           {453, 8}});
    tracks.playPosition = tracks.playlistTop = 2;
    check({{137, 2}, {318, 6}, {288, 4}, {289, 5}});
    tracks.playPosition = 1;
    tracks.playlistTop = 10; // round(10 + (y - 73) / 33)
    check({{62, 10}, {89, 10}, {90, 11}, {453, 22}});
    tracks.playlistTop = 25;
    check({{254, 30}, {255, 0}});
    clearLists();
    tracks.playlistTop = 1;
    addSongs(7);
    check({{453, 0}, {400, 7}});
}

TEST_F(PlaylistViewTest, MissingLengthsAreProbedInViewWithAPause) {
    addSong("gone.mp3", 0);
    addSong("there.mp3", 205000);
    addSong("gone too.mp3", 0);
    drawPlaylistView();
    EXPECT_EQ(tracks.playlist[1].lengthMs, 0);
    EXPECT_EQ(tracks.playlist[3].lengthMs, 0);
    EXPECT_EQ(sleepsMs, (std::vector<double>{2, 2}));
    expectPixels({{553, 63, 35}}); // no length box
    EXPECT_TRUE(textIs(557, 140, "03:25", 31));

    clearLists();
    sleepsMs.clear();
    addSongs(30, 0);
    tracks.playlistTop = 10;
    drawPlaylistView();
    EXPECT_EQ(sleepsMs.size(), 12u);
}

TEST_F(PlaylistViewTest, MissingLengthIsFilledInFromTheFile) {
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("tone.mp3"), 2.0, 440, 0.5));
    tracks.folderTable[1] = dir.path() + "/";
    addSong("tone.mp3", 0);
    drawPlaylistView();
    EXPECT_EQ(tracks.playlist[1].lengthMs, 2000);
    EXPECT_TRUE(textIs(557, 64, "00:02", 31));
}

} // namespace
