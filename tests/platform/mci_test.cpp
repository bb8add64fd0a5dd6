#include <gtest/gtest.h>

#include "platform/audio_engine.h"
#include "platform/clock.h"
#include "platform/mci.h"
#include "tests/support/audio_fixtures.h"

#include <filesystem>
#include <fstream>

namespace {

using fixtures::TempDir;

class Mci : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        ASSERT_TRUE(fixtures::makeSineMp3(dir->file("two.mp3"), 2.0, 440, 0.5));
        ASSERT_TRUE(fixtures::makeSineMp3(dir->file("one.mp3"), 1.0, 440, 0.5));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        virtualNow = 12.3456;
        timing::Source clock;
        clock.now = [] { return virtualNow; };
        clock.sleep = [](double ms) { virtualNow += ms / 1000; };
        timing::install(clock);
        ASSERT_TRUE(audio::start(audio::SinkKind::Null));
        logDir = std::make_unique<TempDir>();
        ASSERT_TRUE(mci::openLog(logDir->file("mci.log")));
    }
    void TearDown() override {
        mci::closeLog();
        audio::shutdown();
        timing::install({});
    }

    // The commands logged so far, without their time stamps.
    std::vector<std::string> sent() {
        std::ifstream in(logDir->file("mci.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }
    static std::string path(const std::string& name) { return dir->file(name); }
    static int send(const std::string& command, std::string* reply = nullptr) {
        return mci::mciSendString(command, reply);
    }

    static inline TempDir* dir = nullptr;
    static inline double virtualNow = 0;
    std::unique_ptr<TempDir> logDir;
};

using Lines = std::vector<std::string>;

TEST_F(Mci, VerbsAreTrimmedLowerCasedAndTheAliasUpperCasedInPlace) {
    std::string alias = "aubio_i";
    EXPECT_EQ(mciCommand(" Play ", alias), 0);
    EXPECT_EQ(alias, "AUBIO_I");
    std::string gong = "Gong3";
    mciSeek(gong, 12500);
    mciSeek(gong, -40);
    EXPECT_EQ(sent(),
              (Lines{"play AUBIO_I from 0", "play GONG3 from 12500", "play GONG3 from -40"}));
    std::ifstream in(logDir->file("mci.log"));
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "12.346 play AUBIO_I from 0") << "time stamped with the program clock";
}

TEST_F(Mci, EveryVerbAndSynonymSendsItsCommand) {
    struct Row {
        const char* verb;
        const char* command;
    };
    const Row rows[] = {
        {"play", "play X from 0"},
        {"on", "play X from 0"},
        {"an", "play X from 0"},
        {"seek", nullptr}, // a seek needs its target: mciSeek
        {"close", "close X"},
        {"off", "close X"},
        {"aus", "close X"},
        {"stop", "stop X"},
        {"length", "status X length"},
        {"len", "status X length"},
        {"position", "status X position"},
        {"pos", "status X position"},
    };
    Lines expected;
    for (const Row& row : rows) {
        std::string alias = "x";
        mciCommand(row.verb, alias);
        if (row.command) expected.push_back(row.command);
    }
    EXPECT_EQ(sent(), expected);
}

TEST_F(Mci, UnknownVerbsSendNothing) {
    std::string alias = "gong0";
    for (const char* verb : {"pause", "", "  ", "resume", "playx", "s top"})
        EXPECT_EQ(mciCommand(verb, alias), 0) << verb;
    EXPECT_EQ(alias, "GONG0");
    EXPECT_TRUE(sent().empty());
}

TEST_F(Mci, QueriesReturnTheReplyAsANumber) {
    std::string alias = "aubio_iii";
    EXPECT_EQ(mciCommand("len", alias), 0) << "not open";
    EXPECT_EQ(mciCommand("pos", alias), 0);
    mciOpen(path("two.mp3"), alias);
    EXPECT_EQ(mciCommand("length", alias), 2000);
    mciCommand("play", alias);
    audio::advanceTo(virtualNow + 0.25);
    EXPECT_EQ(mciCommand("position", alias), 250);
}

TEST_F(Mci, ReplyNumbersTakeTheNumericPrefixAndRoundHalvesToEven) {
    EXPECT_EQ(mci::replyNumber("2000"), 2000);
    EXPECT_EQ(mci::replyNumber("   42abc"), 42);
    EXPECT_EQ(mci::replyNumber(""), 0);
    EXPECT_EQ(mci::replyNumber("abc"), 0);
    EXPECT_EQ(mci::replyNumber("2.5"), 2);
    EXPECT_EQ(mci::replyNumber("3.5"), 4);
    EXPECT_EQ(mci::replyNumber("-1.5"), -2);
    EXPECT_EQ(mci::replyNumber("7.49 ms"), 7);
    EXPECT_EQ(mci::replyNumber(".5"), 0);
    EXPECT_EQ(mci::replyNumber("-"), 0);
}

TEST_F(Mci, OpenClosesWhatTheAliasHeldFirst) {
    std::string alias = "aubio_iii";
    EXPECT_EQ(mciOpen(path("two.mp3"), alias), 0);
    EXPECT_EQ(alias, "AUBIO_III");
    EXPECT_EQ(mciOpen(path("one.mp3"), alias), 0);
    std::string q = "\"";
    EXPECT_EQ(sent(),
              (Lines{"close AUBIO_III", "open " + q + path("two.mp3") + q + " alias AUBIO_III",
                     "set AUBIO_III time format milliseconds", "close AUBIO_III",
                     "open " + q + path("one.mp3") + q + " alias AUBIO_III",
                     "set AUBIO_III time format milliseconds"}));
    EXPECT_EQ(mciCommand("len", alias), 1000);
    EXPECT_EQ(audio::openStreamCount(), 1);
    EXPECT_NE(mciOpen(path("missing.mp3"), alias), 0);
    EXPECT_EQ(audio::openStreamCount(), 0) << "a failed open leaves the alias closed";
    EXPECT_EQ(mciCommand("len", alias), 0);
}

TEST_F(Mci, VolumeTextIsTheFloorOfTheValue) {
    EXPECT_EQ(volumeCommand("AUBIO_I", 499.9), "setaudio AUBIO_I volume to 499");
    EXPECT_EQ(volumeCommand("AUBIO_I", 0.4), "setaudio AUBIO_I volume to 0");
    EXPECT_EQ(volumeCommand("Gong2", 1000), "setaudio GONG2 volume to 1000");
    EXPECT_EQ(volumeCommand("AUBIO_II", -0.5), "setaudio AUBIO_II volume to 0")
        << "MCI would refuse a negative volume and keep the old one";
    mciVolume("aubio_i", 250.7);
    EXPECT_EQ(sent(), Lines{"setaudio AUBIO_I volume to 250"});
}

TEST_F(Mci, CommandStringsDriveTheEngine) {
    std::string reply = "stale";
    EXPECT_EQ(send("open \"" + path("two.mp3") + "\" alias MiXeD"), 0);
    EXPECT_EQ(send("set mixed time format milliseconds"), 0);
    EXPECT_EQ(send("STATUS mixed LENGTH", &reply), 0);
    EXPECT_EQ(reply, "2000");
    EXPECT_EQ(send("play MIXED from 500"), 0);
    EXPECT_EQ(send("setaudio mixed volume to 1000"), 0);
    EXPECT_EQ(send("setaudio mixed volume to 0"), 0);
    audio::advanceTo(virtualNow + 0.5);
    EXPECT_EQ(send("status mixed mode", &reply), 0);
    EXPECT_EQ(reply, "playing");
    EXPECT_EQ(send("stop mixed"), 0);
    EXPECT_EQ(send("status mixed mode", &reply), 0);
    EXPECT_EQ(reply, "stopped");
    audio::advanceTo(virtualNow + 1.0);
    EXPECT_EQ(send("status mixed position", &reply), 0);
    EXPECT_EQ(reply, "1000");
    EXPECT_EQ(send("play mixed"), 0) << "from the current position";
    audio::advanceTo(virtualNow + 1.25);
    EXPECT_EQ(send("status mixed position", &reply), 0);
    EXPECT_EQ(reply, "1250");
    audio::advanceTo(virtualNow + 3.0);
    EXPECT_EQ(send("status mixed mode", &reply), 0);
    EXPECT_EQ(reply, "stopped") << "a stream that has ended";
    EXPECT_EQ(send("status mixed position", &reply), 0);
    EXPECT_EQ(reply, "2000");
    EXPECT_NE(send("open \"" + path("one.mp3") + "\" alias mixed"), 0) << "alias in use";
    EXPECT_EQ(send("status mixed length", &reply), 0);
    EXPECT_EQ(reply, "2000");
    EXPECT_EQ(send("close mixed"), 0);
    EXPECT_NE(send("status mixed position", &reply), 0);
    EXPECT_EQ(reply, "") << "no reply on a closed alias";
    EXPECT_NE(send("close mixed"), 0);
}

TEST_F(Mci, QuotesInsidePathsBelongToThePath) {
    std::string odd = logDir->file("a \"quoted\" name $x ä.mp3");
    std::filesystem::copy_file(path("one.mp3"), odd);
    EXPECT_EQ(send("open \"" + odd + "\" alias Q"), 0);
    std::string reply;
    send("status q length", &reply);
    EXPECT_EQ(reply, "1000");
}

TEST_F(Mci, MalformedCommandsFailAndChangeNothing) {
    std::string open = "open \"" + path("two.mp3") + "\"";
    ASSERT_EQ(send(open + " alias A"), 0);
    ASSERT_EQ(send("play A from 300"), 0);
    const char* bad[] = {
        "",
        "play",
        "play A from",
        "play A from x",
        "play A from 12x",
        "play A from 2147483648",
        "play A from 99999999999",
        "play A from 2001",
        "play A from -1",
        "play A to 5",
        "play A from 5 to 9",
        "play B from 0",
        "setaudio A volume to 1001",
        "setaudio A volume to -1",
        "setaudio A volume to 5.5",
        "setaudio A volume 5",
        "setaudio A volume to",
        "status A",
        "status A mood",
        "status A mode now",
        "status A length now",
        "stop A now",
        "stop",
        "close",
        "pause A",
        "resume A",
        "seek A to start",
        "set A time format frames",
        "set A",
        "open \"/tmp/x.mp3 alias B",
        "open \"/tmp/x.mp3\"",
        "open \"/tmp/x.mp3\" alias",
        "open /tmp/x.mp3 alias B",
        "open  alias B",
        "play A from 1e3",
    };
    for (const char* command : bad)
        EXPECT_NE(send(command), 0) << command;
    EXPECT_NE(send(open + " alias B extra"), 0);
    EXPECT_NE(send(open + " alias"), 0);
    EXPECT_NE(send(open + " alis B"), 0);
    EXPECT_EQ(audio::openStreamCount(), 1);
    EXPECT_TRUE(audio::isPlaying("A"));
    std::string reply;
    EXPECT_EQ(send("status A position", &reply), 0);
    EXPECT_EQ(reply, "300");
    EXPECT_EQ(sent().size(), std::size(bad) + 6) << "every command string is logged";
}

} // namespace
