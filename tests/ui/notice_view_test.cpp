#include <gtest/gtest.h>

#include <string>

#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/font.h"
#include "platform/screen.h"
#include "texts/manual_link.h"
#include "texts/notices.h"
#include "ui/notice_view.h"

namespace {

// Every set bit of the text's glyphs is `ink`, every clear bit something else.
::testing::AssertionResult textAt(int x, int y, const std::string& cp437, int ink) {
    for (size_t i = 0; i < cp437.size(); ++i)
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 8; ++col) {
                const int px = x + 8 * int(i) + col, py = y + row;
                const bool set =
                    font::kGlyphs[static_cast<unsigned char>(cp437[i])][row] & (0x80 >> col);
                if (set != (screen::pixel(px, py) == ink))
                    return ::testing::AssertionFailure()
                           << "char " << i << " of \"" << cp437 << "\" at (" << px << ", " << py
                           << ") is " << screen::pixel(px, py) << ", ink " << ink;
            }
    return ::testing::AssertionSuccess();
}

class Notice : public ::testing::Test {
  protected:
    double t = 1000;
    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        auto advance = [this](double ms) { t += ms / 1000; };
        timing::install({[this] { return t; }, advance, advance});
        tracks.allowDuplicates = 0;
        tracks.playlistCount = 0;
    }
    void TearDown() override { timing::install({}); }
};

TEST_F(Notice, OperationNoticeHasALightBoxTwoOutlinesAndItsLinesInColour40) {
    showNotice(38, {12, 5});
    EXPECT_EQ(screen::pixel(641, 460), 31); // the box's own top left stays box colour
    EXPECT_EQ(screen::pixel(700, 460), 31);
    EXPECT_EQ(screen::pixel(645, 465), 31);
    EXPECT_EQ(screen::pixel(642, 461), 0);
    EXPECT_EQ(screen::pixel(990, 522), 0);
    EXPECT_EQ(screen::pixel(990, 461), 0);
    EXPECT_EQ(screen::pixel(991, 461), 27);
    EXPECT_EQ(screen::pixel(991, 523), 27);
    EXPECT_EQ(screen::pixel(642, 523), 27);
    EXPECT_EQ(screen::pixel(640, 470), 0); // outside the box nothing is drawn
    EXPECT_EQ(screen::pixel(992, 470), 0);
    EXPECT_TRUE(textAt(649, 469, "Die maximale Anzahl von MP3s", 40));
    EXPECT_TRUE(textAt(649, 481, "in der SPIELLISTE ist erreicht.", 40));
}

TEST_F(Notice, IdleNoticeUsesTheDarkBoxAndStartsFurtherIn) {
    notices.noticeId = notice::kIdle;
    drawNotice();
    EXPECT_EQ(screen::pixel(645, 465), 29);
    EXPECT_EQ(screen::pixel(642, 461), 0);
    EXPECT_EQ(screen::pixel(991, 523), 27);
    EXPECT_TRUE(textAt(653, 474, screen::cp437(" Buttons  werden bei Berührung erklärt."), 0));
    // The address sits in the lower part, where a click opens it.
    EXPECT_TRUE(textAt(653, 500, shortAddress(manualAddress()), 0));
}

TEST_F(Notice, LinkNoticeIsDarkAndNotice125IsLight) {
    showNotice(notice::kLink, {12, 0});
    EXPECT_EQ(screen::pixel(645, 465), 29);
    EXPECT_TRUE(textAt(653, 474, " Klick aktiviert Browser", 0));
    showNotice(125, {12, 0});
    EXPECT_EQ(screen::pixel(645, 465), 31);
}

TEST_F(Notice, FourLinesUseTheFourRowsWithTheirColours) {
    showNotice(54, {12, 5});
    EXPECT_TRUE(textAt(649, 469, screen::cp437("Diese MP3 vorhören mit Sprüngen:"), 0));
    EXPECT_TRUE(textAt(649, 481, screen::cp437("GESPERRT  weil Player läuft."), 40));
    EXPECT_TRUE(textAt(649, 495, "[Vorh]-Button im Stapel unten rechts", 8));
    showNotice(43, {12, 0});
    EXPECT_TRUE(textAt(649, 509, "Gilt als STOP-Cue.", 40));
}

TEST_F(Notice, AHeldNoticeIsNotReplacedUntilItsHoldEnds) {
    showNotice(44, {12, 5});
    EXPECT_EQ(notices.noticeHoldTime, 1005);
    EXPECT_EQ(notices.noticeIdleTime, 1012);
    t += 4.9;
    notices.noticeId = 10;
    drawNotice();
    EXPECT_EQ(notices.noticePending, 1);
    EXPECT_EQ(notices.lastNoticeId, 44);
    EXPECT_TRUE(textAt(649, 469, "TRIGGER-Punkt am Liedanfang", 40));

    t += 0.2;
    notices.noticeId = 38;
    drawNotice();
    EXPECT_EQ(notices.noticePending, 0);
    EXPECT_EQ(notices.lastNoticeId, 38);
    EXPECT_TRUE(textAt(649, 469, "Die maximale Anzahl von MP3s", 40));
}

TEST_F(Notice, TheSameNoticeTwiceDrawsNothingTheSecondTime) {
    showNotice(45, {12, 0});
    t += 1;
    screen::setPixel(645, 465, 5);
    drawNotice();
    EXPECT_EQ(screen::pixel(645, 465), 5);
    showNotice(45, {12, 0});
    EXPECT_EQ(screen::pixel(645, 465), 5);
    notices.noticeId = 46;
    drawNotice();
    EXPECT_EQ(screen::pixel(645, 465), 31);
}

TEST_F(Notice, ForceDrawsDuringAHoldAndTheSameNumberAndIsUsedUp) {
    showNotice(45, {12, 5});
    screen::setPixel(645, 465, 5);
    notices.noticeForce = 1;
    drawNotice();
    EXPECT_EQ(screen::pixel(645, 465), 31);
    EXPECT_EQ(notices.noticeForce, 0);
    screen::setPixel(645, 465, 5);
    drawNotice();
    EXPECT_EQ(screen::pixel(645, 465), 5);
    EXPECT_EQ(notices.noticePending, 1);
}

TEST_F(Notice, DrawingHoldsOffTheHoverTrackerForFourSeconds) {
    notices.noticePending = 1;
    t = 50;
    drawNotice();
    EXPECT_EQ(notices.hoverResumeTime, 54);
    EXPECT_EQ(notices.noticePending, 0);
    // A refused draw leaves it alone.
    notices.noticeHoldTime = 60;
    notices.noticeId = 38;
    t = 55;
    drawNotice();
    EXPECT_EQ(notices.hoverResumeTime, 54);
}

TEST_F(Notice, ImportRefusalShowsOnlyTheReasonsThatApply) {
    notices.importFoundDuplicates = true;
    notices.importRefusedLength = false;
    tracks.allowDuplicates = 0;
    const std::vector<std::string> dup = {"Eine/mehrere MP3s wurden nicht geladen",
                                          "... weil sie bereits geladen sind.",
                                          "DOUB erlaubt Doubletten."};
    EXPECT_EQ(noticeLines(36), dup);
    EXPECT_EQ(noticeColours(36), (std::vector<int>{40, 40, 40}));

    tracks.allowDuplicates = 1;
    notices.importRefusedLength = true;
    EXPECT_EQ(noticeLines(36), (std::vector<std::string>{"Eine/mehrere MP3s wurden nicht geladen",
                                                         "... weil sie bereits geladen sind.",
                                                         screen::cp437("... wegen ihrer Länge.")}));

    notices.importFoundDuplicates = false;
    EXPECT_EQ(noticeLines(42), (std::vector<std::string>{"Eine/mehrere MP3s wurden nicht geladen",
                                                         screen::cp437("... wegen ihrer Länge.")}));

    // Drawn, the lines that apply take the rows in order.
    notices.importFoundDuplicates = true;
    notices.importRefusedLength = false;
    tracks.allowDuplicates = 0;
    showNotice(36, {12, 5});
    EXPECT_TRUE(textAt(649, 481, "... weil sie bereits geladen sind.", 40));
    EXPECT_TRUE(textAt(649, 495, "DOUB erlaubt Doubletten.", 40));
    EXPECT_EQ(screen::pixel(649 + 3, 509 + 3), 31); // no fourth line
}

TEST_F(Notice, NumbersPathsAndPositionsAreFilledIn) {
    notices.noticeNumber = 3;
    EXPECT_EQ(noticeLines(57).front(), "3 DateiEN nicht gefunden.");
    EXPECT_EQ(noticeLines(57).size(), 3u);
    notices.noticeNumber = 0;
    EXPECT_EQ(noticeLines(57).front(), screen::cp437("Die Liste ist ungültig oder"));
    EXPECT_EQ(noticeLines(57).size(), 2u);

    notices.noticeNumber = 17;
    EXPECT_EQ(noticeLines(78),
              (std::vector<std::string>{"  AUTOSAVE", "  Erst wieder in 17 Sek."}));
    EXPECT_EQ(noticeColours(78), (std::vector<int>{4, 4}));

    notices.savedListPath = "/musik/abend.PYL";
    EXPECT_EQ(noticeLines(50).back(), "/musik/abend.PYL");
    // 41 characters fit beside the margins; a longer path keeps its end.
    const std::string fits(41, 'a');
    notices.savedListPath = fits;
    EXPECT_EQ(noticeLines(50).back(), fits);
    notices.savedListPath = "X" + fits;
    EXPECT_EQ(noticeLines(50).back(), "..." + std::string(38, 'a'));

    notices.previewPositionText = "1:23";
    EXPECT_EQ(noticeLines(53).back(), "Position: 1:23");
}

TEST_F(Notice, TwoColoursGiveTheFirstLineOneAndTheRestTheOther) {
    EXPECT_EQ(noticeColours(35), (std::vector<int>{40, 0, 0, 0}));
    EXPECT_EQ(noticeColours(55), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(noticeColours(80), (std::vector<int>{40, 40}));
}

TEST_F(Notice, ArrowNoticeShowsTheRefusalOnlyWithAFullPlaylist) {
    tracks.playlistCount = maxTracks;
    EXPECT_EQ(noticeLines(26).size(), 3u);
    EXPECT_EQ(noticeLines(26)[1], "Momentan gesperrt, weil SPIELLISTE");
    EXPECT_EQ(noticeColours(26).front(), 40);
    tracks.playlistCount = maxTracks - 1;
    EXPECT_EQ(noticeLines(26).front(), screen::cp437("Ausgewählte MP3s zur Spielliste schicken."));
    EXPECT_EQ(noticeColours(26).front(), 0);
}

TEST_F(Notice, EveryNoticeFitsTheBox) {
    notices.noticeNumber = 99;
    notices.importFoundDuplicates = notices.importRefusedLength = true;
    const int ids[] = {26, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 50, 53, 54,
                       55, 56, 57, 58, 62, 72, 73, 74, 75, 76, 77, 78, 80, 81, 93, 95};
    for (int id : ids) {
        const auto lines = noticeLines(id);
        EXPECT_GE(lines.size(), 1u) << id;
        EXPECT_LE(lines.size(), 4u) << id;
        EXPECT_EQ(noticeColours(id).size(), lines.size()) << id;
        for (const std::string& line : lines)
            EXPECT_LE(649 + 8 * int(line.size()), 990) << id << ": " << line;
    }
    EXPECT_TRUE(noticeLines(1000).empty());
}

} // namespace
