// The session file written and read back in-process: whole sessions, the
// limits of each value, damaged and hostile files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "app/session_file.h"
#include "lists/name_scramble.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/random.h"
#include "playback/compressor.h"
#include "playback/gongs.h"
#include "playback/transport.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

int killAtStep = -1;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Session : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("song.mp3"), 21, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("gong.mp3"), 5, 880, 0.3, 8000, 1));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }
    TempDir dir;
    void SetUp() override {
        audio::start(audio::SinkKind::Null);
        sessionFile.path = dir.file("session.sav");
    }
    // A song file in folder `f` (created when missing), as the lists hold it.
    std::string folder(int f) {
        const std::string path = dir.file("Musik " + std::to_string(f) + " \"Öl\"") + "/";
        fs::create_directories(path);
        return path;
    }
    void addSong(bool toPlaylist, int f, const std::string& name) {
        fs::create_hard_link(sources->file("song.mp3"), folder(f) + name);
        const int slot = claimFolder(folder(f)).slot;
        if (!toPlaylist) {
            ASSERT_TRUE(appendStackEntry(name, 21000, slot, 0));
            return;
        }
        PlaylistEntry& e = tracks.playlist[size_t(++tracks.playlistCount)];
        e.fileName = padName(name);
        e.nameLength = int32_t(name.size());
        e.lengthMs = 21000;
        e.folderIndex = slot;
    }
    void writeSession(const std::string& text) {
        std::ofstream(sessionFile.path, std::ios::binary) << text;
    }
};

TEST_F(Session, AFullSessionComesBackExactly) {
    for (int i = 1; i <= maxTracks; ++i) {
        addSong(true, i % 3, "Lied " + std::to_string(i) + " - Grüße 'an' \"alle\".mp3");
        addSong(false, 3 + i % 2, "Stapel Nr. " + std::to_string(i) + " Äöü ß.MP3");
    }
    tracks.playPosition = 4;
    transport.autoPlay = 0;
    transport.pauseSeconds = 12.56;
    transport.blendSetting = 3;
    transport.masterVolume = 0.62f;
    triggers.leftTriggerPercent = 0.35f;
    triggers.rightTriggerPercent = 0.55f;
    compressor.setupNumber = 9;
    compressor.compressorOn = 0;
    gongs.duckTempo = 1;
    gongs.bank = 4;
    transport.endless = 1;
    for (int g = 0; g < kGongCount; ++g) {
        GongPlayer& p = gongs.player[size_t(g)];
        p.path = dir.file("gong " + std::to_string(g) + ".mp3");
        fs::copy_file(sources->file("gong.mp3"), p.path);
        p.name = "gong " + std::to_string(g) + ".mp3";
        p.posMs = 100 * g;
        p.volume = 150 + 50 * g;
        p.duck = 0.12f + 0.1f * float(g);
    }
    const TrackLists saved = tracks;
    const Gongs savedGongs = gongs;
    ASSERT_TRUE(writeAutosave());
    const std::string text = readAll(sessionFile.path);
    EXPECT_NE(text.find("\r\nTrigger\r\n35\r\n55\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nPause\r\n12.5\r\n"), std::string::npos);

    clearLists();
    transport = Transport{};
    triggers = Triggers{};
    compressor = Compressor{};
    gongs = Gongs{};
    ASSERT_TRUE(readAutosave());
    EXPECT_EQ(tracks.folderCount, saved.folderCount);
    for (int i = 1; i <= saved.folderCount; ++i)
        EXPECT_EQ(tracks.folderTable[size_t(i)], saved.folderTable[size_t(i)]);
    ASSERT_EQ(tracks.playlistCount, maxTracks);
    ASSERT_EQ(tracks.stackCount, maxTracks);
    for (int i = 1; i <= maxTracks; ++i) {
        EXPECT_EQ(trackName(tracks.playlist[size_t(i)]), trackName(saved.playlist[size_t(i)]));
        EXPECT_EQ(tracks.playlist[size_t(i)].folderIndex, saved.playlist[size_t(i)].folderIndex);
        EXPECT_EQ(tracks.playlist[size_t(i)].lengthMs, 21000);
        EXPECT_EQ(trackName(tracks.stack[size_t(i)]), trackName(saved.stack[size_t(i)]));
        EXPECT_EQ(tracks.stack[size_t(i)].folderIndex, saved.stack[size_t(i)].folderIndex);
    }
    EXPECT_EQ(tracks.playPosition, 4);
    EXPECT_EQ(transport.autoPlay, 0);
    EXPECT_DOUBLE_EQ(transport.pauseSeconds, 12.5);
    EXPECT_EQ(transport.blendSetting, 3);
    EXPECT_FLOAT_EQ(transport.masterVolume, 0.62f);
    EXPECT_FLOAT_EQ(triggers.leftTriggerPercent, 0.3f); // one decimal, cut down
    EXPECT_FLOAT_EQ(triggers.rightTriggerPercent, 0.5f);
    EXPECT_EQ(compressor.setupNumber, 9);
    EXPECT_EQ(compressor.compressorOn, 0);
    EXPECT_EQ(compressor.tempoIndex, 2); // the setup was applied
    EXPECT_EQ(gongs.duckTempo, 1);
    EXPECT_EQ(gongs.bank, 4);
    EXPECT_EQ(transport.endless, 1);
    for (int g = 0; g < kGongCount; ++g) {
        const GongPlayer &p = gongs.player[size_t(g)], &q = savedGongs.player[size_t(g)];
        EXPECT_EQ(p.path, q.path);
        EXPECT_EQ(p.name, q.name);
        EXPECT_EQ(p.posMs, q.posMs);
        EXPECT_EQ(p.volume, std::max(q.volume, 150));
        EXPECT_NEAR(p.duck, std::max(q.duck, 0.1f), 0.0011f);
        EXPECT_EQ(p.lengthMs, 5000);
        EXPECT_EQ(p.playing, 0);
    }
}

TEST_F(Session, TooLittleIsRefusedAndAFailedWriteKeepsTheOldFile) {
    for (int i = 1; i <= 4; ++i) {
        addSong(true, 1, "p" + std::to_string(i) + ".mp3");
        addSong(false, 2, "s" + std::to_string(i) + ".mp3");
    }
    writeSession("old session\r\n");
    EXPECT_FALSE(writeAutosave());
    EXPECT_EQ(notices.noticeId, notice::kSaveTooLittle);
    addSong(false, 2, "s5.mp3");
    sessionFile.path = dir.file("no such folder/session.sav");
    EXPECT_FALSE(writeAutosave());
    EXPECT_EQ(notices.noticeId, notice::kSaveFailed);
    sessionFile.path = dir.file("session.sav");
    EXPECT_EQ(readAll(sessionFile.path), "old session\r\n");
    // Nothing half-written stays behind.
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".klangkelter-save"), std::string::npos);
}

// A save killed at any moment leaves the previous file whole.
TEST_F(Session, AWriteKilledMidWayLeavesThePreviousFile) {
    writeSession("the previous session\r\n");
    const std::string big(8 << 20, 'x');
    for (int step = 0; step < 4; ++step) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            killAtStep = step;
            files::setSaveStepHook([](int at) {
                if (at == killAtStep) raise(SIGKILL);
            });
            files::writeFileAtomically(sessionFile.path, big);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) || WIFEXITED(status));
        EXPECT_EQ(readAll(sessionFile.path), "the previous session\r\n");
    }
    // The killed saves left their temporary files; the next good save takes
    // them away, and nothing else.
    auto leftovers = [&] {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir.file("")))
            n += e.path().filename().string().rfind(".klangkelter-save-", 0) == 0;
        return n;
    };
    std::ofstream(dir.file(".klangkelter-save-notes.txt")) << "the user's";
    EXPECT_EQ(leftovers(), 4 + 1); // each kill came after its file was made
    ASSERT_TRUE(files::writeFileAtomically(sessionFile.path, "new\r\n"));
    EXPECT_EQ(leftovers(), 1);
    EXPECT_TRUE(fs::exists(dir.file(".klangkelter-save-notes.txt")));
}

TEST_F(Session, ReadingObeysTheLimitsOfEachSection) {
    const std::string f = folder(1);
    fs::create_hard_link(sources->file("song.mp3"), f + "a.mp3");
    std::ostringstream s;
    s << "AUTOLOAD/AUTOSAVE Klangkelter\nFolders/Ordner\nAnzahl\n2\n"
      << f << "\n"
      << dir.file("gone") << "/\nFiles/Dateien Spielliste\nAnzahl\n70\n";
    for (int i = 0; i < 70; ++i)
        s << scrambleName(i == 5 ? "b.mp3" : "a.mp3") << "\n" << (i == 6 ? 2 : 1) << "\n";
    s << "Files/Dateien Stapel\nAnzahl\n-3\nAutoplay\n7\nPause\n99\nPlayposition\n80\n"
         "Trigger\n5\n95\nVOLUME\n10\nBlende\n2.6\nKompressorsetup\n40\nGONGs\n8\n--\n--\n--\n--\n-"
         "-";
    writeSession(s.str()); // LF line ends, no final one
    ASSERT_TRUE(readAutosave());
    EXPECT_EQ(tracks.playlistCount, maxTracks - 2); // 66 read, b.mp3 and the gone folder missing
    EXPECT_EQ(tracks.stackCount, 0);
    // b.mp3 is not there; the gone folder's song waits for its folder.
    EXPECT_EQ(notices.noticeId, notice::kFolderLate);
    EXPECT_EQ(notices.noticeNumber, 1);
    EXPECT_EQ(sessionFile.missingAtStart, 1);
    EXPECT_EQ(transport.autoPlay, 1);
    EXPECT_DOUBLE_EQ(transport.pauseSeconds, 60);
    EXPECT_EQ(tracks.playPosition, tracks.playlistCount);
    EXPECT_FLOAT_EQ(triggers.leftTriggerPercent, 0.1f);
    EXPECT_FLOAT_EQ(triggers.rightTriggerPercent, 0.8f);
    EXPECT_FLOAT_EQ(transport.masterVolume, 0.2f);
    EXPECT_EQ(transport.blendSetting, 3);
    EXPECT_EQ(compressor.setupNumber, 12);
}

// Damaged and hostile files: nothing crashes, nothing is written outside the
// tables, and a header that is not ours leaves the lists empty.
TEST_F(Session, HostileFilesNeverBreakTheTables) {
    const std::string f = folder(1);
    fs::create_hard_link(sources->file("song.mp3"), f + "a.mp3");
    const std::string head = "AUTOLOAD/AUTOSAVE Klangkelter\r\nFolders/Ordner\r\nAnzahl\r\n";
    const std::string song = scrambleName("a.mp3");
    const std::vector<std::string> files = {
        "",
        head,
        "autoload/autosave klangkelter\r\nFolders/Ordner\r\nAnzahl\r\n1\r\n" + f + "\r\n",
        head + "-1\r\n",
        head + "1000000000\r\n",
        head + "abc\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n1\r\n" + song + "\r\n1\r\n",
        head + "1\r\n" + f + "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n1000000000\r\n" + song +
            "\r\n99999\r\n" + song + "\r\n-5\r\n" + song + "\r\n1\r\n",
        head + "1\r\n" + f + "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n1\r\n" +
            std::string(100000, 'Q') + "\r\n1\r\nFiles/Dateien Stapel\r\nAnzahl\r\n1000000000\r\n" +
            song + "\r\n1\r\n",
        head + "1\r\n" + f + std::string("\0\0\r\nFiles/Dateien Spielliste\0\r\n", 32),
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
        head + "1\r\n" + sessionFile.path + "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n1\r\n" +
            scrambleName(fs::path(sessionFile.path).filename().string()) + "\r\n1\r\n",
    };
    for (size_t i = 0; i < files.size(); ++i) {
        writeSession(files[i]);
        readAutosave();
        EXPECT_LE(tracks.playlistCount, maxTracks) << i;
        EXPECT_LE(tracks.stackCount, maxTracks) << i;
        EXPECT_LE(tracks.folderCount, kMaxFolders) << i;
        for (int k = 1; k <= tracks.playlistCount; ++k)
            EXPECT_EQ(trackName(tracks.playlist[size_t(k)]), "a.mp3") << i;
    }
    // A FIFO in the session's place has no writer: reading it must not wait.
    fs::remove(sessionFile.path);
    ASSERT_EQ(mkfifo(sessionFile.path.c_str(), 0644), 0);
    EXPECT_FALSE(readAutosave());
}

} // namespace

namespace {

// AUTOSAVE through the button: the second click within 20 s only says when
// saving works again.
TEST(SessionScenario, AutosaveTwiceWithinTwentySecondsSavesOnce) {
    fixtures::TempDir dir;
    fs::create_directory(dir.file("m"));
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(fixtures::makeSineMp3(dir.file("m/s" + std::to_string(i) + ".mp3"), 21, 440,
                                          0.3, 8000, 1));
    const std::string script = scenario::loadIntoPlaylist(dir.file("m/s1.mp3")) +
                               "wait 0.5\nclick 519 512\nwait 2\ndump first.txt\n"
                               "click 519 512\nwait 0.3\ndump second.txt\n";
    auto r = scenario::run(dir.path(), script, {"--program-dir", dir.path()},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto first = scenario::readDump(dir.file("first.txt"));
    auto second = scenario::readDump(dir.file("second.txt"));
    EXPECT_EQ(first["sessionFile"], dir.file("KLANGKELTER-Spielliste-Autosave.sav"));
    EXPECT_TRUE(fs::exists(first["sessionFile"]));
    EXPECT_NEAR(std::stod(first["saveRepeatUntil"]) - std::stod(first["clock"]), 18, 0.5);
    EXPECT_EQ(second["saveRepeatUntil"], first["saveRepeatUntil"]);
    EXPECT_EQ(second["noticeId"], "78");
}

} // namespace

// Infinities and overflows take the key's limit; "nan" has no side and takes
// the default, so a damaged file never leaves AUTO PLAY off or BLENDE at 0.
TEST_F(Session, NonFiniteNumbersTakeTheLimitOrTheDefault) {
    const std::string f = folder(1);
    fs::create_hard_link(sources->file("song.mp3"), f + "a.mp3");
    fs::create_hard_link(sources->file("gong.mp3"), f + "g.mp3");
    std::ostringstream s;
    s << "AUTOLOAD/AUTOSAVE Klangkelter\nFolders/Ordner\nAnzahl\n1\n"
      << f << "\nFiles/Dateien Spielliste\nAnzahl\n2\n"
      << scrambleName("a.mp3") << "\n1\n"
      << scrambleName("a.mp3") << "\n1\n"
      << "Files/Dateien Stapel\nAnzahl\nnan\nAutoplay\nnan\nPause\ninf\nPlayposition\n-inf\n"
         "Trigger\ninfinity\n-1e309\nVOLUME\n1e309\nBlende\n1e309\nKompressorsetup\nnan\n"
         "Kompressor-Aktiv\n-inf\nEndlos\nnan\nGONGs\n8\n"
      << f << "g.mp3\ng.mp3\nnan\ninf\nnan\n";
    writeSession(s.str());
    ASSERT_TRUE(readAutosave());
    EXPECT_EQ(tracks.playlistCount, 2);
    EXPECT_EQ(tracks.stackCount, 0);
    EXPECT_EQ(transport.autoPlay, 1);
    EXPECT_DOUBLE_EQ(transport.pauseSeconds, 60);
    EXPECT_EQ(tracks.playPosition, 0);
    EXPECT_FLOAT_EQ(triggers.leftTriggerPercent, 0.8f);
    EXPECT_FLOAT_EQ(triggers.rightTriggerPercent, 0.1f);
    EXPECT_FLOAT_EQ(transport.masterVolume, 1.0f);
    EXPECT_EQ(transport.blendSetting, 3);
    EXPECT_EQ(compressor.setupNumber, 5);
    EXPECT_EQ(compressor.compressorOn, 0);
    EXPECT_EQ(transport.endless, 0);
    const GongPlayer& g = gongs.player[0];
    EXPECT_EQ(g.posMs, 0);
    EXPECT_FLOAT_EQ(g.duck, 1.0f);
    EXPECT_EQ(g.volume, 800);
}

namespace {

// The day survives a shutdown: killed mid-song a minute after a list change,
// the next --resume plays the same song from where it was, with the change.
TEST(SessionScenario, AShutdownMidSongResumesThereWithTheLastChanges) {
    fixtures::TempDir dir;
    fs::create_directory(dir.file("m"));
    fs::create_directory(dir.file("x"));
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(fixtures::makeSineMp3(dir.file("m/s" + std::to_string(i) + ".mp3"), 40, 440,
                                          0.3, 8000, 1));
    fs::copy_file(dir.file("m/s1.mp3"), dir.file("x/neu.mp3"));
    const auto env = scenario::isolatedEnvironment(dir.path());
    const std::vector<std::string> args = {"--program-dir", dir.path()};
    // Playing from about 3 s; the stack gains a song at about 13 s.
    auto r = scenario::run(dir.path(),
                           scenario::loadIntoPlaylist(dir.file("m/s1.mp3")) +
                               "key ctrl+p\nwait 10\ndialog " + dir.file("x/neu.mp3") +
                               "\nclick 903 83\nwait 15\ndump before.txt\nsignal TERM\nwait 5\n"
                               "dump never.txt\n",
                           args, env);
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_FALSE(fs::exists(dir.file("never.txt"))) << "the signal did not end the run";
    auto before = scenario::readDump(dir.file("before.txt"));
    ASSERT_EQ(before["playPosition"], "1");
    const double was = std::stod(before["positionMs"]);
    ASSERT_GT(was, 20000);

    r = scenario::runRaw(dir.path(), "wait 2\ndump after.txt\n", {"--resume", args[0], args[1]},
                         env);
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto after = scenario::readDump(dir.file("after.txt"));
    EXPECT_EQ(after["playPosition"], "1");
    EXPECT_EQ(after["playerRunning"], "1");
    EXPECT_EQ(after["stackCount"], before["stackCount"]);
    EXPECT_EQ(after["playlistCount"], before["playlistCount"]);
    // Faded in from 750 ms before the spot, two seconds ago.
    EXPECT_NEAR(std::stod(after["positionMs"]), was + 2000 - 750, 1000);
}

// A start with empty lists keeps the gong players, and its own small session
// never replaces the saved day; a smaller real one keeps the day as ".bak".
TEST(SessionScenario, AnEmptyStartKeepsTheSavedDayAndItsGongs) {
    fixtures::TempDir dir;
    const std::string music = dir.file("m") + "/", other = dir.file("n") + "/";
    fs::create_directory(music);
    fs::create_directory(other);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "s.mp3", 21, 440, 0.3, 8000, 1));
    ASSERT_TRUE(fixtures::makeSineMp3(music + "gong.mp3", 5, 880, 0.3, 8000, 1));
    std::string text = "AUTOLOAD/AUTOSAVE Klangkelter\r\nFolders/Ordner\r\nAnzahl\r\n1\r\n" +
                       music + "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n40\r\n";
    for (int i = 1; i <= 40; ++i) {
        const std::string name = "lied" + std::to_string(i) + ".mp3";
        fs::create_hard_link(music + "s.mp3", music + name);
        text += scrambleName(name) + "\r\n1\r\n";
    }
    text += "Files/Dateien Stapel\r\nAnzahl\r\n0\r\nAutoplay\r\n1\r\nGONGs\r\n8\r\n" + music +
            "gong.mp3\r\nDing\r\n0\r\n500\r\n900\r\n";
    for (int k = 0; k < 7 * 5; ++k)
        text += "--\r\n";
    const std::string saved = dir.file("KLANGKELTER-Spielliste-Autosave.sav");
    std::ofstream(saved, std::ios::binary) << text;
    for (int i = 1; i <= 20; ++i)
        fs::create_hard_link(music + "s.mp3", other + "neu" + std::to_string(i) + ".mp3");

    // Past the start screen with empty lists, one song into the stack: too
    // little to replace forty. Then, in the next run, twenty, which do.
    const auto env = scenario::isolatedEnvironment(dir.path());
    const std::vector<std::string> args = {"--program-dir", dir.path()};
    auto r = scenario::run(dir.path(),
                           "dump start.txt\ndialog " + music + "lied1.mp3\nclick 903 83\nwait 12\n",
                           args, env);
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto start = scenario::readDump(dir.file("start.txt"));
    EXPECT_EQ(start["playlistCount"], "0");
    EXPECT_EQ(start["gong.0"].substr(0, start["gong.0"].find('|')), music + "gong.mp3");
    EXPECT_EQ(readAll(saved), text);
    EXPECT_FALSE(fs::exists(saved + ".bak"));

    r = scenario::run(dir.path(), "dialog " + other + "neu1.mp3\nclick 956 83\nwait 12\n", args,
                      env);
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    EXPECT_EQ(readAll(saved + ".bak"), text) << "the day before the smaller save";
    const std::string now = readAll(saved);
    EXPECT_NE(now.find("Stapel\r\nAnzahl\r\n20\r\n"), std::string::npos) << now.substr(0, 400);
    EXPECT_NE(now.find(music + "gong.mp3\r\nDing\r\n"), std::string::npos);
}

} // namespace

namespace {

// A stick or share that mounts after the start: the songs of its folder wait
// at their places while the others play, come back when it is there, and
// only a folder that never comes loses its songs, counted.
TEST_F(Session, SongsOfALateFolderWaitAtTheirPlacesAndComeBack) {
    std::string error;
    backend::install(headless::make({}, std::move(*headless::parseScript("wait 1e4\n", error))));
    const std::string here = folder(1), late = dir.file("stick") + "/",
                      never = dir.file("nie") + "/";
    for (const char* name : {"h1.mp3", "h2.mp3"})
        fs::create_hard_link(sources->file("song.mp3"), here + name);
    std::string text = "AUTOLOAD/AUTOSAVE Klangkelter\r\nFolders/Ordner\r\nAnzahl\r\n3\r\n" + here +
                       "\r\n" + late + "\r\n" + never +
                       "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n6\r\n";
    // The file's order: l1 h1 l2 h2 l3 n1; the session stood at l2, 12.5 s in.
    for (auto [name, f] : std::vector<std::pair<const char*, int>>{{"l1.mp3", 2},
                                                                   {"h1.mp3", 1},
                                                                   {"l2.mp3", 2},
                                                                   {"h2.mp3", 1},
                                                                   {"l3.mp3", 2},
                                                                   {"n1.mp3", 3}})
        text += scrambleName(name) + "\r\n" + std::to_string(f) + "\r\n";
    text += "Files/Dateien Stapel\r\nAnzahl\r\n1\r\n" + scrambleName("s1.mp3") +
            "\r\n2\r\nAutoplay\r\n1\r\nPlayposition\r\n3\r\nLiedposition\r\n12500\r\n";
    writeSession(text);
    ASSERT_TRUE(readAutosave());
    auto names = [](bool playlist) {
        std::string all;
        const int n = playlist ? tracks.playlistCount : tracks.stackCount;
        for (int i = 1; i <= n; ++i)
            all += (playlist ? trackName(tracks.playlist[size_t(i)])
                             : trackName(tracks.stack[size_t(i)])) +
                   " ";
        return all;
    };
    EXPECT_EQ(names(true), "h1.mp3 h2.mp3 ");
    EXPECT_EQ(tracks.playPosition, 2); // l2 waits: h2 is the next there
    EXPECT_EQ(sessionFile.lateSongs.size(), 5u);
    EXPECT_EQ(notices.noticeId, notice::kFolderLate);
    EXPECT_FALSE(saveSessionQuietly()) << "the waiting songs are only in the file";

    // Nothing plays yet (no --resume); the stick comes.
    armQuietSaves();
    fs::create_directory(late);
    for (const char* name : {"l1.mp3", "l2.mp3", "l3.mp3", "s1.mp3"})
        fs::create_hard_link(sources->file("song.mp3"), late + name);
    sessionFile.resumeWanted = true;
    sessionFile.nextLateLook = 0;
    watchLateFolders();
    EXPECT_EQ(names(true), "l1.mp3 h1.mp3 l2.mp3 h2.mp3 l3.mp3 ");
    EXPECT_EQ(names(false), "s1.mp3 ");
    EXPECT_EQ(sessionFile.lateSongs.size(), 1u); // n1 still waits
    // --resume found nothing before: now the saved song plays, faded in at 12.5 s.
    EXPECT_EQ(tracks.playPosition, 3);
    EXPECT_EQ(transport.playerRunning, 1);
    EXPECT_EQ(envelopes.startCueManual[0], 1);
    EXPECT_NEAR(envelopes.startCue[0] * 21000, 12500 - 300, 30);

    // The third folder never comes: after three minutes n1 is dropped and told.
    sessionFile.nextLateLook = 0;
    sessionFile.lateUntil = timing::now();
    watchLateFolders();
    EXPECT_TRUE(sessionFile.lateSongs.empty());
    EXPECT_EQ(notices.noticeId, notice::kListInvalid);
    EXPECT_EQ(notices.noticeNumber, 1);
    EXPECT_EQ(names(true), "l1.mp3 h1.mp3 l2.mp3 h2.mp3 l3.mp3 ");
    // Saving goes on, but five songs from the third on are too few to replace seven.
    EXPECT_FALSE(saveSessionQuietly());
    EXPECT_EQ(readAll(sessionFile.path), text);
    audio::shutdown();
    backend::install(nullptr);
}

} // namespace

namespace {

const std::string kSessionHead = "AUTOLOAD/AUTOSAVE Klangkelter\r\nFolders/Ordner\r\nAnzahl\r\n";

std::string emptyGongs(int players) {
    std::string t;
    for (int k = 0; k < 5 * players; ++k)
        t += "--\r\n";
    return t;
}

// A session written by hand, not by our writer: "G" and "n" take one capital,
// "H" and "m" two. The capitals are the generator's first draws from seed 23.
TEST_F(Session, AHandWrittenSessionReadsBackExactlyAndTheWriterWritesItsBytes) {
    const std::string f1 = folder(1), f2 = folder(2);
    fs::create_hard_link(sources->file("song.mp3"), f1 + "Gnom.mp3");
    fs::create_hard_link(sources->file("song.mp3"), f2 + "Hymne 7.mp3");
    fs::create_hard_link(sources->file("song.mp3"), f1 + "n-z.mp3");
    fs::create_hard_link(sources->file("gong.mp3"), f1 + "gong.mp3");
    const std::string golden =
        kSessionHead + "2\r\n" + f1 + "\r\n" + f2 +
        "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n2\r\n"
        "GCnIoNmSG\r\n1\r\nHBCyCmQUnIeJK P7G\r\n2\r\n"
        "Files/Dateien Stapel\r\nAnzahl\r\n1\r\nnI-AzP\r\n1\r\n"
        "Autoplay\r\n0\r\nPause\r\n2.5\r\nPlayposition\r\n2\r\nGong-Duck-Tempo\r\n1\r\n"
        "GongBank\r\n4\r\nTrigger\r\n30\r\n50\r\nVOLUME\r\n62\r\nKompressor-Aktiv\r\n0\r\n"
        "Blende\r\n3\r\nKompressorsetup\r\n9\r\nEndlos\r\n1\r\nGONGs\r\n8\r\n" +
        f1 + "gong.mp3\r\nDing\r\n1200\r\n500\r\n900\r\n" + emptyGongs(7) +
        "Angleichen\r\n1\r\nLiedposition\r\n0\r\n";
    writeSession(golden);
    ASSERT_TRUE(readAutosave());
    EXPECT_EQ(compressor.matchOn, 1);
    EXPECT_EQ(tracks.folderCount, 2);
    ASSERT_EQ(tracks.playlistCount, 2);
    ASSERT_EQ(tracks.stackCount, 1);
    EXPECT_EQ(trackName(tracks.playlist[1]), "Gnom.mp3");
    EXPECT_EQ(trackName(tracks.playlist[2]), "Hymne 7.mp3");
    EXPECT_EQ(trackName(tracks.stack[1]), "n-z.mp3");
    EXPECT_EQ(tracks.playlist[2].folderIndex, 2);
    EXPECT_EQ(tracks.stack[1].folderIndex, 1);
    EXPECT_EQ(tracks.playPosition, 2);
    EXPECT_EQ(transport.autoPlay, 0);
    EXPECT_DOUBLE_EQ(transport.pauseSeconds, 2.5);
    EXPECT_EQ(gongs.duckTempo, 1);
    EXPECT_EQ(gongs.bank, 4);
    EXPECT_FLOAT_EQ(triggers.leftTriggerPercent, 0.3f);
    EXPECT_FLOAT_EQ(triggers.rightTriggerPercent, 0.5f);
    EXPECT_FLOAT_EQ(transport.masterVolume, 0.62f);
    EXPECT_EQ(compressor.compressorOn, 0);
    EXPECT_EQ(transport.blendSetting, 3);
    EXPECT_EQ(compressor.setupNumber, 9);
    EXPECT_EQ(transport.endless, 1);
    const GongPlayer& g = gongs.player[0];
    EXPECT_EQ(g.path, f1 + "gong.mp3");
    EXPECT_EQ(g.name, "Ding");
    EXPECT_EQ(g.posMs, 1200);
    EXPECT_FLOAT_EQ(g.duck, 0.5f);
    EXPECT_EQ(g.volume, 900);
    EXPECT_TRUE(gongs.player[1].path.empty());

    // Too little for AUTOSAVE, but a quiet save writes whatever there is.
    armQuietSaves();
    sessionFile.path = dir.file("again.sav");
    sessionFile.savedSongs = 0;
    rng::seed(23);
    ASSERT_TRUE(saveSessionQuietly());
    EXPECT_EQ(readAll(sessionFile.path), golden);
}

// Each key at its limits and just beyond them.
TEST_F(Session, EachValueHoldsAtItsLimitsAndIsCutJustBeyond) {
    const std::string f = folder(1);
    fs::create_hard_link(sources->file("song.mp3"), f + "a.mp3");
    fs::create_hard_link(sources->file("gong.mp3"), f + "g.mp3");
    const std::string lists = kSessionHead + "1\r\n" + f +
                              "\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n2\r\n" +
                              scrambleName("a.mp3") + "\r\n1\r\n" + scrambleName("a.mp3") +
                              "\r\n1\r\nFiles/Dateien Stapel\r\nAnzahl\r\n0\r\n";
    auto gong = [&](const std::string& pos, const std::string& duck, const std::string& vol) {
        return "Autoplay\r\n1\r\nGONGs\r\n8\r\n" + f + "g.mp3\r\ng\r\n" + pos + "\r\n" + duck +
               "\r\n" + vol + "\r\n" + emptyGongs(7);
    };
    struct Case {
        std::string settings;
        std::function<double()> value;
        double expected;
    };
    auto key = [](const std::string& name, const std::string& v) {
        return "Autoplay\r\n1\r\n" + name + "\r\n" + v + "\r\n";
    };
    auto autoPlay = [] { return double(transport.autoPlay); };
    auto pause = [] { return transport.pauseSeconds; };
    auto position = [] { return double(tracks.playPosition); };
    auto duckTempo = [] { return double(gongs.duckTempo); };
    auto bank = [] { return double(gongs.bank); };
    auto left = [] { return double(triggers.leftTriggerPercent); };
    auto right = [] { return double(triggers.rightTriggerPercent); };
    auto volume = [] { return double(transport.masterVolume); };
    auto blend = [] { return double(transport.blendSetting); };
    auto setup = [] { return double(compressor.setupNumber); };
    auto on = [] { return double(compressor.compressorOn); };
    auto endless = [] { return double(transport.endless); };
    auto gongPos = [] { return double(gongs.player[0].posMs); };
    auto gongDuck = [] { return double(gongs.player[0].duck); };
    auto gongVolume = [] { return double(gongs.player[0].volume); };
    const std::vector<Case> cases = {
        {"Autoplay\r\n0\r\n", autoPlay, 0},
        {"Autoplay\r\n-1\r\n", autoPlay, 1},
        {"Autoplay\r\n2\r\n", autoPlay, 1},
        {key("Pause", "0"), pause, 0},
        {key("Pause", "-0.1"), pause, 0},
        {key("Pause", "60"), pause, 60},
        {key("Pause", "60.1"), pause, 60},
        {key("Playposition", "0"), position, 0},
        {key("Playposition", "-1"), position, 0},
        {key("Playposition", "2"), position, 2},
        {key("Playposition", "3"), position, 2},
        {key("Gong-Duck-Tempo", "-1"), duckTempo, 0},
        {key("Gong-Duck-Tempo", "1"), duckTempo, 1},
        {key("Gong-Duck-Tempo", "2"), duckTempo, 1},
        {key("GongBank", "-1"), bank, 0},
        {key("GongBank", "3"), bank, 0},
        {key("GongBank", "4"), bank, 4},
        {key("GongBank", "5"), bank, 4},
        {key("Trigger", "9\r\n50"), left, 0.1},
        {key("Trigger", "10\r\n50"), left, 0.1},
        {key("Trigger", "29\r\n50"), left, 0.2},
        {key("Trigger", "80\r\n50"), left, 0.8},
        {key("Trigger", "90\r\n50"), left, 0.8},
        {key("Trigger", "50\r\n9"), right, 0.1},
        {key("Trigger", "50\r\n10"), right, 0.1},
        {key("Trigger", "50\r\n80"), right, 0.8},
        {key("Trigger", "50\r\n90"), right, 0.8},
        {key("VOLUME", "19"), volume, 0.2},
        {key("VOLUME", "20"), volume, 0.2},
        {key("VOLUME", "100"), volume, 1.0},
        {key("VOLUME", "101"), volume, 1.0},
        {key("Blende", "-1"), blend, 0},
        {key("Blende", "0"), blend, 0},
        {key("Blende", "2.5"), blend, 2}, // halves to even
        {key("Blende", "3"), blend, 3},
        {key("Blende", "4"), blend, 3},
        {key("Kompressorsetup", "-1"), setup, 0},
        {key("Kompressorsetup", "0"), setup, 0},
        {key("Kompressorsetup", "12"), setup, 12},
        {key("Kompressorsetup", "13"), setup, 12},
        {key("Kompressor-Aktiv", "-1"), on, 0},
        {key("Kompressor-Aktiv", "1"), on, 1},
        {key("Kompressor-Aktiv", "2"), on, 1},
        {key("Endlos", "0"), endless, 0},
        {key("Endlos", "1"), endless, 1},
        {key("Endlos", "2"), endless, 0},
        {gong("-1", "500", "800"), gongPos, 0},
        {gong("5000", "500", "800"), gongPos, 5000},
        {gong("5001", "500", "800"), gongPos, 5000},
        {gong("0", "99", "800"), gongDuck, 0.1},
        {gong("0", "100", "800"), gongDuck, 0.1},
        {gong("0", "1000", "800"), gongDuck, 1.0},
        {gong("0", "1001", "800"), gongDuck, 1.0},
        {gong("0", "500", "149"), gongVolume, 150},
        {gong("0", "500", "150"), gongVolume, 150},
        {gong("0", "500", "1000"), gongVolume, 1000},
        {gong("0", "500", "1001"), gongVolume, 1000},
    };
    for (const Case& c : cases) {
        transport = Transport{};
        triggers = Triggers{};
        compressor = Compressor{};
        gongs = Gongs{};
        writeSession(lists + c.settings);
        ASSERT_TRUE(readAutosave()) << c.settings;
        EXPECT_NEAR(c.value(), c.expected, 1e-6) << c.settings;
    }
}

} // namespace
