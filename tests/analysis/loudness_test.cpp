#include "analysis/loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/audio_fixtures.h"

namespace {

// A 997 Hz sine of the given peak in dBFS, in every channel.
std::vector<int16_t> tone(double seconds, double peakDb, int rate, int channels) {
    return fixtures::sineSamples(seconds, 997, std::pow(10, peakDb / 20), rate, channels);
}

double measure(const std::vector<std::vector<int16_t>>& parts, int rate, int channels) {
    LoudnessMeter m(rate, channels);
    for (const auto& p : parts)
        m.add(p);
    return m.integrated();
}

// The reference levels of the standard: -20 dBFS peak reads -23.0 LUFS in one
// channel and -20.0 LUFS in both of a stereo file, at the rates decodes have.
TEST(Loudness, ASineOfMinusTwentyDbfsReadsAsTheStandardSays) {
    for (int rate : {44100, 48000, 22050}) {
        SCOPED_TRACE(rate);
        EXPECT_NEAR(measure({tone(10, -20, rate, 1)}, rate, 1), -23.0, 0.1);
        EXPECT_NEAR(measure({tone(10, -20, rate, 2)}, rate, 2), -20.0, 0.1);
    }
    // Below the high-pass of the weighting a tone counts for much less.
    EXPECT_LT(measure({fixtures::sineSamples(10, 20, 0.1, 44100, 1)}, 44100, 1), -33.0);
}

// Silence falls under the absolute gate, a stretch 30 dB down under the
// relative one; a stretch 6 dB down passes both and counts.
TEST(Loudness, TheGatesDropSilenceAndQuietStretchesOnly) {
    const int r = 44100;
    const std::vector<int16_t> silence(size_t(10 * r), 0);
    EXPECT_NEAR(measure({tone(10, -20, r, 1), silence}, r, 1), -23.0, 0.1);
    EXPECT_NEAR(measure({tone(10, -20, r, 1), tone(10, -50, r, 1)}, r, 1), -23.0, 0.1);
    // Mean of the energies 1 and 1/4: 10 log10(0.625) = -2.04 LU.
    EXPECT_NEAR(measure({tone(10, -20, r, 1), tone(10, -26.02, r, 1)}, r, 1), -25.04, 0.1);
    EXPECT_EQ(measure({silence}, r, 1), kNoLoudness);
    EXPECT_EQ(measure({tone(0.3, -20, r, 1)}, r, 1), kNoLoudness) << "shorter than one block";
}

} // namespace
