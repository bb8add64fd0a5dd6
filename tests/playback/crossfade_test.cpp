#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "analysis/decoder.h"
#include "app/main_loop.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/mci.h"
#include "platform/png.h"
#include "platform/screen.h"
#include "playback/crossfade.h"
#include "playback/transport.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

using scenario::LogLine;
constexpr auto readLog = scenario::readMciLog;

// Time of the first command at or after `from` made of the words of
// `prefix` and maybe more; -1 if none.
double firstTime(const std::vector<LogLine>& log, const std::string& prefix, double from = 0) {
    for (const auto& l : log)
        if (l.seconds >= from && l.command.rfind(prefix, 0) == 0 &&
            (l.command.size() == prefix.size() || l.command[prefix.size()] == ' '))
            return l.seconds;
    return -1;
}

// Volumes sent to an alias between two times.
std::vector<std::pair<double, int>> volumes(const std::vector<LogLine>& log,
                                            const std::string& alias, double from, double to) {
    std::vector<std::pair<double, int>> out;
    const std::string format = "setaudio " + alias + " volume to %d";
    for (const auto& l : log) {
        int v;
        if (l.seconds >= from && l.seconds < to &&
            std::sscanf(l.command.c_str(), format.c_str(), &v) == 1)
            out.emplace_back(l.seconds, v);
    }
    return out;
}

// The clicks that set BLEND and PAUSE from their start-up values (1 and 0 s).
std::string settings(int blend, int pauseClicks) {
    std::string s = "wait 0.5\n"; // past the click lock of the send arrow
    for (int i = 0; i < (blend + 3) % 4; ++i)
        s += "click 528 28\nwait 0.35\n";
    for (int i = 0; i < pauseClicks; ++i)
        s += "click 615 28\nwait 0.2\n";
    return s;
}

// Songs of 20 s without analysis: the fade begins 0.96 s before the default
// end trigger at 19.2 s, that is at 18.24 s with BLEND 1.
class CrossFade : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    static void SetUpTestSuite() {
        sources = new TempDir;
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("a20.mp3"), 20, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("b20.mp3"), 20, 660, 0.3, 8000, 1));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }

    TempDir dir;

    std::string loadPlaylist(std::vector<std::string> names = {"a20.mp3", "b20.mp3"}) {
        std::string music = dir.file("m") + "/";
        fs::create_directory(music);
        for (const auto& n : names)
            fs::copy_file(sources->file(n), music + n);
        return scenario::loadIntoPlaylist(music + names.front());
    }
    std::map<std::string, std::string> run(const std::string& script) {
        auto r = scenario::run(dir.path(), script + "dump d.txt\n",
                               {"--program-dir", dir.path(), "--mci-log", dir.file("mci.log")},
                               scenario::isolatedEnvironment(dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        EXPECT_EQ(r.errorOutput, "");
        return scenario::readDump(dir.file("d.txt"));
    }
    std::vector<LogLine> log() { return readLog(dir.file("mci.log")); }
    // The fade's first tick sends the full level, the second the first step down.
    double fadeBegin(const std::vector<LogLine>& l, double played) {
        for (auto [t, v] : volumes(l, "AUBIO_I", played, 1e9))
            if (v < 1000) return t - 0.025;
        return -1;
    }
};

// A file dialog held open across the playing song's end trigger: the fade
// and the next song come on time, not when the dialog closes.
TEST_F(CrossFade, AnOpenFileDialogDoesNotHoldUpTheFade) {
    const std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "a60.mp3", 60, 440, 0.3, 8000, 1));
    fs::copy_file(sources->file("b20.mp3"), music + "b20.mp3");
    auto d = run(scenario::loadIntoPlaylist(music + "a60.mp3") +
                 "key ctrl+p\nwait 2\ndialog hold 70 cancel\nclick 903 83\nwait 75\n");
    auto l = log();
    const double played = firstTime(l, "play AUBIO_I from 0");
    ASSERT_GT(played, 0);
    // The dialog closes about 70 s after the click; the 60 s song's fade
    // begins 0.96 s before its end trigger at 57.9 s.
    EXPECT_NEAR(fadeBegin(l, played) - played, 56.94, 0.1);
    const double next = firstTime(l, "play AUBIO_II", played);
    ASSERT_GT(next, 0);
    EXPECT_LT(next - played, 60.0);
    EXPECT_EQ(d["noticeId"], "73") << "the dialog answered at last";
}

// Without analysis a song's end trigger lies just before its end, so the
// song runs out while it fades.
TEST_F(CrossFade, WithoutPauseTheNextSongStartsHalfASecondIntoTheFade) {
    auto d = run(loadPlaylist() + "key ctrl+p\nwait 30\n");
    auto l = log();
    double played = firstTime(l, "play AUBIO_I from 0");
    ASSERT_GT(played, 0);
    double begin = fadeBegin(l, played);
    EXPECT_NEAR(begin - played, 18.24, 0.1);
    // Half a second, or the next tick of the middle phase.
    double next = firstTime(l, "play AUBIO_II", played);
    EXPECT_GE(next - begin, 0.52);
    EXPECT_LE(next - begin, 0.62);
    double closed = firstTime(l, "close AUBIO_I", played);
    EXPECT_NEAR(closed - played, 20.0, 0.2);

    auto out = volumes(l, "AUBIO_I", begin, closed);
    ASSERT_GT(out.size(), 20u);
    // The first phase: five thousandths a tick from full level, to 0.9.
    for (size_t k = 0; k <= 20; ++k)
        EXPECT_NEAR(out[k].second, 1000 - 5 * int(k), 1) << k;
    for (size_t i = 1; i < out.size(); ++i)
        EXPECT_LE(out[i].second, out[i - 1].second) << out[i].first;

    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["currentChannel"], "1");
    EXPECT_EQ(d["channelOpen"], "0,1");
    EXPECT_EQ(d["playerRunning"], "1");
    EXPECT_EQ(d["fadesDone"], "1");
    EXPECT_EQ(d["fadeFactor"], "1");
    EXPECT_EQ(d["nextStarted"], "1");
}

TEST_F(CrossFade, APauseOfThreeSecondsDelaysTheNextSongByTheBlendSteps) {
    for (int blend : {1, 3}) {
        SCOPED_TRACE(blend);
        fs::remove_all(dir.file("m"));
        fs::remove(dir.file("mci.log"));
        // 8 clicks walk the pause 0, 1/3, 2/3 ... 2, 7/3, 3.
        auto d = run(loadPlaylist() + settings(blend, 8) + "key ctrl+p\nwait 32\n");
        ASSERT_EQ(d["pauseSeconds"], "3");
        auto l = log();
        double played = firstTime(l, "play AUBIO_I from 0");
        double begin = fadeBegin(l, played);
        EXPECT_NEAR(begin - played, 19.2 - 0.3 - 0.66 * blend, 0.1);
        EXPECT_NEAR(firstTime(l, "play AUBIO_II", played) - begin, 3.4 + 0.13 * blend, 0.07);
        EXPECT_EQ(d["playPosition"], "2");
        EXPECT_EQ(d["channelOpen"], "0,1");
    }
}

TEST_F(CrossFade, ALongPauseCountsDownAndItsStopBoxStopsThePlayer) {
    // 20 clicks: 3 s after 8, then a second each.
    std::string script = loadPlaylist() + settings(1, 20) + "key ctrl+p\n";
    // The fade begins at 18.24 s, the song is over at 20 s, and the pause
    // lasts at least 13 s from the beginning of the fade.
    script += "wait 22\nscreenshot pause.png\ndump during.txt\nclick 440 300\nwait 3\n";
    auto d = run(script);
    auto during = scenario::readDump(dir.file("during.txt"));
    double pause = std::stod(during["pauseSeconds"]);
    EXPECT_GE(pause, 13); // pauses above 10 s vary: 13 to 20 s
    EXPECT_LE(pause, 20);
    EXPECT_EQ(during["channelOpen"], "0,0");
    EXPECT_EQ(during["playPosition"], "1");

    png::Image shot;
    ASSERT_TRUE(png::read(dir.file("pause.png"), shot));
    auto rgb = [&](int x, int y) {
        const uint8_t* p = &shot.rgb[size_t(y * shot.width + x) * 3];
        return std::array<uint8_t, 3>{p[0], p[1], p[2]};
    };
    // The STOPP box is one filled colour apart from its two lines of text.
    int same = 0, all = 0;
    for (int y = 251; y <= 316; ++y)
        for (int x = 342; x <= 543; ++x, ++all)
            same += rgb(x, y) == rgb(345, 255);
    EXPECT_GT(same, all * 9 / 10);
    EXPECT_NE(rgb(345, 255), rgb(335, 245)); // and it stands out of the countdown box

    auto l = log();
    EXPECT_LT(firstTime(l, "play AUBIO_II"), 0);
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["channelOpen"], "0,0");
    EXPECT_EQ(d["playPosition"], "2");
}

TEST_F(CrossFade, TheLastSongFadesAtItsTriggerAndNothingFollows) {
    auto d = run(loadPlaylist({"a20.mp3"}) + "key ctrl+p\nwait 30\n");
    auto l = log();
    double played = firstTime(l, "play AUBIO_I from 0");
    EXPECT_NEAR(fadeBegin(l, played) - played, 18.24, 0.1);
    EXPECT_GT(firstTime(l, "close AUBIO_I", played), played + 19);
    EXPECT_LT(firstTime(l, "open", played + 1), 0);
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["channelOpen"], "0,0");
    EXPECT_EQ(d["playPosition"], "1");
}

TEST_F(CrossFade, WithAutoPlayOffTheSongStopsBeforeItsTriggerAndTheListMovesOn) {
    auto d = run(loadPlaylist() + "wait 0.5\nclick 458 28\nwait 0.5\nkey ctrl+p\nwait 30\n");
    auto l = log();
    double played = firstTime(l, "play AUBIO_I from 0");
    EXPECT_NEAR(fadeBegin(l, played) - played, 19.2 - 0.96, 0.1);
    EXPECT_GT(firstTime(l, "close AUBIO_I", played), played + 19);
    EXPECT_LT(firstTime(l, "play AUBIO_II"), 0);
    EXPECT_EQ(d["autoPlay"], "0");
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["channelOpen"], "0,0");
    EXPECT_EQ(d["playPosition"], "2");
}

TEST_F(CrossFade, BlendeFadesTheWholeWayWhileTheNextSongPlays) {
    auto d = run(loadPlaylist() + "key ctrl+p\nwait 5\nkey n ctrl shift\nwait 12\n");
    auto l = log();
    double played = firstTime(l, "play AUBIO_I from 0");
    double begin = fadeBegin(l, played);
    EXPECT_NEAR(begin - played, 5.0, 0.1);
    double next = firstTime(l, "play AUBIO_II", played);
    EXPECT_GE(next - begin, 0.52);
    EXPECT_LE(next - begin, 0.62);
    double closed = firstTime(l, "close AUBIO_I", played);
    EXPECT_GT(closed, next + 5);
    auto out = volumes(l, "AUBIO_I", begin, closed);
    for (size_t i = 1; i < out.size(); ++i)
        EXPECT_LE(out[i].second, out[i - 1].second) << out[i].first;
    ASSERT_FALSE(out.empty());
    EXPECT_GE(out.back().second, 1); // the last step is still sent, never 0
    EXPECT_LE(out.back().second, 5);
    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["currentChannel"], "1");
    EXPECT_EQ(d["channelOpen"], "0,1");
}

} // namespace

namespace {

// The window's close button during a fade opens the end box at once; the fade
// runs on under it, and its upper half ends the session afterwards.
TEST(CrossFadeKeys, TheCloseButtonDuringAFadeOpensTheEndBoxAtOnce) {
    TempDir dir;
    const std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    ASSERT_TRUE(fixtures::makeSineMp3(music + "a.mp3", 30, 440, 0.3, 8000, 1));
    fs::copy_file(music + "a.mp3", music + "b.mp3");
    auto r =
        scenario::run(dir.path(),
                      scenario::loadIntoPlaylist(music + "a.mp3") +
                          "key ctrl+p\nwait 5\nkey n ctrl shift\nwait 0.2\nkey close\n"
                          "wait 2\ndump fading.txt\nwait 7.5\ndump box.txt\n"
                          "click 880 60\nwait 1\ndump after.txt\n",
                      {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
    EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
    auto fading = scenario::readDump(dir.file("fading.txt"));
    EXPECT_EQ(fading["endBoxShown"], "1");
    EXPECT_EQ(fading["fadesDone"], "0");
    auto box = scenario::readDump(dir.file("box.txt"));
    EXPECT_EQ(box["endBoxShown"], "1");
    EXPECT_EQ(box["fadesDone"], "1");
    EXPECT_EQ(box["playPosition"], "2");
    EXPECT_TRUE(scenario::readDump(dir.file("after.txt")).empty());
}

} // namespace

namespace {

// Analysed songs: the real lame decodes them, so the triggers come from the music.
class AnalysedCrossFade : public ::testing::Test {
  protected:
    TempDir dir;
    std::string music;

    void SetUp() override {
        music = dir.file("m") + "/";
        fs::create_directory(music);
        fixtures::linkDecoder(dir.path());
    }
    // A tone that is loud for `loudSeconds` and silent after that.
    // At 44.1 kHz, so that the envelope's blocks are 50 ms long.
    void song(const std::string& name, double seconds, double loudSeconds, double freq) {
        auto s = fixtures::sineSamples(seconds, freq, 0.4, 44100, 1);
        for (size_t i = size_t(loudSeconds * 44100); i < s.size(); ++i)
            s[i] = 0;
        ASSERT_TRUE(fixtures::writeWav(dir.file("w.wav"), s, 44100, 1));
        ASSERT_TRUE(fixtures::encodeMp3(dir.file("w.wav"), music + name));
    }
    std::map<std::string, std::string> run(const std::string& script) {
        auto r = scenario::run(dir.path(), script + "dump d.txt\n",
                               {"--program-dir", dir.path(), "--mci-log", dir.file("mci.log")},
                               scenario::isolatedEnvironment(dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        return scenario::readDump(dir.file("d.txt"));
    }
};

// A song loud to its end fades 0.3 s (and the next song's short lead-in)
// before its trigger near 0.996 with BLEND 0, which leaves a moment inside
// the last 800 ms before any fade.
TEST_F(AnalysedCrossFade, BlendeInTheLastMomentsStartsTheNextSongWithoutAFade) {
    song("a.mp3", 40, 40, 440);
    song("b.mp3", 40, 40, 660);
    auto d = run(scenario::loadIntoPlaylist(music + "a.mp3") +
                 "wait 0.5\nclick 528 28\nwait 0.35\nclick 528 28\nwait 0.35\nclick 528 28\n"
                 "wait 0.5\nkey ctrl+p\nwait 39.3\ndump late.txt\nkey n ctrl shift\nwait 2\n");
    auto late = scenario::readDump(dir.file("late.txt"));
    ASSERT_EQ(late["blendSetting"], "0");
    ASSERT_GT(std::stod(late["trigger.1"].substr(late["trigger.1"].find('|') + 1)), 0.99);
    auto l = readLog(dir.file("mci.log"));
    double pressed = std::stod(late["clock"]);
    ASSERT_TRUE(volumes(l, "AUBIO_I", pressed - 0.2, pressed).empty()) << "a fade has begun";
    double next = firstTime(l, "play AUBIO_II", pressed);
    EXPECT_GT(next, pressed);
    EXPECT_LT(next - pressed, 0.2);
    EXPECT_TRUE(volumes(l, "AUBIO_I", pressed, 1e9).empty()) << "no fade";
    EXPECT_LT(firstTime(l, "close AUBIO_I", pressed) - next, 0.2);
    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["currentChannel"], "1");
    EXPECT_EQ(d["channelOpen"], "0,1");
}

// A long song whose music ends after 3 s gets its end trigger early; it is
// never faded there, and when it has run out the next song follows.
TEST_F(AnalysedCrossFade, AnEarlyEndTriggerIsNotFadedAndTheNextSongFollowsTheEnd) {
    song("a.mp3", 25, 3, 440);
    song("b.mp3", 25, 25, 660);
    // The compressor off: its ride on the loud start is no fade.
    auto d = run(scenario::loadIntoPlaylist(music + "a.mp3") +
                 "wait 0.5\nclick 260 490\nwait 0.5\nkey ctrl+p\nwait 15\ndump mid.txt\nwait 15\n");
    ASSERT_EQ(d["compressorOn"], "0");
    auto mid = scenario::readDump(dir.file("mid.txt"));
    const std::string t = mid["trigger.1"];
    ASSERT_LT(std::stod(t.substr(t.find('|') + 1)) * 25000, 5000);
    auto l = readLog(dir.file("mci.log"));
    double played = firstTime(l, "play AUBIO_I from 0");
    EXPECT_NEAR(firstTime(l, "play AUBIO_II", played) - played, 25.0, 0.2);
    for (auto [time, v] : volumes(l, "AUBIO_I", played + 1, 1e9))
        EXPECT_GE(v, 1000) << time;
    EXPECT_EQ(d["playPosition"], "2");
    EXPECT_EQ(d["channelOpen"], "0,1");
}

} // namespace

namespace {

// BLENDE at the very start of a song is refused with the crossed circle,
// which stands for a moment and is then drawn over again.
TEST(CrossFadeDecision, BlendeInTheFirstMomentsShowsTheCrossedCircleAndNothingElse) {
    double now = 50.0;
    int circleColour = -1;
    timing::install({[&] { return now; },
                     [&](double ms) {
                         if (circleColour < 0) circleColour = screen::pixel(350, 330);
                         now += ms / 1000.0;
                     }});
    screen::open(screen::kWidth, screen::kHeight);
    tracks = TrackLists{};
    clearLists();
    for (const char* name : {"a.mp3", "b.mp3"}) {
        auto& e = tracks.playlist[size_t(++tracks.playlistCount)];
        e = PlaylistEntry{padName(name), int32_t(std::string(name).size()), 200000};
        e.rightTrigger = 0.99;
    }
    tracks.playPosition = tracks.playlistTop = 1;
    transport = Transport{};
    transport.channelOpen[0] = 1;
    transport.playerRunning = 1;
    transport.channelSyncTime[0] = now; // position 50 ms, from the last reading
    transport.channelSyncPos[0] = 50;
    transport.blendNow = 1;
    superviseTransport();
    timing::install({});

    EXPECT_EQ(circleColour, 4);
    EXPECT_NE(screen::pixel(350, 330), 4);
    EXPECT_EQ(transport.blendNow, 0);
    EXPECT_EQ(tracks.playPosition, 1);
    EXPECT_EQ(transport.channelOpen[1], 0);
    EXPECT_EQ(crossFade.fading, false);
}

} // namespace

namespace {

// The main loop in-process on a headless backend with the null sink, over a
// playlist set up directly.
class CrossFadeLoop : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        ASSERT_TRUE(fixtures::makeSineMp3(dir.file("a.mp3"), 20, 440, 0.3, 8000, 1));
        fs::copy_file(dir.file("a.mp3"), dir.file("c.mp3"));
        std::string error;
        auto script = headless::parseScript("wait 10000\n", error);
        ASSERT_TRUE(script);
        backend::install(headless::make({}, std::move(*script)));
        ASSERT_TRUE(audio::start(audio::SinkKind::Null));
        ASSERT_TRUE(mci::openLog(dir.file("mci.log")));
        screen::open(screen::kWidth, screen::kHeight);
        clearLists();
        decoder.lameOn = 0;
        tracks.folderTable[1] = dir.path() + "/";
        tracks.folderCount = 1;
    }
    void TearDown() override {
        mci::closeLog();
        audio::shutdown();
        backend::install(nullptr);
    }
    void songs(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            auto& e = tracks.playlist[size_t(++tracks.playlistCount)];
            e = PlaylistEntry{padName(name), int32_t(std::string(name).size()), 20000};
            e.folderIndex = 1;
        }
        tracks.playPosition = tracks.playlistTop = 1;
    }
    void playFor(double seconds, const std::function<void(double)>& eachPass = {}) {
        play();
        const double start = timing::now();
        while (timing::now() < start + seconds) {
            runPass();
            if (eachPass) eachPass(timing::now() - start);
        }
        mci::closeLog();
    }
};

// Shift counts as it was when the key was pressed: a quick Ctrl+Shift+S whose
// Shift is up before the loop handles the key still moves on to the next song.
TEST_F(CrossFadeLoop, AQuickCtrlShiftSMovesOnLikeASlowOne) {
    songs({"a.mp3", "c.mp3"});
    playFor(40, [&](double t) {
        if (t > 5 && t < 5.01) {
            input::state.keyDown[input::kLeftShift] = true;
            input::pushKey(std::string(1, input::kCtrlS));
            input::state.keyDown[input::kLeftShift] = false;
        }
    });
    auto log = readLog(dir.file("mci.log"));
    EXPECT_EQ(tracks.playPosition, 2) << "handled as Ctrl+S, it would stay on the song";
    EXPECT_LT(firstTime(log, "close AUBIO_I", 1), 20) << "the stop fade ended";
    EXPECT_LT(firstTime(log, "play AUBIO_II from 0"), 0) << "a stop does not start the next song";
}

// A file cut short after its import ends early; the next song follows as at
// a song's end, and the message area names the song.
TEST_F(CrossFadeLoop, ASongCutShortSinceItsImportHandsOverWhereItEnds) {
    ASSERT_TRUE(fixtures::makeSineMp3(dir.file("short.mp3"), 3, 440, 0.3, 8000, 1));
    songs({"short.mp3", "c.mp3"}); // the table still says 20 s for both
    int noticeSeen = 0;
    playFor(30, [&](double) {
        if (notices.noticeId == notice::kCutShort) noticeSeen = 1;
    });
    EXPECT_EQ(tracks.playPosition, 2);
    EXPECT_EQ(noticeSeen, 1);
    EXPECT_EQ(notices.songName, "short.mp3");
    auto log = readLog(dir.file("mci.log"));
    const double playedShort = firstTime(log, "play AUBIO_I from 0");
    const double playedNext = firstTime(log, "play AUBIO_II from 0");
    ASSERT_GT(playedShort, 0);
    ASSERT_GT(playedNext, 0) << "the player waited for a position that never comes";
    // Its stream stops at 3 s; a reading at most 2 s later sees it stand still.
    EXPECT_GT(playedNext - playedShort, 3.0);
    EXPECT_LT(playedNext - playedShort, 3.0 + 2.5);
    EXPECT_GT(firstTime(log, "close AUBIO_II", playedNext), playedNext + 15)
        << "the next song plays on";
}

// The music folder away for 6 s across a song change: the player waits on the
// song it could not open and plays every song once, in order.
TEST_F(CrossFadeLoop, AFolderAwayForAMomentDelaysTheListButSkipsNothing) {
    const std::string away = dir.path() + "-away";
    for (const char* name : {"b.mp3", "d.mp3"})
        fs::copy_file(dir.file("a.mp3"), dir.file(name));
    songs({"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
    std::map<int, int32_t> furthest; // playlist slot -> furthest position reached
    bool waitedWithNotice = false;
    playFor(110, [&](double t) {
        if (t > 15 && t < 21 && fs::exists(dir.path())) fs::rename(dir.path(), away);
        if (t >= 21 && fs::exists(away)) fs::rename(away, dir.path());
        if (notices.noticeId == notice::kFolderAway) waitedWithNotice = true;
        int32_t& f = furthest[tracks.playPosition];
        f = std::max(f, tracks.playlist[size_t(tracks.playPosition)].positionMs);
    });
    EXPECT_TRUE(waitedWithNotice);
    EXPECT_EQ(tracks.playPosition, 4);
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_GT(furthest[slot], 15000) << "song " << slot << " did not play";
    auto log = readLog(dir.file("mci.log"));
    std::vector<std::string> opened;
    for (const auto& l : log)
        if (l.command.rfind("open ", 0) == 0)
            opened.push_back(fs::path(l.command.substr(6, l.command.rfind('"') - 6)).filename().string());
    // b is tried until its folder is back, every 5 s; no later song is tried meanwhile.
    ASSERT_GE(opened.size(), 5u);
    EXPECT_EQ(opened.front(), "a.mp3");
    EXPECT_EQ(opened.back(), "d.mp3");
    const auto firstC = std::find(opened.begin(), opened.end(), "c.mp3");
    EXPECT_TRUE(
        std::all_of(opened.begin() + 1, firstC, [](const std::string& n) { return n == "b.mp3"; }));
}

// A song gone from its folder since the import (an unplugged drive, say)
// cannot be opened; the player moves on instead of staying silent on it.
TEST_F(CrossFadeLoop, ASongThatCannotBeOpenedIsSkipped) {
    songs({"a.mp3", "b.mp3", "c.mp3"});
    playFor(30);
    EXPECT_EQ(tracks.playPosition, 3);
    EXPECT_EQ(transport.channelOpen[transport.currentChannel & 1], 1);
    auto log = readLog(dir.file("mci.log"));
    const double openedB = firstTime(log, "open \"" + dir.file("b.mp3") + "\"");
    const double openedC = firstTime(log, "open \"" + dir.file("c.mp3") + "\"");
    ASSERT_GT(openedB, 0);
    // b was due inside a's fade; c follows as soon as that fade is over.
    EXPECT_GT(openedC, openedB);
    EXPECT_LT(openedC - openedB, 2.5);
    const double closedA = firstTime(log, "close AUBIO_I", openedB);
    EXPECT_LT(openedC - closedA, 0.3);
}

// Settings from outside the buttons' range (a damaged session file) keep
// the fade finite and the pause within a minute and a half.
TEST_F(CrossFadeLoop, SettingsOutOfRangeNeitherStallNorEndTheFade) {
    songs({"a.mp3", "c.mp3"});
    transport.blendSetting = 9;
    transport.pauseSeconds = 1e9;
    playFor(120);
    EXPECT_EQ(tracks.playPosition, 2);
    auto log = readLog(dir.file("mci.log"));
    const double playedA = firstTime(log, "play AUBIO_I from 0");
    const double playedC = firstTime(log, "play AUBIO_II from 0");
    ASSERT_GT(playedA, 0);
    // A 20 s song without analysis ends 0.8 s early; BLEND 3 begins its fade
    // 0.3 s + 3 x 0.66 s before that, and the next song follows 3 x 0.13 s +
    // 0.4 s after the varied pause of 58 to 87 s that a 60 s setting draws.
    const double fadeBegins = (20000 - 800 - 300 - 660 * 3) / 1000.0;
    const double earliest = fadeBegins + 3 * 0.13 + 0.4 + 58;
    EXPECT_GE(playedC - playedA, earliest);
    EXPECT_LT(playedC - playedA, earliest + 29 + 1); // the longest pause, and a tick or two
    EXPECT_GE(transport.pauseSeconds, 58);
    EXPECT_LE(transport.pauseSeconds, 88);
}

} // namespace
