#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "app/startup.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

const char* kBufferName = "000-LAME-Puffer.wav";

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

void writeScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
}

// Sets an environment variable for the programs the test starts.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DecoderFileExists, RefusesEmptyRelativeAndShortPathsWithoutLooking) {
    EXPECT_FALSE(fileExists(""));
    EXPECT_FALSE(fileExists("/etc")); // exists, but shorter than 7 characters
    TempDir dir;
    std::ofstream(dir.file("Song.MP3")) << "x";
    std::string relative = fs::relative(dir.file("Song.MP3"), fs::current_path()).string();
    ASSERT_NE(relative[0], '/');
    EXPECT_FALSE(fileExists(relative));
}

TEST(DecoderFileExists, FindsTheNameInAnyLetterCase) {
    TempDir dir;
    std::ofstream(dir.file("Song.MP3")) << "x";
    EXPECT_TRUE(fileExists(dir.file("Song.MP3")));
    EXPECT_TRUE(fileExists(dir.file("song.mp3")));
    EXPECT_FALSE(fileExists(dir.file("Song.MP")));
    EXPECT_FALSE(fileExists(dir.file("other.mp3")));
}

TEST(DecoderProcess, StartFailsForAMissingProgramAndPassesArgumentsUnchanged) {
    TempDir dir;
    EXPECT_FALSE(process::start({dir.file("no-such-decoder")}));
    writeScript(dir.file("echo-args"), "for a in \"$@\"; do echo \"$a\"; done > \"$1.out\"\n");
    std::string tricky = dir.file("a \"$(touch pwned)\" 'b'; touch pwned2");
    ASSERT_TRUE(process::start({dir.file("echo-args"), tricky, "--x"}));
    // The child runs in the background; wait for it to be reaped, however long it takes.
    while (process::runningChildren() > 0)
        timing::sleepMs(1);
    EXPECT_EQ(readLines(tricky + ".out"), (std::vector<std::string>{tricky, "--x"}));
    EXPECT_FALSE(fs::exists(dir.file("pwned")));
    EXPECT_FALSE(fs::exists(dir.file("pwned2")));
}

// The decoder's state machine in process, on a clock the test sets.
class DecoderSteps : public ::testing::Test {
  protected:
    TempDir dir;
    double clockSeconds = 100;
    void SetUp() override {
        timing::install(
            {[this] { return clockSeconds; }, [this](double ms) { clockSeconds += ms / 1000; }});
        screen::open(screen::kWidth, screen::kHeight);
        allocateEnvelopes();
        for (int k = 0; k < kEnvelopeSlots; ++k)
            clearEnvelopeSlot(k);
        paths.lameBufferFile = dir.file(kBufferName);
        paths.lamePath = dir.file("lame");
        decoder.speedIndex = 100;
    }
    void TearDown() override {
        timing::install({});
        decoder = Decoder{};
        tracks = TrackLists{};
        paths = Paths{};
    }
    void growBuffer(int bytes) {
        std::ofstream(paths.lameBufferFile, std::ios::app) << std::string(size_t(bytes), 'x');
    }
};

TEST_F(DecoderSteps, TwoEqualLengthsTwoSecondsApartEndTheDecode) {
    decoder.decodeSlot = 2;
    decoder.decodePollTime = clockSeconds + 2;
    clockSeconds += 1;
    pollDecode();
    EXPECT_EQ(decoder.decodePollTime, 102.0) << "not due yet";
    clockSeconds += 1.5; // due; the decoder has not written anything yet
    pollDecode();
    EXPECT_EQ(decoder.decodePollTime, 103.0);
    growBuffer(100);
    clockSeconds = 103.5;
    pollDecode();
    EXPECT_EQ(decoder.decodePollTime, 105.5);
    EXPECT_EQ(decoder.decodeDone, 0);
    growBuffer(100);
    clockSeconds = 106;
    pollDecode();
    EXPECT_EQ(decoder.decodeDone, 0) << "still growing";
    clockSeconds = 108.5;
    pollDecode();
    EXPECT_EQ(decoder.decodeDone, 1);
    // The label sits in the envelope band of the second row (slot 1).
    EXPECT_EQ(screen::pixel(500, 61 + 76 + 40), 221);
    EXPECT_EQ(screen::pixel(26, 61 + 76 + 30), 8);
    EXPECT_EQ(screen::pixel(27, 61 + 76 + 30), 7);
}

TEST_F(DecoderSteps, ASlowMachineWaitsASecondLongerAndAScrolledViewGetsNoLabel) {
    decoder.speedIndex = 59;
    tracks.playlistTop = 5;
    screen::fillBox(0, 0, 600, 300, 15);
    decoder.decodeSlot = 1;
    growBuffer(10);
    pollDecode();
    EXPECT_EQ(decoder.decodePollTime, 103.0);
    EXPECT_EQ(screen::pixel(500, 61 + 40), 15);
}

TEST_F(DecoderSteps, AFinishedBufferFillsItsSlotAndIsDeleted) {
    ASSERT_TRUE(fixtures::writeWav(paths.lameBufferFile,
                                   fixtures::sineSamples(3, 440, 0.5, 44100, 1), 44100, 1));
    decoder.lameOn = 0;
    decoder.decodeSlot = 1;
    decoder.decodeDone = 1;
    decoder.decodeTargetSlot = 0;
    envelopes.envelopePresent[1] = 1;
    serviceDecoder();
    EXPECT_EQ(envelopes.envelopePresent[0], 1);
    EXPECT_GT(envelopes.blockCount[0], 0);
    EXPECT_EQ(envelopes.envelopePresent[1], 1) << "no advance: the next slot still fits";
    EXPECT_EQ(decoder.decodeSlot, 0);
    EXPECT_EQ(decoder.decodeDone, 0);
    EXPECT_FALSE(fs::exists(paths.lameBufferFile));
}

TEST_F(DecoderSteps, AnAdvanceDuringTheDecodeEmptiesTheSlotsBehindIt) {
    std::ofstream(paths.lameBufferFile) << "not a wave file";
    decoder.lameOn = 0;
    decoder.decodeSlot = 1;
    decoder.decodeDone = 1;
    decoder.advancedDuringDecode = 1;
    envelopes.envelopePresent = {0, 1, 1};
    envelopes.envelopeTrackName[1] = "b.mp3";
    serviceDecoder();
    EXPECT_EQ(envelopes.envelopePresent, (std::array<int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(envelopes.envelopeTrackName[1], "b.mp3");
    EXPECT_EQ(decoder.advancedDuringDecode, 0);
    EXPECT_FALSE(fs::exists(paths.lameBufferFile));
}

TEST_F(DecoderSteps, AMissingDecoderStartsNothing) {
    tracks.playlistCount = 1;
    tracks.playlist[1].fileName = padName("a.mp3");
    tracks.playlist[1].nameLength = 5;
    decoder.lameAvailable = 1;
    serviceDecoder();
    EXPECT_EQ(decoder.decodeSlot, 0);
    EXPECT_EQ(decoder.lameAvailable, 0);
    EXPECT_EQ(envelopes.envelopeTrackName[0], "a.mp3");
}

TEST_F(DecoderSteps, ADecoderThatCannotBeStartedLeavesTheSlotEmptyForTheNextPass) {
    std::ofstream(paths.lamePath) << "not a program";
    tracks.playlistCount = 2;
    tracks.playlist[1].fileName = padName("a.mp3");
    tracks.playlist[1].nameLength = 5;
    tracks.playlist[2].fileName = padName("b.mp3");
    tracks.playlist[2].nameLength = 5;
    decoder.lameAvailable = 1;
    serviceDecoder();
    EXPECT_EQ(decoder.decodeSlot, 0);
    EXPECT_EQ(decoder.lameOn, 1) << "the file is there, so LAME stays on";
    EXPECT_EQ(decoder.lameAvailable, 1);
    EXPECT_EQ(envelopes.envelopePresent[0], 0);
    // A failed start lets the next slot try in the same pass.
    EXPECT_EQ(envelopes.envelopeTrackName[1], "b.mp3");
}

// The whole program, headless, with a decoder in its program folder. Songs
// reach the playlist through LOAD, Ctrl+A and the arrow button.
class DecoderRun : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        for (const char* n : {"a.mp3", "b.mp3", "c.mp3"})
            ASSERT_TRUE(fixtures::makeSineMp3(sources->file(n), 30, 440, 0.3, 8000, 1));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }

    TempDir dir;
    std::string music = dir.file("Meine Musik") + "/";
    std::string temp = dir.file("temp") + "/";
    std::optional<ScopedEnv> tmpdir;

    void SetUp() override {
        fs::create_directory(music);
        fs::create_directory(temp);
        tmpdir.emplace("TMPDIR", temp);
    }
    void TearDown() override {
        // A hanging fake decoder outlives the program; it noted its process id.
        for (const auto& pid : readLines(dir.file("pids")))
            kill(pid_t(std::stol(pid)), SIGKILL);
    }

    std::string loadPlaylist(const std::vector<std::string>& names = {"a.mp3", "b.mp3", "c.mp3"}) {
        for (size_t i = 0; i < names.size(); ++i)
            fs::copy_file(sources->file(std::string(1, char('a' + i)) + ".mp3"), music + names[i]);
        return scenario::loadIntoPlaylist(music + names[0]) + "wait 1\n";
    }
    // Records its arguments one per line and its process id, then runs `then`.
    void fakeDecoder(const std::string& then) {
        writeScript(dir.file("lame"), "echo $$ >> '" + dir.file("pids") + "'\n" +
                                          "printf '%s\\n' \"$@\" >> '" + dir.file("calls") + "'\n" +
                                          then);
    }
    std::vector<std::string> decodedSongs() {
        std::vector<std::string> songs;
        for (const auto& l : readLines(dir.file("calls")))
            if (l.rfind(music, 0) == 0) songs.push_back(l.substr(music.size()));
        return songs;
    }
    // Dumps every half second; the run of distinct decodeSlot values.
    std::vector<std::string> slotSequence(const std::string& prefix, double seconds,
                                          const std::string& after = "",
                                          const std::vector<std::string>& extraArgs = {}) {
        std::string script = prefix;
        int dumps = int(seconds * 2);
        for (int i = 0; i < dumps; ++i)
            script += "dump s" + std::to_string(i) + ".txt\nwait 0.5\n";
        script += after + "dump d.txt\n";
        std::vector<std::string> args = {"--program-dir", dir.path()};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        auto r = scenario::run(dir.path(), script, args);
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        EXPECT_EQ(r.errorOutput, "");
        std::vector<std::string> seq;
        for (int i = 0; i < dumps; ++i) {
            std::string v =
                scenario::readDump(dir.file("s" + std::to_string(i) + ".txt"))["decodeSlot"];
            if (seq.empty() || seq.back() != v) seq.push_back(v);
        }
        return seq;
    }
    std::map<std::string, std::string> lastDump() { return scenario::readDump(dir.file("d.txt")); }
};

TEST_F(DecoderRun, TheRealLameDecodesTheThreeSongsOneAfterAnother) {
    fs::create_symlink("/usr/bin/lame", dir.file("lame"));
    auto seq = slotSequence(loadPlaylist(), 30);
    EXPECT_EQ(seq, (std::vector<std::string>{"1", "2", "3", "0"}));
    EXPECT_EQ(lastDump()["lameAvailable"], "1");
    EXPECT_FALSE(fs::exists(temp + kBufferName));
}

TEST_F(DecoderRun, ADecoderThatFailsAtOnceLetsTheOthersThroughAndTheMusicPlays) {
    fakeDecoder("exit 1\n");
    auto seq = slotSequence(loadPlaylist() + "key ctrl+p\n", 20);
    // Each song is tried once; none is tried again within the minute.
    EXPECT_EQ(seq.back(), "0");
    EXPECT_EQ(decodedSongs(), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
    auto d = lastDump();
    EXPECT_EQ(d["lameAvailable"], "1");
    EXPECT_EQ(d["playerRunning"], "1");
    EXPECT_GT(std::stoi(d["positionMs"]), 19000);
}

TEST_F(DecoderRun, GarbageInTheBufferIsRefusedAndTheSameSongIsTriedAgain) {
    fakeDecoder("eval last=\\${$#}\nprintf 'RIFF....WAVEjunk' > \"$last\"\n");
    slotSequence(loadPlaylist(), 20);
    // Each round: start, two polls of the same length, a refused read, a
    // fresh start for the still empty first slot; the others wait their turn.
    auto songs = decodedSongs();
    EXPECT_GE(songs.size(), 3u);
    for (const auto& s : songs)
        EXPECT_EQ(s, "a.mp3");
    EXPECT_EQ(lastDump()["decodeSlot"], "1");
}

TEST_F(DecoderRun, AStaleBufferFromEarlierIsNotTakenForTheNewDecode) {
    ASSERT_TRUE(fixtures::writeWav(temp + kBufferName, fixtures::sineSamples(3, 440, 0.5, 44100, 1),
                                   44100, 1));
    fakeDecoder("exit 0\n");
    slotSequence(loadPlaylist(), 10);
    EXPECT_EQ(lastDump()["envelopePresent.0"], "0");
    EXPECT_FALSE(fs::exists(temp + kBufferName));
}

TEST_F(DecoderRun, AHangingDecoderKeepsItsSlotAndTheLoopRuns) {
    fakeDecoder("exec sleep 1000\n");
    // The hang is certain: no need to wait the real seconds a slow decoder gets.
    auto seq = slotSequence(loadPlaylist(), 6, "wait 30\n", {"--process-wait", "0.5"});
    EXPECT_EQ(seq, (std::vector<std::string>{"1"}));
    auto d = lastDump();
    EXPECT_EQ(d["decodeSlot"], "1");
    EXPECT_GT(std::stod(d["clock"]), 35);
    EXPECT_EQ(decodedSongs(), (std::vector<std::string>{"a.mp3"}));
}

TEST_F(DecoderRun, WithoutADecoderNothingStarts) {
    ScopedEnv path("PATH", dir.file("empty"));
    auto seq = slotSequence(loadPlaylist(), 10);
    EXPECT_EQ(seq, (std::vector<std::string>{"0"}));
    EXPECT_EQ(lastDump()["lameAvailable"], "0");
    EXPECT_EQ(lastDump()["lameOn"], "0");
}

TEST_F(DecoderRun, ASongNameFullOfShellCharactersIsOneArgument) {
    fakeDecoder("exit 1\n");
    std::string name = "a \"$(touch pwned)\" 'x'; touch pwned2 &.mp3";
    slotSequence(loadPlaylist({name, "b.mp3", "c.mp3"}), 5);
    auto calls = readLines(dir.file("calls"));
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4),
              (std::vector<std::string>{"--decode", "--quiet", music + name, temp + kBufferName}));
    for (const auto& p : fs::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(p.path().filename().string().rfind("pwned", 0), std::string::npos) << p.path();
}

} // namespace
