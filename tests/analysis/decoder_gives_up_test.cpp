#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;

// A decoder that ends without writing a buffer must not hold up the other
// songs, nor be started again and again for the same song.
TEST(DecoderGivesUp, ASongWhoseDecoderWritesNothingLetsTheNextOnesThrough) {
    fixtures::TempDir dir;
    std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "a.mp3", 21, 440, 0.3, 8000, 1));
    fs::copy_file(music + "a.mp3", music + "b.mp3");
    fs::copy_file(music + "a.mp3", music + "c.mp3");
    std::string calls = dir.file("calls.txt");
    fixtures::installFakeDecoder(dir.path(), "calls " + calls + "\nexit 0\n");

    auto r = scenario::run(
        dir.path(), scenario::loadIntoPlaylist(music + "a.mp3") + "wait 30\ndump d.txt\n",
        {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    std::ifstream in(calls);
    std::vector<std::string> tried;
    for (std::string line; std::getline(in, line);)
        if (fs::path(line).extension() == ".mp3")
            tried.push_back(fs::path(line).filename().string());
    ASSERT_GE(tried.size(), 3u);
    EXPECT_EQ(tried[0], "a.mp3");
    EXPECT_EQ(tried[1], "b.mp3");
    EXPECT_EQ(tried[2], "c.mp3");
    // Within the minute nothing is tried twice.
    EXPECT_EQ(tried.size(), 3u);
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["decodeSlot"], "0");
    EXPECT_EQ(d["envelopePresent.0"], "0");
}

} // namespace
