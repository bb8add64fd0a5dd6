#include "texts/help_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/layout.h"
#include "platform/screen.h"
#include "texts/manual_link.h"
#include "texts/notices.h"
#include "ui/notice_view.h"

namespace {

HelpFacts facts;
HelpFacts currentFacts() {
    return facts;
}

// The facts every form of every help notice is drawn in: two opposite
// bases, and each of them with one fact turned round.
std::vector<HelpFacts> factVariants() {
    HelpFacts none;
    none.lameOn = false;
    none.autoPlay = false;
    none.playlistEmpty = false;
    none.gongVolume = 100; // the longest volume line: "-20 dB"
    none.listCapacity = 66;
    none.gongMinSeconds = 4;
    none.gongMaxMinutes = 5;
    HelpFacts all = none;
    for (bool* b :
         {&all.stackSelection, &all.stackDuplicates, &all.playlistEmpty, &all.lameAvailable,
          &all.lameOn, &all.songPlaying, &all.autoPlay, &all.triggerWarning, &all.previewMode,
          &all.playerRunning, &all.duckFast, &all.gongLoaded})
        *b = true;
    all.gongVolume = 1000;
    std::vector<HelpFacts> out = {none, all};
    for (const HelpFacts& base : {none, all}) {
        for (size_t i = 0; i < 12; ++i) {
            HelpFacts f = base;
            bool* flags[] = {&f.stackSelection, &f.stackDuplicates, &f.playlistEmpty,
                             &f.lameAvailable,  &f.lameOn,          &f.songPlaying,
                             &f.autoPlay,       &f.triggerWarning,  &f.previewMode,
                             &f.playerRunning,  &f.duckFast,        &f.gongLoaded};
            *flags[i] = !*flags[i];
            out.push_back(f);
        }
    }
    return out;
}

std::string joined(int id) {
    std::string text;
    for (const HelpRow& row : helpRows(id))
        if (row.highlight < 0) text += (text.empty() ? "" : " ") + row.text;
    return text;
}

class HelpText : public ::testing::Test {
  protected:
    double t = 500;
    void SetUp() override {
        screen::open(screen::kWidth, screen::kHeight);
        timing::install({[this] { return t; }, [this](double ms) { t += ms / 1000; }});
        facts = factVariants().front();
        setHelpFactsQuery(currentFacts);
    }
    void TearDown() override {
        setHelpFactsQuery(nullptr);
        timing::install({});
    }
    // The notice area after drawing notice `id` over colour 5.
    std::vector<uint8_t> drawn(int id) {
        screen::fillBox(kAreaLeft, kAreaTop, screen::kWidth - 1, screen::kHeight - 1, 5);
        notices.noticeId = id;
        notices.noticeForce = 1;
        drawNotice();
        std::vector<uint8_t> area;
        for (int y = kAreaTop; y < screen::kHeight; ++y) {
            const auto row = screen::fb.pixels.begin() + y * screen::kWidth;
            area.insert(area.end(), row + kAreaLeft, row + screen::kWidth);
        }
        return area;
    }
    // Around the box, where a line too long or too low would land.
    static constexpr int kAreaLeft = 620, kAreaTop = 440;
};

// The box's inside, where text may go: within the inner outline.
constexpr int kInsideLeft = kNoticeLeft + 2, kInsideTop = kNoticeTop + 2;
constexpr int kInsideRight = kNoticeRight - 2, kInsideBottom = kNoticeBottom - 2;

TEST_F(HelpText, EveryHelpNoticeFitsItsBoxInEveryForm) {
    std::vector<int> ids = helpNoticeIds();
    ids.push_back(26); // the arrow button's help lives with its refusal
    for (const HelpFacts& variant : factVariants()) {
        facts = variant;
        for (int id : ids) {
            // The same box without text: notice numbers that have none.
            const std::vector<uint8_t> frame = drawn(id > 125 ? 1000 : 125);
            const std::vector<uint8_t> withText = drawn(id);
            const int width = screen::kWidth - kAreaLeft;
            for (int y = kAreaTop; y < screen::kHeight; ++y)
                for (int x = kAreaLeft; x < screen::kWidth; ++x) {
                    const bool inside = x >= kInsideLeft && x <= kInsideRight && y >= kInsideTop &&
                                        y <= kInsideBottom;
                    const size_t i = size_t(y - kAreaTop) * size_t(width) + size_t(x - kAreaLeft);
                    if (!inside && frame[i] != withText[i]) {
                        ADD_FAILURE() << "notice " << id << " draws at (" << x << ", " << y << ")";
                        y = screen::kHeight;
                        break;
                    }
                }
            // Glyphs may leave their edge columns blank; the rows themselves must fit.
            const std::vector<HelpRow> rows = helpRows(id);
            for (const HelpRow& r : rows) {
                const int right = r.x + 8 * int(r.text.size()) - 1;
                EXPECT_TRUE(r.x >= kInsideLeft && right <= kInsideRight && r.y >= kInsideTop &&
                            r.y + 7 <= kInsideBottom)
                    << "notice " << id << ": \"" << r.text << "\" at " << r.x << ", " << r.y;
                for (const HelpRow& other : rows) {
                    if (&other == &r) continue;
                    const bool sameBand = std::abs(other.y - r.y) < 9;
                    const bool overlapX =
                        other.x < right + 1 && r.x < other.x + 8 * int(other.text.size());
                    EXPECT_FALSE(sameBand && overlapX) << "notice " << id << ": \"" << r.text
                                                       << "\" and \"" << other.text << "\" overlap";
                }
            }
        }
    }
}

TEST_F(HelpText, CompressorHelpEndsWithWhyItCannotWork) {
    facts.lameAvailable = false;
    EXPECT_EQ(helpRows(17).back().text, "Geht nicht weil LAME.EXE fehlt.");
    facts.lameAvailable = true;
    facts.lameOn = false;
    EXPECT_EQ(helpRows(17).back().text, "Geht nicht weil LAME abgeschaltet.");
    facts.lameOn = true;
    facts.songPlaying = true;
    EXPECT_EQ(helpRows(17).back().text, "Roter Balken zeigt Reduktion.");
    EXPECT_EQ(helpRows(17).size(), 6u) << "exactly one of the four last lines";
    EXPECT_EQ(helpRows(17)[4].text, "STRG-Klick: ANGLEICHEN, MP3s gleich laut.");
}

TEST_F(HelpText, TriggerHelpFollowsLameFirstThenAutoPlay) {
    facts.lameAvailable = true;
    facts.lameOn = true;
    facts.autoPlay = false;
    EXPECT_EQ(joined(19), "Rechter TRIGGER setzt STOP-CUEs. Linker TRIGGER ist deaktiviert, "
                          "weil AUTO PLAY AUS ist.");
    const std::string lameOff = joined(19);
    facts.lameOn = false;
    for (bool autoPlay : {false, true}) {
        facts.autoPlay = autoPlay;
        EXPECT_EQ(helpRows(19).back().text, "weil LAME aus oder nicht vorhanden ist.");
    }
    facts.lameOn = true;
    facts.autoPlay = true;
    const std::string calm = joined(19);
    facts.triggerWarning = true;
    EXPECT_NE(joined(19), calm);
    EXPECT_NE(joined(19), lameOff);
}

TEST_F(HelpText, AutoPlayHelpTellsOfEndlessOnTwoRowsThatStayInTheBox) {
    const std::vector<HelpRow> rows = helpRows(16);
    EXPECT_EQ(rows.size(), 6u);
    EXPECT_NE(joined(16).find(" STRG-Klick: ENDLOS wiederholt die Spielliste."), std::string::npos);
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_GE(rows[i].y - rows[i - 1].y, 10) << "rows stay readable";
}

TEST_F(HelpText, DuckHelpSaysNothingAboutTheCompressorBeingOff) {
    EXPECT_EQ(joined(67).find("Kompressor ist aus"), std::string::npos);
}

TEST_F(HelpText, GongHelpShowsThePlayersOwnState) {
    facts.gongVolume = 800;
    EXPECT_EQ(helpRows(68).back().text, "Jetzt 80%  oder -2 dB");
    facts.gongLoaded = false;
    const size_t emptyRows = helpRows(66).size();
    facts.gongLoaded = true;
    EXPECT_EQ(helpRows(66).size(), emptyRows - 1) << "the LOAD hint only for an empty player";
    EXPECT_EQ(helpRows(70)[1].text, screen::cp437("Länge: 4 Sek bis 5 Min."));
}

TEST_F(HelpText, PlaylistHelpHighlightsItsKeyWordsAtTheRowEnds) {
    int highlighted = 0;
    for (const HelpRow& r : helpRows(2))
        if (r.highlight >= 0) {
            ++highlighted;
            EXPECT_GE(r.x + 8 * int(r.text.size()), kInsideRight - 8) << r.text;
        }
    EXPECT_EQ(highlighted, 2);
}

TEST_F(HelpText, IdleAndLinkNoticesShowTheManualsShortAddress) {
    for (int id : {notice::kIdle, notice::kLink})
        EXPECT_EQ(helpRows(id).back().text, shortAddress(manualAddress())) << id;
    EXPECT_TRUE(helpRows(1000).empty());
    EXPECT_TRUE(helpRows(38).empty()) << "operation notices have their own lines";
}

TEST(ManualLink, AddressesAreFileUrlsWithTheirOddBytesEscaped) {
    EXPECT_EQ(fileUrl("/opt/Mein Player/ü.html"), "file:///opt/Mein%20Player/%C3%BC.html");
    EXPECT_EQ(shortAddress("file:///usr/share/doc/klangkelter/manual.html"),
              "file://.../klangkelter/manual.html");
    EXPECT_EQ(shortAddress("file:///manual.html"), "file:///manual.html");
    EXPECT_EQ(manualAddress().rfind("file:///", 0), 0u);
    EXPECT_NE(manualPath().find("/share/doc/klangkelter/manual.html"), std::string::npos);
}

} // namespace
