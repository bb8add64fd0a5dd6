// Reviewed screenshots of whole screens. A mismatch writes the actual image and
// a diff image (changed pixels in red) to golden-out/ in the working folder.
// tools/update-goldens.sh accepts the current screens after a review.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "analysis/decoder.h"
#include "app/startup.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/png.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/info_pages.h"
#include "ui/list_views.h"
#include "ui/notice_view.h"
#include "ui/transport_view.h"

namespace {

namespace fs = std::filesystem;

std::string goldenPath(const std::string& name) {
    return std::string(KK_SOURCE_DIR) + "/tests/golden/" + name + ".png";
}

bool updating() {
    return std::getenv("KK_UPDATE_GOLDENS") != nullptr;
}

// Compares a PNG with its golden; on a difference writes the actual and diff images.
void expectMatchesGolden(const std::string& name, const std::string& actualPath) {
    if (updating()) {
        fs::copy_file(actualPath, goldenPath(name), fs::copy_options::overwrite_existing);
        return;
    }
    png::Image golden, actual;
    ASSERT_TRUE(png::read(goldenPath(name), golden)) << "missing golden " << goldenPath(name);
    ASSERT_TRUE(png::read(actualPath, actual));
    ASSERT_EQ(actual.width, golden.width);
    ASSERT_EQ(actual.height, golden.height);
    png::Image diff = actual;
    size_t differing = 0;
    for (size_t i = 0; i + 2 < actual.rgb.size(); i += 3) {
        bool same = actual.rgb[i] == golden.rgb[i] && actual.rgb[i + 1] == golden.rgb[i + 1] &&
                    actual.rgb[i + 2] == golden.rgb[i + 2];
        if (!same) ++differing;
        uint8_t grey = uint8_t((actual.rgb[i] + actual.rgb[i + 1] + actual.rgb[i + 2]) / 6);
        diff.rgb[i] = same ? grey : 255;
        diff.rgb[i + 1] = same ? grey : 0;
        diff.rgb[i + 2] = same ? grey : 0;
    }
    if (differing > 0) {
        fs::create_directories("golden-out");
        fs::copy_file(actualPath, "golden-out/" + name + ".actual.png",
                      fs::copy_options::overwrite_existing);
        png::writeRgb("golden-out/" + name + ".diff.png", diff);
    }
    EXPECT_EQ(differing, 0u) << name << ": see " << fs::absolute("golden-out").string();
}

TEST(Golden, EmptyPanelAtStart) {
    fixtures::TempDir dir;
    // Without a decoder on the machine's PATH, whatever the machine has.
    auto r = scenario::run(dir.path(), "wait 1\nscreenshot s.png\n", {"--program-dir", dir.path()},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    expectMatchesGolden("empty-panel", dir.file("s.png"));
}

// The start screen counting down, with only the first box and with the
// restore box a saved session adds; any file of that name counts as saved.
TEST(Golden, StartScreenWithAndWithoutASavedSession) {
    fixtures::TempDir dir;
    auto r =
        scenario::runRaw(dir.path(), "wait 1\nscreenshot s.png\n", {"--program-dir", dir.path()},
                         scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    expectMatchesGolden("start-screen", dir.file("s.png"));

    fs::copy_file(dir.file("script.txt"), dir.file("KLANGKELTER-Spielliste-Autosave.sav"));
    r = scenario::runRaw(dir.path(), "wait 1\nscreenshot s.png\n", {"--program-dir", dir.path()},
                         scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    expectMatchesGolden("start-screen-saved-session", dir.file("s.png"));
}

TEST(Golden, EndBoxOverTheEmptyPanel) {
    fixtures::TempDir dir;
    auto r =
        scenario::run(dir.path(), "wait 1\nkey ctrl+x\nwait 0.5\nscreenshot s.png\n",
                      {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    expectMatchesGolden("end-box", dir.file("s.png"));
}

// The GONG panel with one player playing, one paused and the rest empty; then
// the second bank.
TEST(Golden, GongPanelBothBanks) {
    fixtures::TempDir dir;
    ASSERT_TRUE(
        fixtures::makeSineMp3(dir.file("Tusch zur vollen Stunde.mp3"), 20, 880, 0.3, 8000, 1));
    ASSERT_TRUE(
        fixtures::makeSineMp3(dir.file("Gong vor der Durchsage.mp3"), 20, 660, 0.3, 8000, 1));
    const std::string script = "wait 1\nclick 938 40\nwait 0.5\n"
                               "dialog Tusch zur vollen Stunde.mp3\nclick 948 159\nwait 0.4\n"
                               "dialog Gong vor der Durchsage.mp3\nclick 948 242\nwait 0.4\n"
                               "click 683 159\nwait 0.4\nclick 683 242\nwait 3\n"
                               "click 683 242\nwait 1\nscreenshot bank1.png\n"
                               "click 949 83\nwait 0.5\nscreenshot bank2.png\n";
    auto r = scenario::run(dir.path(), script, {"--program-dir", dir.path()},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    expectMatchesGolden("gongs-bank-1", dir.file("bank1.png"));
    expectMatchesGolden("gongs-bank-2", dir.file("bank2.png"));
}

// A preview under way: the "Position:" line in the notice box, VORH lit; and
// AUTO PLAY with ENDLOS on.
TEST(Golden, PreviewPositionAndEndlessAutoPlay) {
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("Probe.mp3"), 60, 440, 0.3, 8000, 1));
    const std::string script = "wait 0.5\ndialog Probe.mp3\nclick 956 83\nwait 1\n"
                               "click 458 28 ctrl\nwait 0.4\nclick 917 433\nwait 0.3\n"
                               "press 660 115\nwait 0.5\nrelease\nwait 3\nscreenshot p.png\n";
    auto r = scenario::run(dir.path(), script, {"--program-dir", dir.path()},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    expectMatchesGolden("preview-endless", dir.file("p.png"));
}

// In-process screens: the lists are filled directly, the way the list
// operations leave them.
class GoldenScreen : public ::testing::Test {
  protected:
    double now = 100.0;
    void SetUp() override {
        timing::install({[this] { return now; }, [this](double ms) { now += ms / 1000.0; }});
        screen::open(screen::kWidth, screen::kHeight);
        setProgramPalette();
        clearLists();
        paths.lamePath.clear(); // the LAME button shows the same on every machine
        timing::fixTimeOfDay(12 * 3600.0);
        tracks.folderTable[1] = "/musik/";
        tracks.folderTable[2] = "/mehr musik/";
        tracks.folderCount = 2;
    }
    void TearDown() override { timing::install({}); }

    static const char* title(int i) {
        static const char* kTitles[] = {
            "Abendrot über dem Hafen",
            "Blaue Stunde",
            "Café Noir (Live)",
            "Die lange Reise nach Süden und wieder zurück am Ende des Sommers",
            "Erste Liebe",
            "Fernweh",
            "Große Freiheit",
            "Herbstlaub",
            "Im Wintergarten",
            "Jazz am Morgen",
            "Kleine Nachtmusik (Remix)",
            "Lichter der Stadt",
            "Mondschein",
            "Nordwind",
            "Ostwärts",
            "Perlen",
            "Quellwasser",
            "Regentage",
            "Sonnenseite",
            "Tanz im Regen",
            "Übermorgen",
            "Vogelfrei",
            "Wellenrauschen",
            "Xylophon-Walzer",
            "Zugvögel"};
        return kTitles[i % 25];
    }
    static void addStack(const std::string& name, int32_t ms, int mark, int dup) {
        int slot = ++tracks.stackCount;
        auto& e = tracks.stack[size_t(slot)];
        e.fileName = padName(name);
        e.nameLength = int32_t(name.size());
        e.lengthMs = ms;
        e.folderIndex = 1;
        e.duplicateFlag = int16_t(dup);
        e.stackMark = uint8_t(mark);
    }
    static void addPlaylist(const std::string& name, int32_t ms, int selected) {
        int slot = ++tracks.playlistCount;
        auto& e = tracks.playlist[size_t(slot)];
        e.fileName = padName(name);
        e.nameLength = int32_t(name.size());
        e.lengthMs = ms;
        e.folderIndex = 2;
        e.playlistSelected = uint8_t(selected);
    }
    void shoot(const std::string& name) {
        fixtures::TempDir dir;
        std::string path = dir.file(name + ".png");
        ASSERT_TRUE(png::writeFramebuffer(path, screen::fb));
        expectMatchesGolden(name, path);
    }
};

TEST_F(GoldenScreen, StackOf25WithDuplicatesAndASelection) {
    for (int i = 0; i < 25; ++i) {
        int mark = (i == 2 || i == 3 || i == 4 || i == 9) ? 1 : 0;
        int dup = (i == 6 || i == 12 || i == 13) ? 1 : 0;
        addStack(std::string(title(i)) + ".mp3", 95000 + 7919 * i, mark, dup);
    }
    drawControlPanel();
    shoot("stack-25");
}

TEST_F(GoldenScreen, PlaylistOf10) {
    for (int i = 0; i < 10; ++i)
        addPlaylist(std::string(title(i * 2)) + ".mp3", 125000 + 10007 * i, i == 5 ? 1 : 0);
    tracks.playPosition = 1;
    tracks.playlistTop = 1;
    drawControlPanel();
    shoot("playlist-10");
}

// The stack as the list operations leave it: a Shift-range over a grey
// duplicate (skipped, notice 62), then a name sort, after which the button
// offers the descending order.
TEST_F(GoldenScreen, StackRangeSelectedAndSortedByName) {
    for (int i = 0; i < 25; ++i)
        addStack(std::string(title((i * 7) % 25)) + ".mp3", 95000 + 7919 * i, 0,
                 (i == 6 || i == 12 || i == 13) ? 1 : 0);
    drawControlPanel();
    selectStackEntry(3);
    selectStackRange(10);
    ASSERT_TRUE(sortStack(true));
    drawStackView();
    shoot("stack-range-sorted");
}

// A playlist selection, and the crossed circle of a refused click.
TEST_F(GoldenScreen, PlaylistSelectionAndTheRefusalMark) {
    for (int i = 0; i < 10; ++i)
        addPlaylist(std::string(title(i * 2 + 1)) + ".mp3", 125000 + 10007 * i, 0);
    tracks.playPosition = 1;
    tracks.playlistTop = 1;
    drawControlPanel();
    selectPlaylistSong(4, false, false, false);
    selectPlaylistSong(7, true, false, false);
    drawRefusedSign();
    shoot("playlist-selection-refused");
}

// The three INFO pages over a playlist.
TEST_F(GoldenScreen, InfoPages) {
    for (int i = 0; i < 6; ++i)
        addPlaylist(std::string(title(i * 3)) + ".mp3", 125000 + 10007 * i, 0);
    tracks.playPosition = 1;
    tracks.playlistTop = 1;
    drawControlPanel();
    for (int tab = 2; tab <= 4; ++tab) {
        drawInfoPage(tab);
        shoot("info-tab-" + std::to_string(tab));
    }
}

// The playlist's help with its two highlighted key words.
TEST_F(GoldenScreen, HelpNoticeWithKeyWords) {
    drawControlPanel();
    notices.noticeId = 2;
    drawNotice();
    shoot("help-playlist-keywords");
}

} // namespace
