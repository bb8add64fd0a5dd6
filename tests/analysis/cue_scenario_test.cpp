#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr double kBlockSeconds = 0.05;
constexpr double kAmplitude = 0.5;
constexpr double kSongSeconds = 32;
constexpr double kFadeOutSeconds = 6;

// A 440 Hz tone: `silence` seconds of nothing, then a linear rise over
// `fadeIn` seconds, full level, and a linear fade to nothing over the last
// kFadeOutSeconds.
std::vector<int16_t> song(double silence, double fadeIn, int channels) {
    const int frames = int(kSongSeconds * kRate);
    std::vector<int16_t> out(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        double gain = t < silence ? 0 : 1;
        if (fadeIn > 0) gain = std::clamp((t - silence) / fadeIn, 0.0, 1.0);
        gain = std::min(gain, (kSongSeconds - t) / kFadeOutSeconds);
        const double v = kAmplitude * gain * std::sin(2 * std::numbers::pi * 440 * (t - silence));
        for (int c = 0; c < channels; ++c)
            out[size_t(i) * size_t(channels) + size_t(c)] = int16_t(std::lround(32767 * v));
    }
    return out;
}

bool makeSong(const std::string& mp3, double silence, double fadeIn, int channels) {
    const std::string raw = mp3 + ".raw";
    const std::vector<int16_t> samples = song(silence, fadeIn, channels);
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size() * 2));
    return fixtures::runProgram({fixtures::lameCommand(), "--quiet", "-r", "-s", "44.1",
                                 "--bitwidth", "16", "--signed", "--little-endian", "-m",
                                 channels == 1 ? "m" : "s", "-b", "128", raw, mp3}) == 0;
}

// The block count of the decoded data, leaving the reader's 11,008-byte tail unread.
int expectedBlocks(int channels) {
    const double dataBytes = kSongSeconds * kRate * channels * 2;
    return int(std::ceil((dataBytes - 11008) / (4410.0 * channels)));
}

double block(double seconds) {
    return seconds / kBlockSeconds;
}

struct Cues {
    double startCueBlock, leftBlock, rightBlock;
};

// The slot's start cue and its entry's triggers, as block indices.
Cues cuesOf(std::map<std::string, std::string>& d, int slot) {
    const double n = std::stod(d["blockCount." + std::to_string(slot)]);
    const std::string trig = d["trigger." + std::to_string(slot + 1)];
    const size_t bar = trig.find('|');
    return {std::stod(d["startCue." + std::to_string(slot)]) * n,
            std::stod(trig.substr(0, bar)) * n, std::stod(trig.substr(bar + 1)) * n};
}

// The real decoder analyses songs whose cue points are known: the start cue
// lies two blocks before the sound sets in, the left trigger where a rising
// intro reaches its percentage, the right trigger where the final fade has
// fallen to its percentage.
TEST(CueScenario, CuesLandWhereTheSilenceEndsAndTheFadesCrossTheirPercentages) {
    fixtures::TempDir dir;
    const std::string m = dir.file("m") + "/";
    fs::create_directory(m);
    // a: 3 s of silence, then the tone at once (stereo); b: 2 s of silence,
    // then an 8 s rise (mono). Both end in the 6 s fade.
    ASSERT_TRUE(makeSong(m + "a.mp3", 3, 0, 2));
    ASSERT_TRUE(makeSong(m + "b.mp3", 2, 8, 1));
    fixtures::linkDecoder(dir.path());
    auto r =
        scenario::run(dir.path(), scenario::loadIntoPlaylist(m + "a.mp3") + "wait 16\ndump d.txt\n",
                      {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    ASSERT_EQ(d["envelopePresent.0"], "1");
    ASSERT_EQ(d["envelopePresent.1"], "1");
    EXPECT_EQ(d["blockCount.0"], std::to_string(expectedBlocks(2)));
    EXPECT_EQ(d["blockCount.1"], std::to_string(expectedBlocks(1)));
    const double leftPercent = std::stod(d["leftTriggerPercent"]);
    const double rightPercent = std::stod(d["rightTriggerPercent"]);
    // The fade-out has fallen to the right percentage here, in both songs.
    const double rightAt = kSongSeconds - kFadeOutSeconds * rightPercent;

    // MP3 coding may smear an onset into the block before it, never later;
    // the start cue lies two blocks before the first audible block.
    auto expectStartCue = [](double cueBlock, int onsetBlock) {
        EXPECT_GE(cueBlock, onsetBlock - 3 - 0.01);
        EXPECT_LE(cueBlock, onsetBlock - 2 + 0.01);
    };

    const Cues a = cuesOf(d, 0);
    expectStartCue(a.startCueBlock, int(block(3)));
    EXPECT_NEAR(a.leftBlock, block(3) - 1, 1); // the pair that reaches into the onset
    EXPECT_NEAR(a.rightBlock, block(rightAt), 2);

    const Cues b = cuesOf(d, 1);
    // The rise passes the sound threshold of 64 this soon after the silence.
    expectStartCue(b.startCueBlock, int(block(2 + 8 * 64 / (kAmplitude * 32767))));
    EXPECT_NEAR(b.leftBlock, block(2 + 8 * leftPercent), 2);
    EXPECT_NEAR(b.rightBlock, block(rightAt), 2);
}

} // namespace
