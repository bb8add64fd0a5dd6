#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

constexpr int kRate = 8000;
constexpr int kSongs = 30;

struct Shape {
    double seconds, silentIntro, quietIntro, fadeOut;
};

// Music-like enough for the analysis: a steady tone between a silent or
// quiet intro and a linear fade-out.
std::vector<int16_t> songSamples(const Shape& s, double freq) {
    std::vector<int16_t> out(size_t(s.seconds * kRate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / kRate;
        double a = 0.3;
        if (t < s.silentIntro)
            a = 0;
        else if (t < s.silentIntro + s.quietIntro)
            a = 0.02;
        else if (t > s.seconds - s.fadeOut)
            a = 0.3 * (s.seconds - t) / s.fadeOut;
        out[i] = int16_t(std::lround(a * 32767 * std::sin(2 * M_PI * freq * t)));
    }
    return out;
}

Shape shapeOf(int i) {
    static const double lengths[] = {20, 24, 31, 45, 62, 90, 35, 28, 300, 50};
    const double len = i == 8 ? 300 : i == 17 ? 180 : lengths[i % 10] + i % 3;
    return {len, double(i % 4), i % 5 == 2 ? 5.0 : 0.0, 2.0 + i % 7};
}

std::string nameOf(int i) {
    char name[32];
    // Every seventh song cannot be analysed: the decoder fails for it.
    std::snprintf(name, sizeof name, "s%02d%s.mp3", i + 1, i % 7 == 3 ? "-nolame" : "");
    return name;
}

struct Command {
    double seconds;
    std::string text;
};

// What the log says about one song: its channel and when it was opened,
// started, first turned down and closed.
struct SongTrace {
    std::string alias;
    int opens = 0, starts = 0, closes = 0;
    double opened = -1, started = -1, closed = -1;
    int lowestVolume = 1000;
};

// A playlist of 30 songs from 20 s to 5 min plays through by itself, with
// each BLEND setting and with short and long pauses; the log must show each
// song opened, started, faded and closed once, in order, one after the other.
class LongRun : public ::testing::TestWithParam<std::pair<int, int>> {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        for (int i = 0; i < kSongs; ++i) {
            const std::string wav = sources->file("w.wav");
            ASSERT_TRUE(fixtures::writeWav(wav, songSamples(shapeOf(i), 300 + 20 * i), kRate, 1));
            ASSERT_TRUE(fixtures::encodeMp3(wav, sources->file(nameOf(i))));
        }
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }
};

// The songs and the decoder in `dir`; the script that loads them and sets
// BLEND and the pause. `total` gets the songs' length in seconds.
std::string prepareRun(const TempDir& sources, const TempDir& dir, int blend, int pauseClicks,
                       double& total) {
    const std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    total = 0;
    for (int i = 0; i < kSongs; ++i) {
        fs::copy_file(sources.file(nameOf(i)), music + nameOf(i));
        total += shapeOf(i).seconds;
    }
    fixtures::installFakeDecoder(dir.path(),
                                 "if nolame exit 1\ndecode " + fixtures::decoderPath() + "\n");

    std::string script = scenario::loadIntoPlaylist(music + nameOf(0)) + "wait 0.5\n";
    for (int i = 0; i < (blend + 3) % 4; ++i)
        script += "click 528 28\nwait 0.35\n";
    for (int i = 0; i < pauseClicks; ++i)
        script += "click 615 28\nwait 0.2\n";
    return script;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_P(LongRun, EverySongPlaysOnceInOrderAndNothingStops) {
    const auto [blend, pauseClicks] = GetParam();
    TempDir dir;
    double total = 0;
    std::string script = prepareRun(*sources, dir, blend, pauseClicks, total);
    script += "dump start.txt\nkey ctrl+p\nwait " + std::to_string(int(total + 30 * 25)) + "\n";
    script += "dump d.txt\n";
    auto r = scenario::run(dir.path(), script,
                           {"--program-dir", dir.path(), "--mci-log", dir.file("mci.log")},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto start = scenario::readDump(dir.file("start.txt"));
    ASSERT_EQ(start["playlistCount"], std::to_string(kSongs));
    ASSERT_EQ(start["blendSetting"], std::to_string(blend));

    std::map<std::string, int> slotOf; // file name -> playlist slot
    for (int i = 1; i <= kSongs; ++i) {
        const std::string entry = start["playlist." + std::to_string(i)];
        slotOf[entry.substr(0, entry.find('|'))] = i;
    }

    std::vector<SongTrace> songs(kSongs + 1);
    std::map<std::string, int> playingOn; // alias -> slot it holds
    std::vector<int> openOrder;
    std::ifstream log(dir.file("mci.log"));
    std::string line;
    while (std::getline(log, line)) {
        Command c{std::stod(line.substr(0, line.find(' '))), line.substr(line.find(' ') + 1)};
        char alias[32];
        int volume;
        if (c.text.rfind("open ", 0) == 0 && c.text.find("alias AUBIO_III") == std::string::npos) {
            const std::string path = c.text.substr(6, c.text.rfind('"') - 6);
            const int slot = slotOf[fs::path(path).filename().string()];
            ASSERT_GT(slot, 0) << c.text;
            SongTrace& s = songs[size_t(slot)];
            s.alias = c.text.substr(c.text.rfind(' ') + 1);
            ++s.opens;
            s.opened = c.seconds;
            playingOn[s.alias] = slot;
            openOrder.push_back(slot);
        } else if (std::sscanf(c.text.c_str(), "play %31s from 0", alias) == 1 &&
                   c.text.find(" from 0") != std::string::npos && playingOn.count(alias)) {
            SongTrace& s = songs[size_t(playingOn[alias])];
            // The start and its seek to the start cue come as a pair.
            if (s.started < 0 || c.seconds > s.started + 0.01) ++s.starts;
            if (s.started < 0) s.started = c.seconds;
        } else if (std::sscanf(c.text.c_str(), "setaudio %31s volume to %d", alias, &volume) == 2 &&
                   playingOn.count(alias)) {
            SongTrace& s = songs[size_t(playingOn[alias])];
            if (s.started >= 0) s.lowestVolume = std::min(s.lowestVolume, volume);
        } else if (std::sscanf(c.text.c_str(), "close %31s", alias) == 1 &&
                   playingOn.count(alias)) {
            SongTrace& s = songs[size_t(playingOn[alias])];
            ++s.closes;
            s.closed = c.seconds;
            playingOn.erase(alias);
        }
    }

    std::vector<int> expectedOrder;
    for (int i = 1; i <= kSongs; ++i)
        expectedOrder.push_back(i);
    EXPECT_EQ(openOrder, expectedOrder);
    for (int i = 1; i <= kSongs; ++i) {
        SCOPED_TRACE("slot " + std::to_string(i));
        const SongTrace& s = songs[size_t(i)];
        EXPECT_EQ(s.opens, 1);
        EXPECT_EQ(s.starts, 1);
        EXPECT_EQ(s.closes, 1);
        EXPECT_EQ(s.alias, i % 2 == 1 ? "AUBIO_I" : "AUBIO_II");
        // Faded, not cut; a song without analysis ends its fade early at its own end.
        const bool analysed =
            start["playlist." + std::to_string(i)].find("nolame") == std::string::npos;
        EXPECT_LT(s.lowestVolume, analysed ? 600 : 1000);
        if (i > 1) {
            const SongTrace& before = songs[size_t(i - 1)];
            // The two overlap only for the length of a fade.
            EXPECT_GT(s.started, before.started);
            EXPECT_LT(s.started - before.closed, 21.0);
            EXPECT_LT(before.closed - s.started, 16.0);
        }
    }
    auto d = scenario::readDump(dir.file("d.txt"));
    EXPECT_EQ(d["playPosition"], std::to_string(kSongs));
    EXPECT_EQ(d["channelOpen"], "0,0");
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["fadesDone"], std::to_string(kSongs));
}

// Long pauses vary at random around the setting: the same script still plays
// the same way, to the byte of the log and of the sound; another seed varies.
TEST_F(LongRun, TheSameScriptPlaysTheSameAndAnotherSeedVariesThePauses) {
    struct Run {
        std::string log, sound;
    };
    auto play = [](const std::vector<std::string>& extraArgs) {
        TempDir dir;
        double total = 0;
        std::string script = prepareRun(*sources, dir, 1, 20, total);
        script += "key ctrl+p\nwait 300\n";
        std::vector<std::string> args = {"--program-dir",     dir.path(), "--mci-log",
                                         dir.file("mci.log"), "--render", dir.file("out.wav")};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        auto r = scenario::run(dir.path(), script, args, scenario::isolatedEnvironment(dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        // The log names the run's own folder; the rest must match.
        std::string log = fileText(dir.file("mci.log"));
        for (size_t at = log.find(dir.path()); at != std::string::npos; at = log.find(dir.path()))
            log.replace(at, dir.path().size(), "DIR");
        return Run{log, fileText(dir.file("out.wav"))};
    };
    const Run first = play({}), second = play({});
    ASSERT_GT(std::count(first.log.begin(), first.log.end(), '\n'), 500);
    ASSERT_GT(first.sound.size(), 44u + 250u * 44100 * 4);
    EXPECT_TRUE(first.log == second.log) << "the MCI logs differ";
    EXPECT_TRUE(first.sound == second.sound) << "the rendered sound differs";
    const Run other = play({"--seed", "7"});
    EXPECT_FALSE(other.log == first.log) << "the pauses do not come from the seeded generator";
}

// (BLEND, clicks on the right half of PAUSE): 8 clicks make 3 s, 20 make 15 s.
// The fade shapes themselves are pinned by the cross-fade tests; these runs
// are about a whole list with no pause, a short one and a counted-down one.
INSTANTIATE_TEST_SUITE_P(BlendAndPause, LongRun,
                         ::testing::Values(std::pair{3, 0}, std::pair{1, 8}, std::pair{2, 20}));

} // namespace
