// What the fades sound like: the real mix rendered through the WAV sink.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

constexpr int kRate = 44100;

// RMS of the left channel in 50 ms windows.
std::vector<double> envelope(const fixtures::Wav& wav) {
    std::vector<double> out;
    const size_t window = kRate / 20;
    for (size_t start = 0; start + window <= wav.frames(); start += window) {
        double sum = 0;
        for (size_t i = start; i < start + window; ++i) {
            double v = wav.samples[i * size_t(wav.channels)] / 32768.0;
            sum += v * v;
        }
        out.push_back(std::sqrt(sum / double(window)));
    }
    return out;
}

double at(const std::vector<double>& env, double seconds) {
    size_t i = size_t(seconds * 20);
    return i < env.size() ? env[i] : 0.0;
}

class FadeRender : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("tone.mp3"), 40, 440, 0.5));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }
    TempDir dir;

    std::vector<double> render(const std::string& actions) {
        std::string music = dir.file("m") + "/";
        fs::create_directory(music);
        fs::copy_file(sources->file("tone.mp3"), music + "tone.mp3");
        // The song reaches the playlist at 3 s; the actions start at 4 s. The
        // compressor is switched off so that the fades alone shape the level.
        std::string script =
            scenario::loadIntoPlaylist(music + "tone.mp3") + "wait 1.94\nclick 250 480\n" + actions;
        auto r = scenario::run(dir.path(), script,
                               {"--program-dir", dir.path(), "--render", dir.file("out.wav"),
                                "--mci-log", dir.file("mci.log")},
                               scenario::isolatedEnvironment(dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        auto wav = fixtures::readWav(dir.file("out.wav"));
        EXPECT_EQ(wav.rate, kRate);
        EXPECT_EQ(wav.channels, 2);
        // Times from the script's start, after the start screen.
        auto env = envelope(wav);
        env.erase(env.begin(),
                  env.begin() + std::min(env.size(), size_t(scenario::kStartScreenSeconds * 20)));
        return env;
    }
};

TEST_F(FadeRender, PlayThenStopFallsSmoothlyToSilence) {
    // Play at 4 s, stop (staying on the song) at 9 s.
    auto env = render("key ctrl+p\nwait 4.96\nkey s ctrl\nwait 6\n");
    const double full = 0.5 * 0.95 / std::sqrt(2.0); // lame gives back about 95 %
    EXPECT_LT(at(env, 3.5), 0.001);
    EXPECT_NEAR(at(env, 6.0), full, 0.03);
    EXPECT_NEAR(at(env, 8.9), full, 0.03);
    // Nine-millisecond ticks of -0.003 (a little more at the bottom): about 3 s to silence.
    EXPECT_LT(at(env, 10.5), at(env, 9.2));
    EXPECT_LT(at(env, 12.5), 0.001);
    double previous = at(env, 9.1);
    for (double t = 9.15; t < 12.5; t += 0.05) {
        double now = at(env, t);
        EXPECT_LE(now, previous + 0.002) << "at " << t;
        EXPECT_GT(now, previous - 0.03) << "a jump at " << t;
        previous = now;
    }
}

TEST_F(FadeRender, PauseThenPlayFadesInOverOneAndAHalfSeconds) {
    // PAUSE button at 4 s + 10 s of playing, PLAY again 5 s later.
    auto env = render("key ctrl+p\nwait 9.98\nclick 113 28\nwait 5\nkey ctrl+p\nwait 3\n");
    const double full = 0.5 * 0.95 / std::sqrt(2.0);
    std::ifstream log(dir.file("mci.log"));
    std::string line, seek;
    while (std::getline(log, line))
        if (line.find(" play AUBIO_II from ") != std::string::npos)
            seek = line.substr(line.rfind(' ') + 1);
    ASSERT_FALSE(seek.empty());
    // Paused near 10 s: restarted 0.3 x 1.5 s before the cue (cue = position - 0.3 s).
    EXPECT_NEAR(std::stoi(seek), 10000 - 300 - 450, 120);

    double playAgain = 4 + 10 + 5;
    EXPECT_LT(at(env, playAgain - 0.5), 0.001);
    double quarter = at(env, playAgain + 0.4), half = at(env, playAgain + 0.75),
           end = at(env, playAgain + 1.7);
    EXPECT_GT(quarter, 0.1 * full);
    EXPECT_LT(quarter, 0.45 * full);
    EXPECT_GT(half, 0.35 * full);
    EXPECT_LT(half, 0.7 * full);
    EXPECT_NEAR(end, full, 0.03);
}

// The device pulled at 7 s and given back at 15 s: silence meanwhile while the
// song's clock runs on, the sound found again at the next try (every 5 s from
// the loss, so at 17 s) where that clock has the song, and the user told once.
TEST_F(FadeRender, ALostDeviceIsFoundAgainAndTheSongGoesOnWhereItsClockIs) {
    auto env = render("key ctrl+p\nwait 2.96\naudio lose\nwait 5\ndump lost.txt\nwait 3\n"
                      "audio back\nwait 1.9\ndump before.txt\nwait 0.2\ndump back.txt\nwait 2\n");
    const double full = 0.5 * 0.95 / std::sqrt(2.0);
    EXPECT_NEAR(at(env, 6.8), full, 0.03);
    for (double t = 7.05; t < 16.95; t += 0.05)
        ASSERT_LT(at(env, t), 0.001) << "silent without a device, at " << t;
    EXPECT_NEAR(at(env, 17.1), full, 0.03) << "the sound is back at the try after the return";
    auto lost = scenario::readDump(dir.file("lost.txt"));
    EXPECT_EQ(lost["audioSink"], "silent");
    EXPECT_EQ(lost["noticeId"], "86");
    EXPECT_NEAR(std::stod(lost["positionMs"]), 8000, 100) << "the clock runs on without sound";
    auto before = scenario::readDump(dir.file("before.txt"));
    EXPECT_EQ(before["audioSink"], "silent") << "found by the retry, not at once";
    auto back = scenario::readDump(dir.file("back.txt"));
    EXPECT_EQ(back["audioSink"], "wav");
    EXPECT_EQ(back["noticeId"], "94");
    EXPECT_NEAR(std::stod(back["positionMs"]), 13100, 100);
    EXPECT_EQ(back["playerRunning"], "1");
}

} // namespace
