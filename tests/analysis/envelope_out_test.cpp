#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/startup.h"
#include "platform/png.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;

// The real decoder analyses the coming songs; the runner writes what it saw.
TEST(EnvelopeOut, FinishedSlotsAreDumpedAndWrittenAsText) {
    fixtures::TempDir dir;
    std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "a.mp3", 21, 440, 0.5, 44100, 1));
    fs::copy_file(music + "a.mp3", music + "b.mp3");
    fixtures::linkDecoder(dir.path());
    fs::create_directory(dir.file("env"));
    auto env = scenario::isolatedEnvironment(dir.path());
    auto r = scenario::run(dir.path(),
                           scenario::loadIntoPlaylist(music + "a.mp3") +
                               "wait 0.5\nscreenshot working.png\nwait 20\ndump d.txt\n"
                               "screenshot done.png\n",
                           {"--program-dir", dir.path(), "--envelope-out", dir.file("env")}, env);
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["envelopePresent.0"], "1");
    EXPECT_EQ(d["envelopePresent.1"], "1");
    EXPECT_EQ(d["envelopePresent.2"], "0");
    EXPECT_EQ(d["envelopeTrackName.0"], "a.mp3");
    EXPECT_EQ(d["decodeSlot"], "0");
    // 21 s of 50 ms blocks, less the unread tail of the data.
    int blocks = std::stoi(d["blockCount.0"]);
    EXPECT_GT(blocks, 400);
    EXPECT_LE(blocks, 420);

    // The hint or working label in the first card gives way to the envelope,
    // which leaves the band's own colour above the tone's level.
    png::Image working, done;
    ASSERT_TRUE(png::read(dir.file("working.png"), working));
    ASSERT_TRUE(png::read(dir.file("done.png"), done));
    auto rgb = [](const png::Image& image, int x, int y) {
        const uint8_t* p = &image.rgb[size_t(y * image.width + x) * 3];
        return std::vector<uint8_t>(p, p + 3);
    };
    EXPECT_NE(rgb(working, 60, 82), rgb(working, 540, 82));
    EXPECT_EQ(rgb(done, 60, 82), rgb(done, 540, 82));
    // While the song is read its band holds the working label: the filled
    // box from (26, 80) to (526, 105) in colour 221 inside its two outlines.
    setProgramPalette();
    auto colour = [](int index) {
        const auto& c = screen::fb.palette[size_t(index)];
        return std::vector<uint8_t>{c.r, c.g, c.b};
    };
    for (auto [x, y] : {std::pair{28, 82}, {524, 103}, {40, 100}})
        EXPECT_EQ(rgb(working, x, y), colour(221)) << x << "," << y;
    EXPECT_EQ(rgb(working, 26, 90), colour(8));
    EXPECT_EQ(rgb(working, 27, 90), colour(7));
    EXPECT_NE(rgb(working, 25, 90), colour(8));
    EXPECT_NE(rgb(done, 40, 100), colour(221));

    std::ifstream text(dir.file("env") + "/slot0-a.mp3.txt");
    ASSERT_TRUE(text.good());
    int lines = 0, block = 0, peak = 0, level = 0, loudest = 0;
    while (text >> block >> peak >> level) {
        EXPECT_EQ(block, lines);
        EXPECT_LE(level, peak);
        loudest = std::max(loudest, peak);
        ++lines;
    }
    EXPECT_EQ(lines, blocks);
    // A sine of half scale peaks near 16384 (lame keeps about 95 % of it).
    EXPECT_GT(loudest, 14000);
    EXPECT_LT(loudest, 17500);
}

} // namespace

namespace {

// The slots follow the playlist: skipping a song moves the next song's
// envelope into the current slot at once, without decoding it again.
TEST(EnvelopeOut, SkippingASongShiftsTheSlots) {
    fixtures::TempDir dir;
    std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "a.mp3", 21, 440, 0.5, 8000, 1));
    fs::copy_file(music + "a.mp3", music + "b.mp3");
    fs::copy_file(music + "a.mp3", music + "c.mp3");
    fixtures::linkDecoder(dir.path());
    auto r = scenario::run(
        dir.path(),
        scenario::loadIntoPlaylist(music + "a.mp3") + "wait 30\ndump before.txt\n"
                                                      "key n ctrl shift\nwait 0.1\ndump d.txt\n",
        {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto before = scenario::readDump(dir.file("before.txt"));
    ASSERT_EQ(before["envelopePresent.2"], "1");
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["envelopeTrackName.0"], "b.mp3");
    EXPECT_EQ(d["envelopePresent.0"], "1");
    EXPECT_EQ(d["blockCount.0"], before["blockCount.1"]);
    EXPECT_EQ(d["envelopeTrackName.1"], "c.mp3");
    EXPECT_EQ(d["envelopePresent.2"], "0");
}

} // namespace
