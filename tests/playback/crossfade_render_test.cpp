// What a change-over sounds like: two analysed songs rendered through the WAV sink.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

constexpr int kSongRate = 44100;
constexpr double kWindow = 0.05;

// A tone with a silent intro and a linear fade-out at its end.
std::vector<int16_t> tone(double seconds, double freq, double silentIntro, double fadeOut) {
    std::vector<int16_t> out(size_t(seconds * kSongRate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / kSongRate;
        double a = t < silentIntro ? 0 : 0.4;
        if (t > seconds - fadeOut) a = 0.4 * (seconds - t) / fadeOut;
        out[i] = int16_t(std::lround(a * 32767 * std::sin(2 * M_PI * freq * t)));
    }
    return out;
}

std::vector<double> toneLevel(const fixtures::Wav& wav, double freq) {
    return fixtures::toneLevels(wav, freq, kWindow);
}

TEST(CrossFadeRender, TheNextSongSetsInWhileTheFirstFadesAndItsSilentIntroIsSkipped) {
    TempDir dir;
    const std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::writeWav(dir.file("a.wav"), tone(30, 440, 0, 1), kSongRate, 1));
    ASSERT_TRUE(fixtures::writeWav(dir.file("b.wav"), tone(30, 660, 3, 4), kSongRate, 1));
    ASSERT_TRUE(fixtures::encodeMp3(dir.file("a.wav"), music + "a.mp3"));
    ASSERT_TRUE(fixtures::encodeMp3(dir.file("b.wav"), music + "b.mp3"));
    fixtures::linkDecoder(dir.path());

    // The compressor is switched off so that the fade alone shapes the level.
    std::string script = scenario::loadIntoPlaylist(music + "a.mp3") +
                         "wait 0.5\nclick 250 480\nwait 0.5\nkey ctrl+p\nwait 15\n"
                         "dump before.txt\nwait 30\ndump d.txt\n";
    auto r = scenario::run(dir.path(), script,
                           {"--program-dir", dir.path(), "--render", dir.file("out.wav")},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto before = scenario::readDump(dir.file("before.txt"));
    ASSERT_EQ(before["compressorOn"], "0");
    ASSERT_EQ(before["envelopePresent.1"], "1");
    // The start cue sits two blocks before the end of the 3 s of silence.
    const double cue = std::stod(before["startCue.1"]) * 30;
    EXPECT_GT(cue, 2.8);
    EXPECT_LT(cue, 3.0);
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["fadesDone"], "1");

    auto wav = fixtures::readWav(dir.file("out.wav"));
    ASSERT_GT(wav.rate, 0);
    auto a = toneLevel(wav, 440), b = toneLevel(wav, 660);
    ASSERT_EQ(a.size(), b.size());
    const double audible = 0.01;
    size_t aStart = 0, bStart = 0, aEnd = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!aStart && a[i] > 0.2) aStart = i;
        if (!bStart && b[i] > audible) bStart = i;
        if (a[i] > audible) aEnd = i;
    }
    ASSERT_GT(aStart, 0u);
    ASSERT_GT(bStart, aStart);
    // The next song's music sets in while the first is still audible...
    EXPECT_LT(bStart, aEnd);
    // ... and falling: it began its fade before.
    EXPECT_LT(a[bStart], 0.9 * a[aStart + 20]);
    // It is heard half a second into the fade: its silent intro was skipped
    // (from the start, its tone would set in 3 s later).
    const double plateau = a[aStart + 20];
    size_t fadeBegin = aStart + 20;
    while (fadeBegin < a.size() && a[fadeBegin] > 0.97 * plateau)
        ++fadeBegin;
    EXPECT_GT((double(bStart) - double(fadeBegin)) * kWindow, 0.3);
    EXPECT_LT((double(bStart) - double(fadeBegin)) * kWindow, 0.9);
    EXPECT_GT(b[bStart + 10], 0.2);
    // From the first song's start to the second song's last second, never
    // more than half a second of silence.
    size_t quiet = 0, longestQuiet = 0;
    for (size_t i = aStart; i < bStart + size_t(20 / kWindow) && i < a.size(); ++i) {
        quiet = a[i] + b[i] < audible ? quiet + 1 : 0;
        longestQuiet = std::max(longestQuiet, quiet);
    }
    EXPECT_LE(longestQuiet * kWindow, 0.5);
}

} // namespace
