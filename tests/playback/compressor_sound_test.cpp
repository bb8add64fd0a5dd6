#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
// Each song is stopped well before its end, where a change-over could begin.
constexpr double kPlayedSeconds = 40;
constexpr double kWindowSeconds = 3;

struct Passage {
    double seconds;
    double db;
};

// Two tones with a 2 Hz tremolo, loud enough that the louder passages lie
// well above the curve's first knee.
std::vector<int16_t> music(const std::vector<Passage>& passages) {
    std::vector<int16_t> out;
    double t = 0;
    for (const Passage& p : passages) {
        const double amplitude = 0.62 * std::pow(10.0, p.db / 20);
        for (int i = 0; i < int(p.seconds * kRate); ++i, t += 1.0 / kRate) {
            double chord = std::sin(2 * std::numbers::pi * 220 * t) +
                           0.5 * std::sin(2 * std::numbers::pi * 330 * t + 1);
            double tremolo = 0.85 + 0.15 * std::sin(2 * std::numbers::pi * 2 * t);
            out.push_back(int16_t(std::lround(32767 * amplitude * chord * tremolo)));
        }
    }
    return out;
}

// Hands lame raw samples: quicker than a WAV written value by value.
bool makeSong(const std::string& mp3, const std::vector<Passage>& passages) {
    const std::string raw = mp3 + ".raw";
    const std::vector<int16_t> samples = music(passages);
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size() * 2));
    return fixtures::runProgram({fixtures::lameCommand(), "--quiet", "-r", "-s", "44.1", "--bitwidth", "16",
                                 "--signed", "--little-endian", "-m", "m", "-f", "-b", "128", raw,
                                 mp3}) == 0;
}

struct Spread {
    double rangeDb = 0;
    double deviationDb = 0;
    int windows = 0;
};

// RMS per window in dB over the played part of each song.
Spread loudnessSpread(const fixtures::Wav& w, const std::vector<double>& songStarts) {
    std::vector<double> db;
    const size_t count = size_t(kWindowSeconds * w.rate) * size_t(w.channels);
    for (double start : songStarts) {
        for (double t = start + 0.5; t + kWindowSeconds < start + kPlayedSeconds;
             t += kWindowSeconds) {
            const size_t from = size_t(t * w.rate) * size_t(w.channels);
            if (from + count > w.samples.size()) return {};
            double sum = 0;
            for (size_t i = from; i < from + count; ++i)
                sum += double(w.samples[i]) * w.samples[i];
            db.push_back(10 * std::log10(sum / double(count) + 1e-9));
        }
    }
    Spread s;
    s.windows = int(db.size());
    auto [lo, hi] = std::minmax_element(db.begin(), db.end());
    s.rangeDb = *hi - *lo;
    double mean = 0, square = 0;
    for (double v : db)
        mean += v / double(db.size());
    for (double v : db)
        square += (v - mean) * (v - mean) / double(db.size());
    s.deviationDb = std::sqrt(square);
    return s;
}

// Plays three songs one after the other: the left STOP fades each out,
// Ctrl+Shift+N moves on, PLAY starts the next. `toggle` is the click that
// switches the compressor off, or a wait of the same length, so both runs
// keep one timing. `songStarts` receives the clock time of each PLAY.
std::string script(const std::string& firstSong, const std::string& toggle,
                   std::vector<double>& songStarts) {
    std::ostringstream s;
    // The helper's two waits, click, key and click; the click lock of the
    // last click; the toggle; the first song's decode.
    double clock = 2.08 + 1 + 0.02 + 7;
    s << scenario::loadIntoPlaylist(firstSong) << "wait 1\n" << toggle << "wait 7\n";
    songStarts.clear();
    for (int song = 0; song < 3; ++song) {
        songStarts.push_back(clock);
        s << "key p ctrl\nwait " << kPlayedSeconds << "\n";
        if (song == 2) s << "dump d.txt\n";
        s << "key s ctrl\nwait 4\nkey n ctrl shift\nwait 1\n";
        clock += 0.04 + kPlayedSeconds + 0.04 + 4 + 0.04 + 1;
    }
    return s.str();
}

// Loudness varying by 12 dB between songs and 10 dB between passages comes
// out of the player much more even with setup 5 than without the compressor.
TEST(CompressorSound, SetupFiveEvensOutSongsAndPassages) {
    fixtures::TempDir dir;
    const std::string m = dir.file("m") + "/";
    fs::create_directory(m);
    const std::vector<Passage> loud = {{15, 0}, {14, -10}, {21, 0}};
    const std::vector<Passage> soft = {{15, -12}, {14, -22}, {21, -12}};
    ASSERT_TRUE(makeSong(m + "a.mp3", loud));
    ASSERT_TRUE(makeSong(m + "b.mp3", soft));
    fs::copy_file(m + "a.mp3", m + "c.mp3");
    // A fourth song, never played, so that the third is not the last entry
    // and gets its starting gain prepared like the others.
    fs::copy_file(m + "b.mp3", m + "d.mp3");
    fixtures::linkDecoder(dir.path());

    Spread spreads[2];
    for (int on = 0; on < 2; ++on) {
        const std::string out = dir.file(on ? "on.wav" : "off.wav");
        std::vector<double> starts;
        auto r = scenario::run(dir.path(),
                               script(m + "a.mp3", on ? "wait 0.02\n" : "click 270 490\n", starts),
                               {"--program-dir", dir.path(), "--render", out},
                               scenario::isolatedEnvironment(dir.path()));
        ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
        auto d = scenario::readDump(dir.file("d.txt"));
        ASSERT_EQ(d["compressorOn"], on ? "1" : "0");
        ASSERT_EQ(d["playPosition"], "3");
        ASSERT_EQ(d["envelopePresent.0"], "1"); // the compressor had levels to work with
        spreads[on] = loudnessSpread(fixtures::readWav(out), starts);
        ASSERT_EQ(spreads[on].windows, 39);
    }
    const Spread& off = spreads[0];
    const Spread& on = spreads[1];
    // Without the compressor the output keeps the songs' own 22 dB.
    EXPECT_NEAR(off.rangeDb, 22, 1.5);
    EXPECT_LT(on.rangeDb, off.rangeDb - 4);
    EXPECT_LT(on.deviationDb, off.deviationDb * 0.75);
    std::ostringstream figures;
    figures << "RMS per 3 s window, 39 windows: off range " << off.rangeDb << " dB, sd "
            << off.deviationDb << " dB; setup 5 range " << on.rangeDb << " dB, sd "
            << on.deviationDb << " dB";
    std::printf("%s\n", figures.str().c_str());
}

} // namespace
