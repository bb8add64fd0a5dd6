// ANGLEICHEN: the match each song gets, and the program carrying it out.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>

#include "analysis/envelope.h"
#include "analysis/loudness.h"
#include "playback/compressor.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

class MatchGain : public ::testing::Test {
  protected:
    void SetUp() override { allocateEnvelopes(); }
    void TearDown() override { envelopes = Envelopes{}; }
    void song(int slot, double lufs, int16_t peak) {
        finishEnvelope(slot, 100, lufs);
        for (int b = 0; b < 100; ++b)
            envelopes.peakTable[envelopeIndex(slot, b)] = int16_t(b == 50 ? peak : peak / 2);
    }
};

// Toward -20 LUFS, at most +12 dB (3981), and no peak above -1 dBFS (29204).
TEST_F(MatchGain, LiftsToTheTargetWithinTheCeilingAndThePeakLimit) {
    song(0, -26.0, 3000);
    EXPECT_EQ(matchGain(0), 1995.0f); // +6 dB
    song(0, -32.0, 3000);
    EXPECT_EQ(matchGain(0), 3981.0f); // +12 dB exactly
    song(0, -40.0, 3000);
    EXPECT_EQ(matchGain(0), 3981.0f) << "the ceiling";
    song(0, -40.0, 10000);
    EXPECT_EQ(matchGain(0), 2920.0f) << "the loudest block reaches -1 dBFS";
    song(0, -14.0, 32767);
    EXPECT_EQ(matchGain(0), 501.0f) << "a loud song is lowered";
    song(1, kNoLoudness, 3000);
    EXPECT_EQ(matchGain(1), 1000.0f) << "unmeasured";
    clearEnvelopeSlot(1);
    EXPECT_EQ(matchGain(1), 1000.0f) << "no envelope";
}

// The whole program: a quiet song and a loud one, matched or not.
class Matching : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        // -26 dBFS peak and -6 dBFS peak, 25 s each, stereo.
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("a.mp3"), 25, 440, 0.05, 44100, 2));
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("b.mp3"), 25, 440, 0.5, 44100, 2));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }
    TempDir dir;

    std::vector<std::string> run(const std::string& before, const std::vector<std::string>& args) {
        fs::create_directory(dir.file("m"));
        // (copy_file cannot replace a file under Windows' C++ library)
        for (const char* n : {"a.mp3", "b.mp3"})
            if (!fs::exists(dir.file(std::string("m/") + n)))
                fs::copy_file(sources->file(n), dir.file(std::string("m/") + n));
        fixtures::linkDecoder(dir.path());
        std::vector<std::string> all = {"--program-dir", dir.path(), "--mci-log",
                                        dir.file("mci.txt")};
        all.insert(all.end(), args.begin(), args.end());
        auto r = scenario::run(dir.path(),
                               scenario::loadIntoPlaylist(dir.file("m/a.mp3")) + "wait 4\n" +
                                   before + "key ctrl+p\nwait 8\ndump d.txt\n",
                               all);
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        std::vector<std::string> gains;
        for (const auto& l : scenario::readMciLog(dir.file("mci.txt")))
            if (l.command.find(" gain to ") != std::string::npos) gains.push_back(l.command);
        return gains;
    }
};

TEST_F(Matching, TheSwitchSendsTheMatchBehindTheVolumeAndTheSessionKeepsIt) {
    // Off: not a word of it in the log.
    EXPECT_TRUE(run("", {}).empty());
    EXPECT_EQ(scenario::readDump(dir.file("d.txt"))["matchOn"], "0");
    // A Ctrl-click on KOMPRESSOR: the quiet song is lifted to -20 LUFS as it
    // opens, by what its decode measures.
    ASSERT_EQ(fixtures::runProgram({fixtures::lameCommand(), "--decode", "--quiet",
                                    sources->file("a.mp3"), dir.file("a.wav")}),
              0);
    LoudnessMeter meter(44100, 2);
    meter.add(fixtures::readWav(dir.file("a.wav")).samples);
    const double lift = 1000 * std::pow(10, (-20 - meter.integrated()) / 20);
    auto gains = run("click 260 480 ctrl\nwait 0.4\n", {});
    ASSERT_EQ(gains.size(), 1u);
    const std::regex line(R"(setaudio AUBIO_I gain to (\d+))");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(gains[0], m, line)) << gains[0];
    EXPECT_NEAR(std::stoi(m[1]), lift, lift * 0.02);
    EXPECT_EQ(scenario::readDump(dir.file("d.txt"))["matchOn"], "1");
    // Saved after the other settings; --resume brings it back, a file
    // without it reads as off.
    const std::string session = dir.file("KLANGKELTER-Spielliste-Autosave.sav");
    std::ifstream in(session, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    ASSERT_NE(text.find("Endlos"), std::string::npos);
    ASSERT_NE(text.find("Angleichen\r\n1\r\n"), std::string::npos);
    EXPECT_GT(text.find("Angleichen"), text.find("Endlos"));
    auto resumed = scenario::runRaw(dir.path(), "wait 1\ndump r.txt\n",
                                    {"--resume", "--program-dir", dir.path()});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.errorOutput;
    EXPECT_EQ(scenario::readDump(dir.file("r.txt"))["matchOn"], "1");
    std::string older =
        text.substr(0, text.find("Angleichen")) + text.substr(text.find("Angleichen") + 15);
    std::ofstream(session, std::ios::binary) << older;
    scenario::runRaw(dir.path(), "wait 1\ndump r.txt\n", {"--resume", "--program-dir", dir.path()});
    EXPECT_EQ(scenario::readDump(dir.file("r.txt"))["matchOn"], "0");
}

} // namespace
