#include <gtest/gtest.h>

#include <filesystem>

#include <string>

#include "app/startup.h"
#include "platform/font.h"
#include "platform/png.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

using fixtures::TempDir;

screen::Rgb rgbAt(const png::Image& img, int x, int y) {
    size_t i = (size_t(y) * img.width + x) * 3;
    return {img.rgb[i], img.rgb[i + 1], img.rgb[i + 2]};
}

// True when the 8 x 8 cell at (x, y) shows `glyph` in `fg` on `bg`.
bool cellShows(const png::Image& img, int x, int y, unsigned char glyph, screen::Rgb fg,
               screen::Rgb bg) {
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 8; ++col) {
            bool set = font::kGlyphs[glyph][row] & (0x80 >> col);
            if (!(rgbAt(img, x + col, y + row) == (set ? fg : bg))) return false;
        }
    return true;
}

bool textShows(const png::Image& img, int row, int column, const std::string& text, screen::Rgb fg,
               screen::Rgb bg) {
    for (size_t i = 0; i < text.size(); ++i)
        if (!cellShows(img, int(column - 1 + i) * 8, (row - 1) * 8,
                       static_cast<unsigned char>(text[i]), fg, bg))
            return false;
    return true;
}

TEST(Startup, ProgramPaletteSetsTheFixedEntriesAndTheComputedRamp) {
    screen::open(screen::kWidth, screen::kHeight);
    setProgramPalette();
    const auto& p = screen::fb.palette;
    EXPECT_EQ(p[16], (screen::Rgb{240, 240, 240}));
    EXPECT_EQ(p[17], (screen::Rgb{249, 249, 249}));
    EXPECT_EQ(p[32], (screen::Rgb{0, 105, 105}));
    EXPECT_EQ(p[35], (screen::Rgb{10, 255, 255}));
    EXPECT_EQ(p[39], (screen::Rgb{220, 255, 255}));
    EXPECT_EQ(p[56], (screen::Rgb{249, 200, 163}));
    EXPECT_EQ(p[57], (screen::Rgb{247, 200, 166}));
    EXPECT_EQ(p[155], (screen::Rgb{250, 93, 122}));
    EXPECT_EQ(p[255], (screen::Rgb{249, 126, 228}));
    // Entries the program leaves alone keep the default palette.
    EXPECT_EQ(p[7], (screen::Rgb{0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(p[40], screen::defaultPalette()[40]);
    EXPECT_EQ(p[55], screen::defaultPalette()[55]);
}

TEST(Startup, SpeedMeasurementReallyCounts) {
    double speed = measureSpeed();
    EXPECT_GT(speed, 1.0);
    EXPECT_LT(speed, 1e6); // a loop that was optimised away would read as infinitely fast
}

TEST(Startup, MainWindowStartsWithThePanelTitleAndStartValues) {
    TempDir dir;
    auto r = scenario::run(dir.path(), "wait 1\nscreenshot s.png\ndump d.txt\n",
                           {"--program-dir", dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(r.errorOutput, "");
    png::Image img;
    ASSERT_TRUE(png::read(dir.file("s.png"), img));
    EXPECT_EQ(img.width, 1000);
    EXPECT_EQ(img.height, 527);
    // The program's own palette over the panel's areas.
    screen::open(screen::kWidth, screen::kHeight);
    setProgramPalette();
    const auto& p = screen::fb.palette;
    EXPECT_EQ(rgbAt(img, 0, 300), p[23]);   // playlist side
    EXPECT_EQ(rgbAt(img, 634, 300), p[46]); // divider
    EXPECT_EQ(rgbAt(img, 637, 500), p[69]); // below the notice box
    EXPECT_EQ(rgbAt(img, 999, 0), p[58]);   // the window behind everything
    EXPECT_EQ(rgbAt(img, 700, 470), p[29]); // the idle notice's box

    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["clock"], "2.000");
    EXPECT_EQ(d["windowTitle"], " MP3-KlangKelter | " KK_VERSION);
    EXPECT_EQ(d["noticeId"], "127");
    EXPECT_EQ(d["autoPlay"], "1");
    EXPECT_EQ(d["blendSetting"], "1");
    EXPECT_EQ(d["masterVolume"], "1");
    EXPECT_EQ(d["compressorOn"], "1");
    EXPECT_EQ(d["setupNumber"], "5");
    EXPECT_EQ(d["gain"], "1000");
    EXPECT_EQ(d["nextTrackGain"], "1000");
    EXPECT_EQ(d["duckFactor"], "1");
    EXPECT_EQ(d["playlistTop"], d["playPosition"]);
    EXPECT_EQ(d["channelOpen"], "0,0");
    EXPECT_EQ(d["audioSink"], "null");
}

TEST(Startup, DecoderIsFoundInTheProgramFolderBeforePath) {
    TempDir dir;
    std::string fake = dir.file("lame");
    ASSERT_EQ(fixtures::runProgram({"/bin/cp", "/bin/true", fake}), 0);
    auto r = scenario::run(dir.path(), "wait 0.5\ndump d.txt\n", {"--program-dir", dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(scenario::readDump(dir.file("d.txt"))["lameAvailable"], "1");
}

// Values that make no sense stop the run before it starts, with a message
// and exit code 2; a relative program folder is taken from the start folder.
TEST(Startup, BadCommandLineValuesAreRefusedAndARelativeProgramFolderWorks) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    const std::vector<std::vector<std::string>> bad = {
        {"--program-dir", dir.file("script.txt")},
        {"--program-dir", dir.file("missing")},
        {"--envelope-out", dir.file("script.txt")},
        {"--mci-log", dir.file("missing/mci.log")},
        {"--mci-log", dir.file("sub")},
        {"--render", dir.file("missing/out.wav")},
        {"--desktop", "1000x600junk"},
        {"--seed", "-3"},
    };
    for (const auto& args : bad) {
        auto r = scenario::run(dir.path(), "wait 0.5\ndump d.txt\n", args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args[1];
        EXPECT_NE(r.errorOutput.find("klangkelter: "), std::string::npos) << r.errorOutput;
        EXPECT_FALSE(std::filesystem::exists(dir.file("d.txt"))) << args[0];
    }
    auto r = scenario::run(dir.path(), "wait 0.5\n", {"--script", dir.file("sub")});
    EXPECT_EQ(r.exitCode, 2) << "a script that is a folder";

    ASSERT_EQ(fixtures::runProgram({"/bin/cp", "/bin/true", dir.file("sub/lame")}), 0);
    r = scenario::run(dir.path(), "wait 0.5\ndump d.txt\n", {"--program-dir", "sub"});
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(scenario::readDump(dir.file("d.txt"))["lameAvailable"], "1");
}

struct DesktopCase {
    const char* size;
    bool refused;
};

class DesktopTest : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(DesktopTest, SmallDesktopGetsTheRefusalScreenForEightSeconds) {
    TempDir dir;
    // The refusal comes before the start screen, which the accepted size shows.
    auto r = scenario::runRaw(dir.path(),
                              "wait 1\nscreenshot s.png\nwait 6.5\ndump early.txt\nwait 1\n"
                              "dump late.txt\nwait 2\n",
                              {"--desktop", GetParam().size});
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    png::Image img;
    ASSERT_TRUE(png::read(dir.file("s.png"), img));
    if (!GetParam().refused) {
        EXPECT_EQ(img.width, 1000);
        EXPECT_TRUE(dir.path().size() && !scenario::readDump(dir.file("late.txt")).empty());
        return;
    }
    ASSERT_EQ(img.width, 400);
    ASSERT_EQ(img.height, 300);
    screen::Rgb black{0, 0, 0};
    screen::Rgb bg = screen::defaultPalette()[29];
    EXPECT_EQ(rgbAt(img, 399, 299), bg);
    EXPECT_TRUE(textShows(img, 4, 2, "programm kann nicht gestartet werden:", black, bg));
    EXPECT_TRUE(textShows(img, 9, 2, "Die Grafik des PCs reicht nicht aus.", black, bg));
    EXPECT_TRUE(textShows(img, 11, 2, "Minimum 1000x600 werden verlangt.", black, bg));
    // Eight seconds, then the program ends by itself.
    EXPECT_FALSE(scenario::readDump(dir.file("early.txt")).empty());
    EXPECT_TRUE(scenario::readDump(dir.file("late.txt")).empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, DesktopTest,
                         ::testing::Values(DesktopCase{"1000x600", false},
                                           DesktopCase{"999x600", true},
                                           DesktopCase{"1000x599", true},
                                           DesktopCase{"640x480", true}));

TEST(Startup, RunTimeErrorShowsNumberAndLineThenWaitsForAKey) {
    TempDir dir;
    auto r = scenario::run(dir.path(),
                           "wait 1\nraise 11\nwait 4\ndump waiting.txt\nwait 2\nscreenshot e.png\n"
                           "dump still.txt\nkey a\nwait 1\ndump after.txt\nwait 1\n");
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    png::Image img;
    ASSERT_TRUE(png::read(dir.file("e.png"), img));
    screen::Rgb white{0xFF, 0xFF, 0xFF}, black{0, 0, 0};
    EXPECT_EQ(rgbAt(img, 500, 300), white);
    EXPECT_TRUE(textShows(img, 2, 2, " Fehler  11 in  ", black, white));
    // The line number follows, then four blanks.
    std::string digits;
    int col = 18;
    for (; col < 30; ++col) {
        bool found = false;
        for (char c = '0'; c <= '9' && !found; ++c)
            if (cellShows(img, (col - 1) * 8, 8, c, black, white)) {
                digits += c;
                found = true;
            }
        if (!found) break;
    }
    EXPECT_FALSE(digits.empty());
    EXPECT_GT(std::stoi(digits), 0);
    EXPECT_TRUE(textShows(img, 2, col, "    ", black, white));
    // Still there after 5 s, gone once a key was pressed; the loop never resumed.
    EXPECT_FALSE(scenario::readDump(dir.file("waiting.txt")).empty());
    EXPECT_FALSE(scenario::readDump(dir.file("still.txt")).empty());
    EXPECT_TRUE(scenario::readDump(dir.file("after.txt")).empty());
}

} // namespace
