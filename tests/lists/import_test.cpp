#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;

// Clicks on the stack panel's LOAD buttons.
constexpr const char* kClickLoadFolder = "click 956 83\n";
constexpr const char* kClickLoadOne = "click 903 83\n";

// MP3s are made once for the whole suite and copied under the names a test needs.
class Import : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    static std::string source(const char* name) { return sources->file(name); }

    static void SetUpTestSuite() {
        sources = new TempDir;
        // Low rate and mono keep the encoding quick; lengths are exact either way.
        ASSERT_TRUE(fixtures::makeSineMp3(source("ok.mp3"), 20.5, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(source("short.mp3"), 19.8, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(source("edge.mp3"), 19.95, 440, 0.3, 8000, 1));
        ASSERT_TRUE(fixtures::makeSineMp3(source("long.mp3"), 306.5, 440, 0.3, 8000, 1));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }

    static void copy(const std::string& from, const std::string& to) {
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    }
    static void write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::map<std::string, std::string> runAndDump(const TempDir& dir,
                                                         const std::string& script) {
        auto r = scenario::run(dir.path(), script + "wait 1\ndump d.txt\n",
                               {"--program-dir", dir.path()});
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        EXPECT_EQ(r.errorOutput, "");
        return scenario::readDump(dir.file("d.txt"));
    }
    static std::string name(const std::string& stackLine) {
        return stackLine.substr(0, stackLine.find('|'));
    }
};

TEST_F(Import, FolderWithBadFilesAdmitsExactlyTheAdmissibleOnesUpTo66) {
    TempDir dir;
    std::string music = dir.file("Musik $(x) ä") + "/";
    fs::create_directory(music);
    write(music + "0 empty.mp3", "");
    write(music + "0 text.mp3", "this is not an mp3\n");
    {
        std::ifstream in(source("ok.mp3"), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), {});
        write(music + "0 truncated.mp3", data.substr(0, data.size() / 10));
    }
    copy(source("ok.mp3"), music + "0 backup.mp3.bak");
    fs::create_directory(music + "0 folder.mp3");
    fs::create_symlink(source("ok.mp3"), music + "0 link.mp3");
    copy(source("ok.mp3"), music + "0 locked.mp3");
    chmod((music + "0 locked.mp3").c_str(), 0);
    bool rootReads = geteuid() == 0;

    std::vector<std::string> admissible = {"0 mit Leerzeichen.mp3", "0 \"quote\" 'x'.mp3",
                                           "0 $(touch PWNED).mp3", "0 Ärger Größe.mp3",
                                           "0 UPPER.MP3"};
    admissible.push_back("0" + std::string(250, 'x') + ".mp3"); // 255 bytes, the longest name
    for (int i = 1; i <= 80; ++i) {
        char n[32];
        std::snprintf(n, sizeof n, "a%03d.mp3", i);
        admissible.push_back(n);
    }
    for (const auto& n : admissible)
        copy(source("ok.mp3"), music + n);
    admissible.push_back("0 link.mp3");
    if (rootReads) admissible.push_back("0 locked.mp3");
    std::sort(admissible.begin(), admissible.end(), [](std::string a, std::string b) {
        for (auto* s : {&a, &b})
            for (char& c : *s)
                c = char(std::tolower(static_cast<unsigned char>(c)));
        return a < b;
    });

    auto d =
        runAndDump(dir, "wait 1\ndialog " + music + "a001.mp3\n" + kClickLoadFolder + "wait 2\n");
    ASSERT_EQ(d["stackCount"], "66");
    for (int i = 1; i <= 66; ++i)
        EXPECT_EQ(name(d["stack." + std::to_string(i)]), admissible[size_t(i - 1)]) << i;
    EXPECT_EQ(d["stack.1"].substr(d["stack.1"].find('|')), "|20500|1|0|0");
    EXPECT_EQ(d["folderCount"], "1");
    EXPECT_EQ(d["folder.1"], music);
    EXPECT_EQ(d["noticeId"], "39");
    EXPECT_FALSE(fs::exists(dir.file("PWNED")));
    EXPECT_FALSE(fs::exists(music + "PWNED"));
}

TEST_F(Import, LengthBoundsAndTheRefusalNotice) {
    TempDir dir;
    std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    copy(source("short.mp3"), music + "b short.mp3");
    copy(source("edge.mp3"), music + "a edge.mp3");
    copy(source("long.mp3"), music + "c long.mp3");
    auto d = runAndDump(dir, "wait 1\ndialog " + music + "a edge.mp3\n" + kClickLoadFolder);
    EXPECT_EQ(d["stackCount"], "1");
    EXPECT_EQ(d["stack.1"], "a edge.mp3|19950|1|0|0");
    EXPECT_EQ(d["noticeId"], "42");
    EXPECT_EQ(d["folderCount"], "1");
}

TEST_F(Import, SameFolderTwiceAddsNothingAndLeavesTheFolderTable) {
    TempDir dir;
    std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    copy(source("ok.mp3"), music + "one.mp3");
    copy(source("ok.mp3"), music + "Two.mp3");
    auto d = runAndDump(dir, "wait 1\ndialog " + music + "one.mp3\n" + kClickLoadFolder +
                                 "wait 1\ndump first.txt\ndialog " + music + "Two.mp3\n" +
                                 kClickLoadFolder);
    auto first = scenario::readDump(dir.file("first.txt"));
    EXPECT_EQ(first["stackCount"], "2");
    EXPECT_EQ(first["folderCount"], "1");
    EXPECT_NE(first["noticeId"], "36");
    EXPECT_EQ(d["stackCount"], "2");
    EXPECT_EQ(d["folderCount"], "1");
    EXPECT_EQ(d["noticeId"], "36");
}

TEST_F(Import, CancelledOrMissingDialogAnswerChangesNothing) {
    for (const char* answer : {"dialog cancel\n", ""}) {
        TempDir dir;
        auto d = runAndDump(dir, std::string("wait 1\n") + answer + kClickLoadFolder);
        EXPECT_EQ(d["stackCount"], "0") << answer;
        EXPECT_EQ(d["folderCount"], "0") << answer;
        EXPECT_EQ(d["noticeId"], "74") << answer;
    }
    TempDir dir;
    auto d = runAndDump(dir, std::string("wait 1\ndialog cancel\n") + kClickLoadOne);
    EXPECT_EQ(d["stackCount"], "0");
    EXPECT_EQ(d["noticeId"], "73");
}

// A script's relative answer is taken from the folder the program started in.
TEST_F(Import, ARelativeDialogAnswerNamesAFileOfTheStartFolder) {
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    copy(source("ok.mp3"), dir.file("sub/one.mp3"));
    auto d = runAndDump(dir, std::string("wait 1\ndialog sub/one.mp3\n") + kClickLoadOne);
    EXPECT_EQ(d["stackCount"], "1");
    EXPECT_EQ(d["folder.1"], dir.file("sub") + "/");
}

TEST_F(Import, OneFileIsAddedAndADuplicateOfItIsRefused) {
    TempDir dir;
    std::string a = dir.file("a") + "/", b = dir.file("b") + "/";
    fs::create_directory(a);
    fs::create_directory(b);
    copy(source("ok.mp3"), a + "Lied.mp3");
    copy(source("ok.mp3"), a + "other.mp3");
    copy(source("ok.mp3"), b + "LIED.MP3");
    auto d = runAndDump(dir, "wait 1\ndialog " + a + "Lied.mp3\n" + kClickLoadOne +
                                 "wait 1\ndialog " + b + "LIED.MP3\n" + kClickLoadOne);
    EXPECT_EQ(d["stackCount"], "1");
    EXPECT_EQ(d["stack.1"], "Lied.mp3|20500|1|0|0");
    EXPECT_EQ(d["folderCount"], "1");
    EXPECT_EQ(d["noticeId"], "36");
}

TEST_F(Import, AKeyDuringTheScanStopsItAndKeepsWhatWasAdded) {
    TempDir dir;
    std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    for (int i = 1; i <= 60; ++i)
        copy(source("ok.mp3"), music + "s" + std::to_string(100 + i) + ".mp3");
    // The dialog answers at once; each file then takes a few ms to probe.
    auto d = runAndDump(dir, "wait 1\ndialog " + music + "s101.mp3\n" + kClickLoadFolder +
                                 "wait 0.45\nkey q\nwait 0.3\nscreenshot abort.png\n");
    int count = std::stoi(d["stackCount"]);
    EXPECT_GT(count, 0);
    EXPECT_LT(count, 60);
    EXPECT_EQ(d["folderCount"], "1");
}

// A link to a song is a song to both LOAD buttons; a link to a folder and a
// dangling link are nothing to either.
TEST_F(Import, BothLoadButtonsTakeLinksToSongsOnly) {
    TempDir dir;
    std::string music = dir.file("m") + "/";
    fs::create_directory(music);
    fs::create_directory(dir.file("folder.mp3"));
    copy(source("ok.mp3"), music + "a song.mp3");
    fs::create_symlink(source("ok.mp3"), music + "b link.mp3");
    fs::create_symlink(dir.file("folder.mp3"), music + "x.mp3");
    fs::create_symlink(dir.file("gone.mp3"), music + "y.mp3");
    auto d = runAndDump(dir, "wait 1\ndialog " + music + "a song.mp3\n" + kClickLoadFolder);
    EXPECT_EQ(d["stackCount"], "2");
    EXPECT_EQ(d["stack.1"], "a song.mp3|20500|1|0|0");
    EXPECT_EQ(d["stack.2"], "b link.mp3|20500|1|0|0");
    for (std::string name : {"b link.mp3", "x.mp3", "y.mp3"}) {
        TempDir one;
        auto single = runAndDump(one, "wait 1\ndialog " + music + name + "\n" + kClickLoadOne);
        EXPECT_EQ(single["stackCount"], name == "b link.mp3" ? "1" : "0") << name;
    }
}

// Huge files imported while a gong ducks the playing song, so that the
// compressor sends its volume every 16 ms: from the first probe to the last,
// the volume keeps coming. The song behind its huge tag is admitted, the one
// behind 256 MiB of zeros refused with the length notice.
TEST_F(Import, HugeFilesKeepTheVolumeGoingWhileTheyAreProbed) {
    TempDir dir;
    std::string music = dir.file("m") + "/", big = dir.file("big") + "/";
    fs::create_directory(music);
    fs::create_directory(big);
    // Long enough that the import is not locked near the song's end.
    ASSERT_TRUE(fixtures::makeSineMp3(music + "song.mp3", 60, 440, 0.3, 8000, 1));
    copy(source("ok.mp3"), dir.file("gong.mp3"));
    std::ifstream in(source("ok.mp3"), std::ios::binary);
    auto names = fixtures::writeHugeFiles(big, std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_EQ(names.size(), 3u);

    std::string script = scenario::loadIntoPlaylist(music + "song.mp3") +
                         "wait 0.5\nclick 938 40\nwait 0.5\ndialog gong.mp3\nclick 948 159\n"
                         "wait 0.4\nkey ctrl+p\nwait 1\nclick 683 159\nwait 1\n"
                         "click 675 40\nwait 0.5\ndialog " +
                         big + names[2] + "\n" + kClickLoadFolder + "wait 2\ndump d.txt\n";
    auto r = scenario::run(dir.path(), script, {"--mci-log", dir.file("mci.log")},
                           scenario::isolatedEnvironment(dir.path()));
    ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
    auto d = scenario::readDump(dir.file("d.txt"));
    // The song's own frames before the zeros make a song as well.
    EXPECT_EQ(d["stackCount"], "2");
    EXPECT_EQ(d["stack.1"], names[2] + "|20500|2|0|0");
    EXPECT_EQ(d["stack.2"], names[0] + "|20500|2|0|0");
    EXPECT_EQ(d["noticeId"], "42");

    // From the first probe to the volume after the last, the log is never silent for long.
    int probes = 0;
    double last = -1;
    for (const auto& l : scenario::readMciLog(dir.file("mci.log"))) {
        bool probe = l.command.rfind("open \"" + big, 0) == 0;
        bool volume = l.command.rfind("setaudio AUBIO_I volume", 0) == 0;
        if (last >= 0 && (probe || volume)) {
            EXPECT_LE(l.seconds - last, 0.1) << l.command;
        }
        if (volume && probes == 3) break;
        probes += probe ? 1 : 0;
        if (probe || (volume && last >= 0)) last = l.seconds;
    }
    EXPECT_EQ(probes, 3);
}

} // namespace
