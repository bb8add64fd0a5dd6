// The hover help and the INFO tabs through the real program: the pointer
// rests on each control the way a user's would, and the dump tells which
// notice the box shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/png.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"

namespace {

struct Spot {
    int x, y, noticeId;
};

// Walked in this order; each spot's control differs from the one before.
const std::vector<Spot> kStackTabSpots = {
    {100, 200, 51}, {30, 30, 10},   {260, 30, 11},  {190, 30, 12},  {370, 30, 13},  {520, 30, 14},
    {596, 30, 15},  {450, 30, 16},  {250, 490, 17}, {360, 490, 18}, {450, 490, 19}, {520, 480, 20},
    {805, 83, 48},  {851, 83, 49},  {956, 83, 21},  {903, 83, 22},  {185, 490, 23}, {736, 83, 25},
    {673, 83, 26},  {667, 433, 27}, {717, 433, 28}, {817, 433, 29}, {917, 433, 52}, {967, 433, 60},
    {767, 433, 30}, {867, 433, 59}, {113, 30, 31},  {590, 480, 32}, {80, 490, 33},  {590, 512, 34},
    {614, 300, 63}, {978, 300, 64},
};
// The first card's fields (players 1 to 4 are shown), then TEMPO and BANK.
const std::vector<Spot> kGongSpots = {
    {683, 159, 65}, {739, 159, 66}, {886, 159, 67}, {841, 159, 68}, {798, 159, 69},
    {948, 159, 70}, {800, 124, 71}, {888, 83, 82},  {949, 83, 83},  {683, 242, 65},
};

std::string restAt(const Spot& s, const std::string& dumpName) {
    return "move " + std::to_string(s.x) + " " + std::to_string(s.y) + "\nwait 0.3\ndump " +
           dumpName + "\n";
}

TEST(HoverWalk, EveryControlShowsTheHelpItsRowGives) {
    fixtures::TempDir dir;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        ASSERT_TRUE(fixtures::makeSineMp3(dir.file(name), 21, 440, 0.3, 8000, 1));
    // Three songs in the playlist, and the same three again in the stack as
    // duplicates, so that both scroll bars explain themselves.
    std::string script = scenario::loadIntoPlaylist("a.mp3") +
                         "wait 0.5\nclick 867 433\nwait 0.5\ndialog a.mp3\nclick 956 83\n"
                         "wait 1\n";
    // The link notice replaces only the idle notice, which is back once the
    // import's notice of the duplicates has had its 12 s.
    script += "move 700 300\nwait 13\n" + restAt({800, 505, notice::kLink}, "link.txt");
    for (size_t i = 0; i < kStackTabSpots.size(); ++i)
        script += restAt(kStackTabSpots[i], "s" + std::to_string(i) + ".txt");
    script += "click 938 40\nwait 0.3\n";
    for (size_t i = 0; i < kGongSpots.size(); ++i)
        script += restAt(kGongSpots[i], "g" + std::to_string(i) + ".txt");
    // SAVE's help is held for 6 s: last.
    script += restAt({520, 512, notice::kAutosaveHelp}, "save.txt");
    // The INFO tabs, and back to the stack.
    for (auto [x, name] : {std::pair{743, "tab2"}, {808, "tab3"}, {873, "tab4"}, {677, "tab1"}})
        script += "click " + std::to_string(x) + " 40\nwait 0.3\ndump " + name + ".txt\n";
    script += "click 743 40\nwait 0.3\nscreenshot info.png\n";

    auto r = scenario::run(dir.path(), script, {"--program-dir", dir.path()},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto noticeIn = [&](const std::string& name) {
        return scenario::readDump(dir.file(name))["noticeId"];
    };
    const auto setup = scenario::readDump(dir.file("s0.txt"));
    ASSERT_EQ(setup.at("playlistCount"), "3");
    ASSERT_EQ(setup.at("stackCount"), "3");

    EXPECT_EQ(noticeIn("link.txt"), std::to_string(notice::kLink));
    for (size_t i = 0; i < kStackTabSpots.size(); ++i) {
        const Spot& s = kStackTabSpots[i];
        EXPECT_EQ(noticeIn("s" + std::to_string(i) + ".txt"), std::to_string(s.noticeId))
            << "at " << s.x << ", " << s.y;
    }
    for (size_t i = 0; i < kGongSpots.size(); ++i) {
        const Spot& s = kGongSpots[i];
        EXPECT_EQ(noticeIn("g" + std::to_string(i) + ".txt"), std::to_string(s.noticeId))
            << "gong panel at " << s.x << ", " << s.y;
    }
    EXPECT_EQ(noticeIn("save.txt"), std::to_string(notice::kAutosaveHelp));

    for (auto [name, tab] :
         {std::pair{"tab2.txt", "2"}, {"tab3.txt", "3"}, {"tab4.txt", "4"}, {"tab1.txt", "1"}})
        EXPECT_EQ(scenario::readDump(dir.file(name))["rightTab"], tab) << name;
    // The page is drawn: its light text field (colour 16) covers the stack's scroll bar.
    png::Image shot;
    ASSERT_TRUE(png::read(dir.file("info.png"), shot));
    const size_t at = (size_t(250) * size_t(shot.width) + 980) * 3;
    EXPECT_EQ(shot.rgb[at], 240);
}

// A click on a gong's volume changes the number its help shows at once.
TEST(HoverWalk, TheGongVolumeHelpFollowsAClick) {
    fixtures::TempDir dir;
    const std::string script = "click 938 40\nmove 841 159\nwait 0.4\nscreenshot a.png\n"
                               "click 841 159 right\nwait 0.1\nscreenshot b.png\ndump d.txt\n";
    auto r = scenario::run(dir.path(), script, {"--program-dir", dir.path()},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(scenario::readDump(dir.file("d.txt"))["noticeId"], "68");
    png::Image a, b;
    ASSERT_TRUE(png::read(dir.file("a.png"), a));
    ASSERT_TRUE(png::read(dir.file("b.png"), b));
    int changed = 0; // in the row of the volume line
    for (int y = 495; y < 503; ++y)
        for (int x = 649; x < 990; ++x) {
            const size_t i = (size_t(y) * size_t(a.width) + size_t(x)) * 3;
            changed += a.rgb[i] != b.rgb[i];
        }
    EXPECT_GT(changed, 0);
}

// The idle notice is there in the very first frame after the start screen
// (the panel is drawn in one go before the main loop's first pass), with the
// pointer inside the window or outside it.
TEST(HoverWalk, TheIdleNoticeShowsFromTheFirstFrame) {
    fixtures::TempDir dir;
    for (const char* pointer : {"", "move -1 -1\n"}) {
        std::string script = std::string("wait 0.9\nclick 300 260\n") + pointer;
        for (int i = 0; i < 8; ++i)
            script += "screenshot s" + std::to_string(i) + ".png\ndump d" + std::to_string(i) +
                      ".txt\nwait 0.01\n";
        auto r = scenario::runRaw(dir.path(), script, {"--program-dir", dir.path()},
                                  scenario::isolatedEnvironment(dir.path()));
        ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
        int loopFrames = 0;
        for (int i = 0; i < 8; ++i) {
            png::Image shot;
            ASSERT_TRUE(png::read(dir.file("s" + std::to_string(i) + ".png"), shot));
            auto red = [&](int x, int y) {
                return shot.rgb[(size_t(y) * size_t(shot.width) + size_t(x)) * 3];
            };
            if (scenario::readDump(dir.file("d" + std::to_string(i) + ".txt"))["loopPasses"] == "0")
                continue;
            ++loopFrames;
            int ink = 0; // on the first text row of the box
            for (int y = 474; y < 482; ++y)
                for (int x = 653; x < 980; ++x)
                    ink += red(x, y) == 0;
            EXPECT_GT(ink, 100) << "frame " << i << ", pointer: " << pointer;
        }
        EXPECT_GT(loopFrames, 0) << "the main loop ran";
    }
}

} // namespace
