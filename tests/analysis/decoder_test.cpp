#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "app/startup.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/processes.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

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
    EXPECT_EQ(process::startChild({dir.file("no-such-decoder")}), 0);
    const std::string fake = fixtures::installFakeDecoder(dir.path(), "calls " + dir.file("out"));
    std::string tricky = dir.file("a \"$(touch pwned)\" 'b'; touch pwned2");
    ASSERT_NE(process::startChild({fake, tricky, "--x"}), 0);
    // The child runs in the background; wait for it to be reaped, however long it takes.
    while (process::runningChildren() > 0)
        timing::sleepMs(1);
    EXPECT_EQ(readLines(dir.file("out")), (std::vector<std::string>{tricky, "--x"}));
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
        paths.tempFolder = dir.path() + "/";
        paths.lamePath = dir.file("lame");
    }
    void TearDown() override {
        timing::install({});
        decoder = Decoder{};
        tracks = TrackLists{};
        paths = Paths{};
    }
};

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

// A decode counts when its length lies within a quarter second of the song's.
TEST_F(DecoderSteps, TheDecodedLengthMayDifferByAQuarterSecond) {
    const std::string wav = dir.file("out.wav");
    paths.lamePath = fixtures::installFakeDecoder(dir.path(), "copy " + wav);
    for (auto [seconds, taken] :
         std::vector<std::pair<double, int>>{{10.24, 1}, {9.76, 1}, {10.26, 0}, {9.74, 0}}) {
        SCOPED_TRACE(seconds);
        ASSERT_TRUE(
            fixtures::writeWav(wav, fixtures::sineSamples(seconds, 440, 0.5, 8000, 1), 8000, 1));
        decoder = Decoder{};
        decoder.lameAvailable = 1;
        clearEnvelopeSlot(0);
        envelopes.envelopeTrackName[0].clear();
        tracks.playlistCount = 1;
        tracks.playPosition = 1;
        tracks.playlist[1].fileName = padName("a.mp3");
        tracks.playlist[1].nameLength = 5;
        tracks.playlist[1].lengthMs = 10000;
        serviceDecoder();
        ASSERT_NE(decoder.pid, 0);
        // The copy takes what it takes; the decoder's clock only moves to its polls.
        for (int i = 0; i < 3000 && decoder.pid != 0; ++i) {
            clockSeconds = decoder.decodePollTime + 0.01;
            decoder.deadline = clockSeconds + 60;
            serviceDecoder();
            if (decoder.pid != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_EQ(decoder.pid, 0);
        EXPECT_EQ(envelopes.envelopePresent[0], taken);
    }
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
    // The program's environment: its temporary folder, and what a case adds.
    std::vector<std::string> environment;

    void SetUp() override {
        fs::create_directory(music);
        fs::create_directory(temp);
        useTempFolder(temp);
    }
    void TearDown() override {
        // Should a stand-in outlive the program, it noted its process id.
        for (const auto& pid : readLines(dir.file("pids")))
            probe::end(std::stoi(pid));
    }
    void useTempFolder(const std::string& folder) {
        environment = {"TMPDIR=" + folder, "TMP=" + folder, "TEMP=" + folder};
    }

    std::string loadPlaylist(const std::vector<std::string>& names = {"a.mp3", "b.mp3", "c.mp3"}) {
        for (size_t i = 0; i < names.size(); ++i)
            fs::copy_file(sources->file(std::string(1, char('a' + i)) + ".mp3"), music + names[i]);
        return scenario::loadIntoPlaylist(music + names[0]) + "wait 1\n";
    }
    // Records its process id and its arguments one per line, then does `then`.
    void fakeDecoder(const std::string& then) {
        fixtures::installFakeDecoder(dir.path(), "pid " + dir.file("pids") + "\ncalls " +
                                                     dir.file("calls") + "\n" + then);
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
        auto r = scenario::run(dir.path(), script, args, environment);
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
    // Buffers left in TMPDIR.
    std::vector<std::string> tempFiles() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(temp))
            if (e.path().filename().string().rfind("klangkelter-", 0) == 0)
                names.push_back(e.path().filename().string());
        return names;
    }
};

TEST_F(DecoderRun, TheRealLameDecodesTheThreeSongsOneAfterAnother) {
    fixtures::linkDecoder(dir.path());
    auto seq = slotSequence(loadPlaylist(), 30);
    // A dump may fall between the end of one decode and the start of the next.
    std::erase(seq, "0");
    EXPECT_EQ(seq, (std::vector<std::string>{"1", "2", "3"}));
    auto d = lastDump();
    EXPECT_EQ(d["decodeSlot"], "0");
    EXPECT_EQ(d["lameAvailable"], "1");
    EXPECT_EQ(d["envelopePresent.2"], "1");
    EXPECT_EQ(d["blockCount.2"], "107");
    EXPECT_TRUE(tempFiles().empty()) << "every buffer is removed after reading";
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
    EXPECT_TRUE(tempFiles().empty());
}

// Output that is not the song's whole decode is never taken for an envelope:
// garbage, a WAV too short or too long, output without exit status 0, a
// decoder that dies. The song is tried again after a minute, after five more,
// then not again; the music plays on.
TEST_F(DecoderRun, WrongOutputIsRefusedAndRetriedWithBackOff) {
    const std::string wav3 = dir.file("3s.wav"), wav40 = dir.file("40s.wav");
    ASSERT_TRUE(fixtures::writeWav(wav3, fixtures::sineSamples(3, 440, 0.5, 8000, 1), 8000, 1));
    ASSERT_TRUE(fixtures::writeWav(wav40, fixtures::sineSamples(40, 440, 0.5, 8000, 1), 8000, 1));
    const std::string right = "decode " + fixtures::decoderPath() + "\n";
    const std::vector<std::string> faults = {
        "garbage",         "copy " + wav3,   "copy " + wav40,
        right + "partial", right + "exit 3", right + "crash",
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault);
        fs::remove(dir.file("calls"));
        fakeDecoder(fault + "\n");
        slotSequence(loadPlaylist(), 1, "wait 420\n");
        auto d = lastDump();
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(d["envelopePresent." + std::to_string(k)], "0") << k;
        std::map<std::string, int> tries;
        for (const auto& song : decodedSongs())
            ++tries[song];
        // At about 1 s, 61 s and 361 s, and not again.
        EXPECT_EQ(tries, (std::map<std::string, int>{{"a.mp3", 3}, {"b.mp3", 3}, {"c.mp3", 3}}));
        EXPECT_EQ(d["analysisTold"], "0,1,0") << "the decoder fails: said once";
        EXPECT_TRUE(tempFiles().empty());
        fs::remove_all(music);
        fs::create_directory(music);
    }
}

// At most one decoder runs; one that hangs is ended after 30 s plus a tenth
// of the song's length and counts as failed, so the others get their turn.
TEST_F(DecoderRun, AHangingDecoderIsEndedAfterItsTimeLimit) {
    fakeDecoder("start " + dir.file("log") + "\nhang\n");
    auto seq = slotSequence(loadPlaylist(), 6, "wait 70\n", {"--process-wait", "0.2"});
    EXPECT_EQ(seq, (std::vector<std::string>{"1"}));
    auto d = lastDump();
    EXPECT_EQ(d["decodeSlot"], "3") << "a and b timed out after 33 s each";
    EXPECT_EQ(decodedSongs(), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_EQ(readLines(dir.file("log")), (std::vector<std::string>(3, "start")))
        << "never two at once";
    for (const auto& pid : readLines(dir.file("pids")))
        EXPECT_FALSE(probe::alive(std::stoi(pid))) << "c ended with the program";
}

// A TMPDIR that cannot take the buffer: the analysis stops with a word to the
// user, the music plays on.
TEST_F(DecoderRun, NoRoomForTheBufferIsToldAndTheMusicPlays) {
    fakeDecoder("exit 0\n");
    useTempFolder(dir.file("no-such-folder"));
    auto seq = slotSequence(loadPlaylist() + "key ctrl+p\n", 5);
    EXPECT_EQ(seq, (std::vector<std::string>{"0"}));
    auto d = lastDump();
    EXPECT_EQ(d["analysisTold"], "0,0,1");
    EXPECT_EQ(d["noticeId"], "89");
    EXPECT_EQ(d["playerRunning"], "1");
    EXPECT_TRUE(decodedSongs().empty());
}

// Two programs on one machine share TMPDIR; each reads its own buffers.
TEST_F(DecoderRun, TwoProgramsSharingTmpdirBothGetTheirEnvelopes) {
    fixtures::linkDecoder(dir.path());
    const std::string script = loadPlaylist() + "wait 15\ndump d.txt\n";
    TempDir other;
    fixtures::linkDecoder(other.path());
    auto first = scenario::start(dir.path(), script, {"--program-dir", dir.path()}, environment);
    auto second =
        scenario::start(other.path(), script, {"--program-dir", other.path()}, environment);
    EXPECT_EQ(scenario::finish(first).exitCode, 0);
    EXPECT_EQ(scenario::finish(second).exitCode, 0);
    for (const std::string& folder : {dir.path(), other.path()}) {
        auto d = scenario::readDump(folder + "/d.txt");
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(d["envelopePresent." + std::to_string(k)], "1") << folder << " " << k;
            // 30 s at 8 kHz in blocks of 2205 samples, as one program alone reads it.
            EXPECT_EQ(d["blockCount." + std::to_string(k)], "107") << folder << " " << k;
        }
    }
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(DecoderRun, WithoutADecoderNothingStarts) {
    environment.push_back("PATH=" + dir.file("empty"));
    auto seq = slotSequence(loadPlaylist(), 10);
    EXPECT_EQ(seq, (std::vector<std::string>{"0"}));
    EXPECT_EQ(lastDump()["lameAvailable"], "0");
    EXPECT_EQ(lastDump()["lameOn"], "0");
}

TEST_F(DecoderRun, ASongNameFullOfShellCharactersIsOneArgument) {
    fakeDecoder("exit 1\n");
    // Quotes are left out: Windows allows none in a name.
    std::string name = "a $(touch pwned) 'x'; touch pwned2 & %PATH% ^.mp3";
    slotSequence(loadPlaylist({name, "b.mp3", "c.mp3"}), 5);
    auto calls = readLines(dir.file("calls"));
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
              (std::vector<std::string>{"--decode", "--quiet", music + name}));
    const fs::path buffer = calls[3];
    EXPECT_EQ(buffer.parent_path().generic_string(), fs::path(dir.file("temp")).generic_string());
    EXPECT_EQ(buffer.filename().string().rfind("klangkelter-", 0), 0u) << calls[3];
    for (const auto& p : fs::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(p.path().filename().string().rfind("pwned", 0), std::string::npos) << p.path();
}

} // namespace
