#include <gtest/gtest.h>

#include "platform/audio_engine.h"
#include "platform/clock.h"
#include "tests/support/audio_fixtures.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using fixtures::TempDir;

// lame's encoding of our 0.5 sines decodes to about 95 % of that amplitude.
constexpr double kEncoded = 0.5 * 0.95;

struct Fixture {
    std::string name;
    double seconds;
    double freqHz;
    int rate;
    int channels;
    bool vbr;
};

// Generated once for all audio tests: lame is the slow part.
const std::vector<Fixture> kFixtures = {
    {"sine440.mp3", 2.0, 440, 44100, 2, false}, {"sine1000.mp3", 2.0, 1000, 44100, 2, false},
    {"vbr.mp3", 2.3, 440, 44100, 2, true},      {"mono48k.mp3", 1.5, 1000, 48000, 1, false},
    {"low22k.mp3", 1.3, 440, 22050, 2, false},  {"bass100.mp3", 1.0, 100, 44100, 2, false},
    {"high32k.mp3", 1.0, 880, 32000, 2, false},
};

class Audio : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        for (const Fixture& f : kFixtures)
            ASSERT_TRUE(fixtures::makeSineMp3(dir->file(f.name), f.seconds, f.freqHz,
                                              f.freqHz == 100 ? 0.8 : 0.5, f.rate, f.channels,
                                              f.vbr));
        // First second at 440 Hz, second second at 880 Hz.
        auto low = fixtures::sineSamples(1.0, 440, 0.5, 44100, 2);
        auto high = fixtures::sineSamples(1.0, 880, 0.5, 44100, 2);
        low.insert(low.end(), high.begin(), high.end());
        ASSERT_TRUE(fixtures::writeWav(dir->file("steps.wav"), low, 44100, 2));
        ASSERT_TRUE(fixtures::encodeMp3(dir->file("steps.wav"), dir->file("steps.mp3")));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        virtualNow = 0;
        timing::Source clock;
        clock.now = [] { return virtualNow; };
        clock.sleep = [](double ms) { virtualNow += ms / 1000; };
        timing::install(clock);
        out = std::make_unique<TempDir>();
    }
    void TearDown() override {
        audio::shutdown();
        timing::install({});
    }

    static std::string path(const std::string& name) { return dir->file(name); }
    static int64_t position(const std::string& alias) {
        int64_t ms = -1;
        EXPECT_TRUE(audio::positionMs(alias, ms)) << alias;
        return ms;
    }
    // Renders `script` into a WAV file and reads it back.
    fixtures::Wav render(const std::function<void()>& script) {
        std::string wavPath = out->file("render.wav");
        EXPECT_TRUE(audio::start(audio::SinkKind::WavFile, wavPath));
        script();
        audio::shutdown();
        return fixtures::readWav(wavPath);
    }

    static inline TempDir* dir = nullptr;
    static inline double virtualNow = 0;
    std::unique_ptr<TempDir> out;
};

// Left channel from `fromSeconds` for `seconds`, as floats.
std::vector<double> leftChannel(const fixtures::Wav& wav, double fromSeconds, double seconds) {
    std::vector<double> x;
    size_t first = static_cast<size_t>(fromSeconds * wav.rate);
    size_t count = static_cast<size_t>(seconds * wav.rate);
    for (size_t i = first; i < first + count && i < wav.frames(); ++i)
        x.push_back(wav.samples[i * wav.channels] / 32767.0);
    return x;
}

double rms(const std::vector<double>& x) {
    double sum = 0;
    for (double v : x)
        sum += v * v;
    return x.empty() ? 0 : std::sqrt(sum / x.size());
}

// Amplitude of one frequency (Goertzel); a full-scale sine reads 1.
double toneAmplitude(const std::vector<double>& x, double freqHz, int rate) {
    double w = 2 * std::numbers::pi * freqHz / rate, c = 2 * std::cos(w), s1 = 0, s2 = 0;
    for (double v : x) {
        double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    return 2 * std::sqrt(std::max(0.0, power)) / x.size();
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::string writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Seconds of output up to the last sample that is not near silence.
double soundUntil(const fixtures::Wav& wav) {
    for (size_t i = wav.frames(); i-- > 0;)
        if (std::abs(wav.samples[i * wav.channels]) > 1000) return double(i + 1) / wav.rate;
    return 0;
}

int64_t residentKb() {
    int64_t size = 0, pages = 0;
    std::ifstream("/proc/self/statm") >> size >> pages;
    return pages * sysconf(_SC_PAGESIZE) / 1024;
}

TEST_F(Audio, LengthIsTheExactDecodedSampleCount) {
    for (const Fixture& f : kFixtures) {
        int64_t expectedMs = std::llround(std::llround(f.seconds * f.rate) * 1000.0 / f.rate);
        int64_t decoded = fixtures::lameDecodedFrames(path(f.name), out->file("decoded.wav"));
        ASSERT_GT(decoded, 0) << f.name;
        EXPECT_NEAR(decoded * 1000.0 / f.rate, audio::probeLengthMs(path(f.name)), 1.0) << f.name;
        EXPECT_EQ(audio::probeLengthMs(path(f.name)), expectedMs) << f.name;
        ASSERT_TRUE(audio::open("A", path(f.name))) << f.name;
        int64_t ms = 0;
        EXPECT_TRUE(audio::lengthMs("A", ms));
        EXPECT_EQ(ms, expectedMs) << f.name;
        EXPECT_TRUE(audio::close("A"));
    }
}

TEST_F(Audio, PositionFollowsTheVirtualClockOnTheNullSink) {
    ASSERT_TRUE(audio::start(audio::SinkKind::Null));
    EXPECT_EQ(audio::sinkName(), "null");
    ASSERT_TRUE(audio::open("A", path("sine440.mp3")));
    EXPECT_EQ(position("A"), 0);
    EXPECT_FALSE(audio::isPlaying("A"));
    ASSERT_TRUE(audio::play("A", 0));
    audio::advanceTo(0.75);
    EXPECT_EQ(position("A"), 750);

    ASSERT_TRUE(audio::stop("A"));
    audio::advanceTo(1.0);
    EXPECT_EQ(position("A"), 750) << "stop holds the position";
    EXPECT_FALSE(audio::isPlaying("A"));

    ASSERT_TRUE(audio::play("A", 1200));
    EXPECT_EQ(position("A"), 1200);
    audio::advanceTo(1.5);
    EXPECT_EQ(position("A"), 1700);
    ASSERT_TRUE(audio::play("A", 100)) << "play on a playing stream restarts";
    audio::advanceTo(1.6);
    EXPECT_EQ(position("A"), 200);

    audio::advanceTo(3.5);
    EXPECT_EQ(position("A"), 2000) << "stays at the length after the end";
    EXPECT_FALSE(audio::isPlaying("A"));
    audio::advanceTo(4.0);
    EXPECT_EQ(position("A"), 2000);

    EXPECT_TRUE(audio::close("A"));
    int64_t ms = 0;
    EXPECT_FALSE(audio::positionMs("A", ms));
    EXPECT_FALSE(audio::play("A", 0));
    EXPECT_EQ(audio::openStreamCount(), 0);
}

TEST_F(Audio, RequestsOutOfRangeChangeNothing) {
    ASSERT_TRUE(audio::start(audio::SinkKind::Null));
    ASSERT_TRUE(audio::open("A", path("sine440.mp3")));
    ASSERT_TRUE(audio::play("A", 500));
    EXPECT_FALSE(audio::play("A", 2001));
    EXPECT_FALSE(audio::play("A", -1));
    EXPECT_FALSE(audio::setVolume("A", 1001));
    EXPECT_FALSE(audio::setVolume("A", -1));
    EXPECT_FALSE(audio::open("A", path("sine1000.mp3"))) << "alias already open";
    EXPECT_EQ(position("A"), 500);
    EXPECT_TRUE(audio::isPlaying("A"));
    EXPECT_EQ(audio::openStreamCount(), 1);
    EXPECT_TRUE(audio::play("A", 2000)) << "the very end is still in range";
}

TEST_F(Audio, BadFilesDoNotOpen) {
    std::string mp3 = path("sine440.mp3");
    std::ifstream in(mp3, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(out->file(name), std::ios::binary) << content;
        return out->file(name);
    };
    mkdir(out->file("folder.mp3").c_str(), 0755);
    mkfifo(out->file("pipe.mp3").c_str(), 0644); // opening it must not wait for a writer
    std::vector<std::string> bad = {
        out->file("missing.mp3"),
        write("empty.mp3", ""),
        write("truncated.mp3", bytes.substr(0, 300)),
        write("text.mp3", "This is not an MP3 file, just some text.\n"),
        out->file("folder.mp3"),
        out->file("pipe.mp3"),
        "",
    };
    for (const std::string& p : bad) {
        EXPECT_EQ(audio::probeLengthMs(p), 0) << p;
        EXPECT_FALSE(audio::open("BAD", p)) << p;
    }
    EXPECT_EQ(audio::openStreamCount(), 0);
}

TEST_F(Audio, OddPathsAndLetterCaseFindTheFile) {
    std::vector<std::string> names = {"with space.mp3", "quote \"double\" 'single'.mp3",
                                      "Ärger $HOME $(false) ä.mp3", "back\\slash;&|.mp3"};
    for (const std::string& name : names) {
        std::filesystem::copy_file(path("sine1000.mp3"), out->file(name));
        EXPECT_EQ(audio::probeLengthMs(out->file(name)), 2000) << name;
        ASSERT_TRUE(audio::open("A", out->file(name))) << name;
        EXPECT_TRUE(audio::close("A"));
    }
    // List files store names in capitals; the disk has them in any case.
    EXPECT_TRUE(audio::open("A", out->file("WITH SPACE.MP3")));
    EXPECT_EQ(audio::probeLengthMs(out->file("QUOTE \"DOUBLE\" 'SINGLE'.MP3")), 2000);
    EXPECT_EQ(audio::probeLengthMs(out->file("WITH_SPACE.MP3")), 0);
}

TEST_F(Audio, RenderedVolumeScalesTheAmplitudeLinearly) {
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("sine440.mp3")));
        ASSERT_TRUE(audio::play("A", 0));
        audio::advanceTo(0.8);
        ASSERT_TRUE(audio::setVolume("A", 500));
        audio::advanceTo(1.6);
    });
    ASSERT_EQ(wav.rate, 44100);
    ASSERT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.frames(), 70560u) << "exactly 1.6 s of output";
    double full = rms(leftChannel(wav, 0.1, 0.6));
    double half = rms(leftChannel(wav, 0.9, 0.6));
    EXPECT_NEAR(full, kEncoded / std::sqrt(2), 0.01);
    EXPECT_NEAR(half / full, 0.5, 0.01);
}

TEST_F(Audio, TwoAliasesAreMixed) {
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("sine440.mp3")));
        ASSERT_TRUE(audio::open("B", path("sine1000.mp3")));
        ASSERT_TRUE(audio::setVolume("B", 600));
        ASSERT_TRUE(audio::play("A", 0));
        ASSERT_TRUE(audio::play("B", 0));
        audio::advanceTo(1.0);
    });
    auto x = leftChannel(wav, 0.2, 0.5);
    EXPECT_NEAR(toneAmplitude(x, 440, 44100), kEncoded, 0.01);
    EXPECT_NEAR(toneAmplitude(x, 1000, 44100), 0.6 * kEncoded, 0.01);
    EXPECT_LT(toneAmplitude(x, 700, 44100), 0.01);
}

TEST_F(Audio, LoudMixesClipInsteadOfWrapping) {
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("bass100.mp3")));
        ASSERT_TRUE(audio::open("B", path("bass100.mp3")));
        ASSERT_TRUE(audio::play("A", 0));
        ASSERT_TRUE(audio::play("B", 0));
        audio::advanceTo(0.5);
    });
    int crests = 0;
    for (size_t i = 0; i < wav.frames(); ++i) {
        if (std::sin(2 * std::numbers::pi * 100 * i / 44100) > 0.9) {
            ++crests;
            ASSERT_EQ(wav.samples[2 * i], 32767) << "frame " << i;
        }
    }
    EXPECT_GT(crests, 1000);
}

TEST_F(Audio, PlayFromRendersTheLaterPartOfTheFile) {
    int64_t at = 0;
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("steps.mp3")));
        ASSERT_TRUE(audio::play("A", 1300));
        audio::advanceTo(0.5);
        at = position("A");
    });
    EXPECT_EQ(at, 1800);
    auto x = leftChannel(wav, 0.05, 0.4);
    EXPECT_NEAR(toneAmplitude(x, 880, 44100), kEncoded, 0.01);
    EXPECT_LT(toneAmplitude(x, 440, 44100), 0.01);
}

// Sound lost at 0.3 s of steps.mp3 and back at 1.3 s: silence between, then
// the 880 Hz second from 1.3 s on, not the 440 Hz rest where the sound stopped.
TEST_F(Audio, AfterALostDeviceTheDecoderGoesOnWhereTheClockIs) {
    bool reopened = false, refused = true;
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("steps.mp3")));
        ASSERT_TRUE(audio::play("A", 0));
        audio::advanceTo(0.3);
        audio::withholdDevice(true);
        audio::deviceLost();
        audio::advanceTo(0.8);
        refused = !audio::reopenDevice();
        audio::withholdDevice(false);
        audio::advanceTo(1.3);
        reopened = audio::reopenDevice();
        audio::advanceTo(1.7);
    });
    EXPECT_TRUE(refused);
    EXPECT_TRUE(reopened);
    EXPECT_NEAR(toneAmplitude(leftChannel(wav, 0.05, 0.2), 440, 44100), kEncoded, 0.01);
    EXPECT_LT(rms(leftChannel(wav, 0.31, 0.98)), 1e-4);
    auto after = leftChannel(wav, 1.35, 0.3);
    EXPECT_NEAR(toneAmplitude(after, 880, 44100), kEncoded, 0.01);
    EXPECT_LT(toneAmplitude(after, 440, 44100), 0.01);
}

TEST_F(Audio, OtherRatesAndMonoAreConvertedToTheOutputFormat) {
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("mono48k.mp3")));
        ASSERT_TRUE(audio::play("A", 0));
        audio::advanceTo(1.45);
        EXPECT_TRUE(audio::isPlaying("A"));
        audio::advanceTo(1.55);
        EXPECT_FALSE(audio::isPlaying("A")) << "ends after 1.5 s of output";
        EXPECT_EQ(position("A"), 1500);
    });
    auto left = leftChannel(wav, 0.2, 1.0);
    EXPECT_NEAR(toneAmplitude(left, 1000, 44100), kEncoded, 0.01);
    for (size_t i = 0; i < wav.frames(); ++i)
        ASSERT_EQ(wav.samples[2 * i], wav.samples[2 * i + 1]) << "mono goes to both channels";
}

TEST_F(Audio, RenderIsSilentAfterTheEnd) {
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("low22k.mp3")));
        ASSERT_TRUE(audio::play("A", 1000));
        audio::advanceTo(0.6);
        EXPECT_EQ(position("A"), 1300);
        EXPECT_FALSE(audio::isPlaying("A"));
    });
    EXPECT_GT(rms(leftChannel(wav, 0.05, 0.2)), 0.3);
    EXPECT_EQ(rms(leftChannel(wav, 0.31, 0.29)), 0.0);
}

TEST_F(Audio, VolumeChangesAreRampedWithoutClicks) {
    // 100 Hz: the switch at frame 22160 lands on a crest of the sine.
    constexpr size_t kSwitch = 441 * 50 + 110;
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("A", path("bass100.mp3")));
        ASSERT_TRUE(audio::play("A", 0));
        audio::advanceTo(kSwitch / 44100.0);
        ASSERT_TRUE(audio::setVolume("A", 0));
        audio::advanceTo(0.8);
    });
    ASSERT_EQ(wav.frames(), 35280u);
    auto sample = [&](size_t i) { return int(wav.samples[2 * i]); };
    ASSERT_GT(std::abs(sample(kSwitch - 1)), 0.7 * 32767) << "a hard cut would jump this far";
    int largestStep = 0;
    for (size_t i = 1; i < wav.frames(); ++i)
        largestStep = std::max(largestStep, std::abs(sample(i) - sample(i - 1)));
    // The sine itself moves up to 2 pi 100 / 44100 * 0.8 full scale (373) per sample.
    EXPECT_LT(largestStep, 600);
    EXPECT_GT(std::abs(sample(kSwitch + 200)), 0) << "still ramping down";
    for (size_t i = kSwitch + 441 + 1; i < wav.frames(); ++i)
        ASSERT_EQ(sample(i), 0) << "silent 10 ms after the change, frame " << i;
}

TEST_F(Audio, DeviceSinkFallsBackToSilentTimeKeeping) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    ASSERT_TRUE(audio::start(audio::SinkKind::Device));
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(audio::sinkName(), "silent");
    ASSERT_TRUE(audio::open("A", path("sine440.mp3")));
    ASSERT_TRUE(audio::play("A", 1000));
    double deadline = timing::hostSeconds() + 10;
    while (position("A") == 1000 && timing::hostSeconds() < deadline)
        timing::sleepMs(1);
    EXPECT_GT(position("A"), 1000) << "the silent sink consumes in real time";
}

TEST_F(Audio, DeviceSinkPlaysAndSurvivesLosingTheDevice) {
    constexpr uint32_t engineDeviceOther = 0x7fff; // never an id SDL hands out first
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(audio::start(audio::SinkKind::Device));
    unsetenv("SDL_AUDIODRIVER");
    ASSERT_EQ(audio::sinkName(), "device");
    ASSERT_TRUE(audio::open("A", path("sine440.mp3")));
    ASSERT_TRUE(audio::play("A", 0));
    auto waitForPositionAbove = [&](int64_t ms) {
        double deadline = timing::hostSeconds() + 10;
        while (position("A") <= ms && timing::hostSeconds() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return position("A");
    };
    int64_t played = waitForPositionAbove(0);
    EXPECT_GT(played, 0) << "the device callback consumes the stream";
    audio::close("A"); // while the worker and the callback may be using it
    ASSERT_TRUE(audio::open("A", path("sine440.mp3")));
    ASSERT_TRUE(audio::play("A", 500));
    audio::deviceLost(engineDeviceOther);
    EXPECT_EQ(audio::sinkName(), "device") << "another device went away";
    audio::deviceLost();
    EXPECT_EQ(audio::sinkName(), "silent");
    int64_t before = position("A");
    EXPECT_GE(before, 500);
    int64_t silent = waitForPositionAbove(before);
    EXPECT_GT(silent, before);
    // Back on the device, the stream goes on from the silent clock.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(audio::reopenDevice());
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(audio::sinkName(), "device");
    int64_t back = position("A");
    EXPECT_GE(back, silent);
    EXPECT_GT(waitForPositionAbove(back), back);
}

// Damage between two frames or before the first (steps.mp3 goes from 440 Hz to
// 880 Hz at 1 s), and songs of different rates joined with cat: each measured
// within 30 ms of its true length and played to its end, also from a point
// in its last part.
TEST_F(Audio, DamagedAndJoinedFilesAreMeasuredAndPlayedToTheEnd) {
    std::string steps = readBytes(path("steps.mp3"));
    size_t middle = steps.size() / 2; // moved on to the next frame header
    while (steps.compare(middle, 2, "\xff\xfb") != 0 || (uint8_t(steps[middle + 2]) & 0xfd) != 0x90)
        ++middle;
    std::string garbage(4096, '\0');
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 2654435761u) >> 13);
    struct Case {
        std::string name, bytes;
        double seconds; // 0: as long as lame --decode finds it
        double lastHz;
    };
    const Case cases[] = {
        {"zeros", steps.substr(0, middle) + std::string(4096, '\0') + steps.substr(middle), 0, 880},
        {"garbage", steps.substr(0, middle) + garbage + steps.substr(middle), 0, 880},
        {"lead", std::string(65536, '\0') + steps, 0, 880},
        {"32k", readBytes(path("sine440.mp3")) + readBytes(path("high32k.mp3")), 3.0, 880},
        {"22k", readBytes(path("sine1000.mp3")) + readBytes(path("low22k.mp3")), 3.3, 440},
    };
    for (const Case& c : cases) {
        std::string file = writeBytes(out->file(c.name + ".mp3"), c.bytes);
        double seconds = c.seconds;
        if (seconds == 0) seconds = fixtures::lameDecodedFrames(file, out->file("d.wav")) / 44100.0;
        EXPECT_NEAR(audio::probeLengthMs(file), seconds * 1000, 30) << c.name;
        for (double from : {0.0, seconds - 0.5}) {
            auto wav = render([&] {
                ASSERT_TRUE(audio::open("A", file)) << c.name;
                ASSERT_TRUE(audio::play("A", std::llround(from * 1000)));
                audio::advanceTo(seconds - from + 0.2);
                EXPECT_FALSE(audio::isPlaying("A")) << c.name;
            });
            EXPECT_NEAR(soundUntil(wav), seconds - from, 0.03) << c.name << " from " << from;
            auto last = leftChannel(wav, seconds - from - 0.45, 0.35);
            EXPECT_NEAR(toneAmplitude(last, c.lastHz, 44100), kEncoded, 0.03) << c.name;
        }
    }
}

// Other formats under an MP3 name hold false frame headers that once played
// as noise: refused by their first bytes (behind an ID3v2 tag too), for want
// of chained frames, or, chained frames with random contents, for their sound.
TEST_F(Audio, OtherFormatsAndNoiseUnderAnMp3NameDoNotOpen) {
    std::mt19937 random(11);
    auto noise = [&](size_t bytes, bool syncWords = true) {
        std::string s(bytes, '\0');
        for (char& c : s)
            c = char(random());
        for (size_t at = 0; syncWords && at + 4 < bytes; at += 100 + random() % 400)
            s.replace(at, 4, "\xff\xfb\x90\x44");
        return s;
    };
    // MPEG-1 layer II, 128 kbit/s, 44.1 kHz: 417 bytes a frame, 25 s.
    auto frames = [&](bool randomBodies) {
        std::string s;
        for (int i = 0; i < 957; ++i)
            s += "\xff\xfd\x80\x44" + (randomBodies ? noise(413, false) : std::string(413, '\0'));
        return s;
    };
    // A quiet passage: small values near zero, whose bytes hold many a frame header.
    std::vector<int16_t> pcm = fixtures::sineSamples(5, 440, 0.001, 44100, 2);
    for (int16_t& v : pcm)
        v = int16_t(v + int(random() % 17) - 8);
    ASSERT_TRUE(fixtures::writeWav(out->file("song.wav"), pcm, 44100, 2));
    const std::string wav = readBytes(out->file("song.wav"));
    const std::string m4a = std::string("\0\0\0\x18"
                                        "ftypM4A \0\0\0\0M4A isom",
                                        24) +
                            noise(300000);
    const std::string tag = fixtures::id3v2Header(100) + std::string(100, '\0');
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"wav", wav},
        {"tagged wav", tag + wav},
        {"m4a", m4a},
        {"tagged m4a", tag + m4a},
        {"adts", "\xff\xf1\x50\x80" + noise(300000)},
        {"ogg", "OggS" + noise(300000)},
        {"flac", "fLaC" + noise(300000)},
        {"sync words", noise(300000)},
        {"noise frames", frames(true)},
    };
    for (const auto& [name, bytes] : bad) {
        std::string file = writeBytes(out->file(name + ".mp3"), bytes);
        EXPECT_EQ(audio::probeLengthMs(file), 0) << name;
        EXPECT_FALSE(audio::open("BAD", file)) << name;
    }
    EXPECT_EQ(audio::openStreamCount(), 0);
    std::string silent = writeBytes(out->file("silent frames.mp3"), frames(false));
    EXPECT_EQ(audio::probeLengthMs(silent), 957 * 1152 * 1000 / 44100) << "the same frames, silent";
}

// A probe reads the frames of a file, neither its zeros nor its tag: each of
// these files once took minutes, or the whole file went into memory.
TEST_F(Audio, HugeFilesAreMeasuredFromAFewMegabytes) {
    auto names = fixtures::writeHugeFiles(out->path(), readBytes(path("sine440.mp3")));
    ASSERT_EQ(names.size(), 3u);
    const int64_t expectedMs[] = {2000, 0, 2000};
    for (size_t i = 0; i < names.size(); ++i) {
        std::string file = out->file(names[i]);
        EXPECT_EQ(audio::probeLengthMs(file), expectedMs[i]) << names[i];
        // The search past the last frame, and a window for each read of the decoder.
        EXPECT_LT(audio::measuredBytes(), 4 << 20) << names[i];
    }
}

// Probing, opening and playing a 100 MB file leaves next to nothing of it in memory.
TEST_F(Audio, LargeFilesAreReadThroughASmallWindow) {
    std::string wavPath = out->file("ten.wav"), piece = out->file("ten.mp3");
    ASSERT_TRUE(
        fixtures::writeWav(wavPath, fixtures::sineSamples(10, 440, 0.5, 44100, 2), 44100, 2));
    // Without a tag, the copies make one long song instead of many joined ones.
    ASSERT_EQ(fixtures::runProgram({"lame", "--quiet", "-t", "-b", "128", wavPath, piece}), 0);
    constexpr int kCopies = 660;
    std::string bytes = readBytes(piece), big = out->file("big.mp3");
    std::ofstream file(big, std::ios::binary);
    for (int i = 0; i < kCopies; ++i)
        file << bytes;
    file.close();
    int64_t pieceMs = audio::probeLengthMs(piece);
    auto wav = render([&] {
        ASSERT_TRUE(audio::open("WARM", path("sine440.mp3"))); // first-use allocations
        ASSERT_TRUE(audio::play("WARM", 0));
        audio::advanceTo(0.1);
        ASSERT_TRUE(audio::stop("WARM"));
        int64_t before = residentKb();
        EXPECT_NEAR(audio::probeLengthMs(big), pieceMs * kCopies, kCopies);
        ASSERT_TRUE(audio::open("A", big));
        ASSERT_TRUE(audio::play("A", pieceMs * kCopies / 2 + 5000));
        audio::advanceTo(0.5);
        EXPECT_LT(residentKb() - before, 8 * 1024);
    });
    EXPECT_NEAR(toneAmplitude(leftChannel(wav, 0.15, 0.3), 440, 44100), kEncoded, 0.02);
}

} // namespace
