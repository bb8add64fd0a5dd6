// The playlist file: its text read back line by line, loads of real and of
// hostile files in-process, and SAVE LIST / LOAD LIST as a user drives them.
#include "lists/playlist_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "lists/import.h"
#include "lists/name_scramble.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/random.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"
#include "texts/notices.h"

namespace {

namespace fs = std::filesystem;
using fixtures::TempDir;
using Names = std::vector<std::string>;

const std::string kHead = "PLAYLIST/Spielliste Klangkelter\r\nFolders/Ordner\r\n";

Names crLfLines(const std::string& text) {
    Names lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "a line without CR LF";
    return lines;
}
void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
// A list of `songs` (name, folder index) in the folder lines `folders`.
std::string listText(const Names& folders, const std::vector<std::pair<std::string, int>>& songs) {
    std::string t = kHead + std::to_string(folders.size()) + "\r\n";
    for (const auto& f : folders)
        t += f + "\r\n";
    t += "Files/Dateien\r\n" + std::to_string(songs.size()) + "\r\n";
    for (const auto& [name, folder] : songs)
        t += scrambleName(name) + "\r\n" + std::to_string(folder) + "\r\n";
    return t;
}

// One MP3 for the whole suite, copied under the names a test needs.
class ListFileTest : public ::testing::Test {
  protected:
    static inline TempDir* sources = nullptr;
    TempDir dir;
    std::string music = dir.file("Musik ä") + "/";
    static void SetUpTestSuite() {
        sources = new TempDir;
        ASSERT_TRUE(fixtures::makeSineMp3(sources->file("ok.mp3"), 20.5, 440, 0.3, 8000, 1));
    }
    static void TearDownTestSuite() {
        delete sources;
        sources = nullptr;
    }
    void SetUp() override { fs::create_directory(music); }
    void song(const std::string& name) const {
        fs::copy_file(sources->file("ok.mp3"), music + name);
    }
};

// The writer and the reader in-process, over the tables directly.
class PlaylistFile : public ListFileTest {
  protected:
    void SetUp() override {
        ListFileTest::SetUp();
        std::string error;
        backend::install(
            headless::make({}, std::move(*headless::parseScript("wait 1e4\n", error))));
        ASSERT_TRUE(audio::start(audio::SinkKind::Null));
        clearLists();
        importRun.duplicatesAllowed = 0;
    }
    void TearDown() override {
        audio::shutdown();
        backend::install(nullptr);
    }
    void playlist(const Names& names) {
        tracks.folderTable[1] = music;
        tracks.folderCount = 1;
        for (const std::string& name : names) {
            PlaylistEntry& e = tracks.playlist[size_t(++tracks.playlistCount)];
            e = PlaylistEntry{padName(name), int32_t(name.size()), 20500, 1};
        }
    }
    PlaylistLoad load(const std::string& text) {
        write(dir.file("l.PYL"), text);
        return loadPlaylistFileInto(dir.file("l.PYL"), nullptr);
    }
    static Names stackNames() {
        Names names;
        for (int i = 1; i <= tracks.stackCount; ++i)
            names.push_back(trackName(tracks.stack[size_t(i)]));
        return names;
    }
};

TEST_F(PlaylistFile, WrittenFromTheCurrentSongScrambledAndReadBackIntoTheStack) {
    Names names = {"x.mp3", "y.mp3", "Abc.mp3"};
    for (int i = 4; i <= 9; ++i)
        names.push_back("Lied " + std::to_string(i) + ".mp3");
    for (const auto& n : names)
        song(n);
    playlist(names);
    tracks.playPosition = 3;
    const std::string text = playlistFileText();
    const Names lines = crLfLines(text);
    ASSERT_EQ(lines.size(), 6u + 2u * 7u);
    EXPECT_EQ(Names(lines.begin(), lines.begin() + 6),
              (Names{"PLAYLIST/Spielliste Klangkelter", "Folders/Ordner", "1", music,
                     "Files/Dateien", "7"}));
    const std::string& abc = lines[6]; // A + one capital, b and c + two each
    ASSERT_EQ(abc.size(), 8u) << abc;
    EXPECT_EQ(std::string() + abc[0] + abc[2] + abc[5], "Abc");
    for (size_t i : {1, 3, 4, 6, 7})
        EXPECT_TRUE(abc[i] >= 'A' && abc[i] <= 'U') << abc;
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(unscrambleName(lines[size_t(6 + 2 * k)]),
                  names[size_t(2 + k)].substr(0, names[size_t(2 + k)].size() - 4) + ".MP3");
        EXPECT_EQ(lines[size_t(7 + 2 * k)], "1");
    }
    rng::seed(7); // the capitals come from the one generator
    const std::string seeded = playlistFileText();
    rng::seed(7);
    EXPECT_EQ(playlistFileText(), seeded);

    clearLists();
    tracks.folderTable[1] = "/already/";
    tracks.folderCount = 1;
    const PlaylistLoad r = load(text);
    EXPECT_FALSE(r.invalid || r.existenceFailed || r.missing);
    EXPECT_EQ(stackNames(), Names(names.begin() + 2, names.end()));
    EXPECT_EQ(tracks.folderCount, 2);
    EXPECT_EQ(tracks.stack[7].folderIndex, 2);
    EXPECT_EQ(tracks.stack[7].lengthMs, 20500);
}

// A list written by hand, not by our writer: "G" and "n" take one capital,
// "H" and "m" two. The capitals are the generator's first draws from seed 23.
TEST_F(PlaylistFile, AHandWrittenListReadsBackExactlyAndTheWriterWritesItsBytes) {
    const std::string other = dir.file("Andere") + "/";
    fs::create_directory(other);
    song("Gnom.mp3");
    song("n-z.mp3");
    fs::copy_file(sources->file("ok.mp3"), other + "Hymne 7.MP3");
    const std::string golden = kHead + "2\r\n" + music + "\r\n" + other +
                               "\r\nFiles/Dateien\r\n3\r\n"
                               "GCnIoNmSG\r\n1\r\n"
                               "HBCyCmQUnIeJK P7G\r\n2\r\n"
                               "nI-AzP\r\n1\r\n";
    tracks.folderTable[1] = "/already/";
    tracks.folderCount = 1;
    const PlaylistLoad r = load(golden);
    EXPECT_FALSE(r.invalid || r.existenceFailed || r.missing);
    EXPECT_EQ(stackNames(), (Names{"Gnom.mp3", "Hymne 7.MP3", "n-z.mp3"}));
    EXPECT_EQ(tracks.stack[1].folderIndex, 2);
    EXPECT_EQ(tracks.stack[2].folderIndex, 3);
    EXPECT_EQ(tracks.stack[3].folderIndex, 2);

    // From the second song on, with the file's folder numbering.
    clearLists();
    tracks.folderTable[1] = music;
    tracks.folderTable[2] = other;
    tracks.folderCount = 2;
    for (auto [name, folder] : std::vector<std::pair<std::string, int>>{
             {"Vorher.mp3", 1}, {"Gnom.mp3", 1}, {"Hymne 7.MP3", 2}, {"n-z.mp3", 1}})
        tracks.playlist[size_t(++tracks.playlistCount)] =
            PlaylistEntry{padName(name), int32_t(name.size()), 20500, folder};
    tracks.playPosition = 2;
    rng::seed(23);
    EXPECT_EQ(playlistFileText(), golden);
}

TEST_F(PlaylistFile, NamesWithBlanksUmlautsAndQuotesRoundTripAsTheyStandOnDisk) {
    const Names names = {"mit  Leer zeichen .mp3",           "Ärger über Größe.MP3",
                         "\"Zitat\" 'x' $(touch y) `z`.Mp3", "a\\b;c&d|e.mp3",
                         std::string(251, 'x') + ".mp3",     "ok.mp3"};
    for (const auto& n : names)
        song(n);
    playlist(names);
    const std::string text = playlistFileText();
    clearLists();
    EXPECT_EQ(load(text).missing, 0);
    EXPECT_EQ(stackNames(), names);
    EXPECT_FALSE(fs::exists(music + "y"));
}

TEST_F(PlaylistFile, TheSameFileTwiceSharesItsFolderAndAddsItsSongsOnce) {
    const Names names = {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3"};
    for (const auto& n : names)
        song(n);
    playlist(names);
    const std::string text = playlistFileText();
    clearLists();
    load(text);
    load(text);
    EXPECT_EQ(tracks.stackCount, 6);
    EXPECT_EQ(tracks.folderCount, 1);
    EXPECT_EQ(tracks.folderTable[1], music);
    EXPECT_EQ(notices.noticeId, notice::kAlreadyLoaded);
    importRun.duplicatesAllowed = 1;
    load(text);
    EXPECT_EQ(tracks.stackCount, 12);
    EXPECT_EQ(tracks.stack[12].duplicateFlag, 1);
    EXPECT_EQ(tracks.stack[12].folderIndex, 1);
    EXPECT_EQ(tracks.folderCount, 1);
}

TEST_F(PlaylistFile, MissingSongsAreCountedAndTheLastOneDecidesTheExistenceTest) {
    song("a.mp3");
    song("C.MP3");
    const std::string text = listText({music}, {{"a.mp3", 1}, {"b.mp3", 1}, {"c.mp3", 1}});
    PlaylistLoad r = load(text);
    EXPECT_EQ(stackNames(), (Names{"a.mp3", "C.MP3"}));
    EXPECT_EQ(r.missing, 1);
    EXPECT_FALSE(r.existenceFailed);
    EXPECT_EQ(noticeLines(notice::kListInvalid).front(), "1 DateiEN nicht gefunden.");
    fs::remove(music + "C.MP3");
    clearLists();
    r = load(text);
    EXPECT_EQ(r.missing, 2);
    EXPECT_TRUE(r.existenceFailed);
    EXPECT_TRUE(loadPlaylistFileInto(dir.file("gone.PYL"), nullptr).existenceFailed);
}

TEST_F(PlaylistFile, CrLfAndLfLineEndsAndNoFinalLineEndReadAlike) {
    song("a.mp3");
    song("b.mp3");
    const std::string crlf = listText({"/x/", music}, {{"a.mp3", 2}, {"b.mp3", 2}});
    std::string lf = crlf;
    std::erase(lf, '\r');
    for (const std::string& text :
         {crlf, lf, crlf.substr(0, crlf.size() - 2), lf.substr(0, lf.size() - 1)}) {
        clearLists();
        EXPECT_FALSE(load(text).invalid);
        EXPECT_EQ(stackNames(), (Names{"a.mp3", "b.mp3"}));
    }
}

TEST_F(PlaylistFile, AFullStackStopsTheLoadWithNotice39) {
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(appendStackEntry("s" + std::to_string(i) + ".mp3", 30000, 0, 0));
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"})
        song(n);
    const std::string text = listText({music}, {{"a.mp3", 1}, {"b.mp3", 1}, {"c.mp3", 1}});
    EXPECT_TRUE(load(text).stackFull);
    EXPECT_EQ(trackName(tracks.stack[maxTracks]), "b.mp3");
    EXPECT_EQ(notices.noticeId, notice::kStackFull);
    EXPECT_TRUE(load(text).stackFull); // full from the start: not even the folders are read
    EXPECT_EQ(tracks.folderCount, 1);
}

TEST_F(PlaylistFile, AFullTableOfUnusedFoldersMakesRoomForTheFolderTheSongsName) {
    song("a.mp3");
    song("b.mp3");
    for (int i = 1; i <= kMaxFolders; ++i)
        tracks.folderTable[size_t(i)] = "/old/";
    tracks.folderCount = kMaxFolders;
    Names folders(9);
    for (int i = 0; i < 9; ++i)
        folders[size_t(i)] = "/more " + std::to_string(i) + "/";
    folders.push_back(music);
    for (const char* name : {"a.mp3", "b.mp3"}) {
        EXPECT_FALSE(load(listText(folders, {{name, 10}})).invalid);
        EXPECT_EQ(tracks.folderCount, 1);
        EXPECT_EQ(tracks.folderTable[1], music);
    }
    EXPECT_EQ(stackNames(), (Names{"a.mp3", "b.mp3"}));
    EXPECT_EQ(tracks.stack[2].folderIndex, 1);
}

// Whatever a file holds, the tables stay whole: counts within their
// capacities, every entry a song that is there, in a folder of the table.
void expectTablesWhole(const std::string& what) {
    ASSERT_LE(tracks.folderCount, kMaxFolders) << what;
    ASSERT_LE(tracks.stackCount, int(maxTracks)) << what;
    for (int i = 1; i <= tracks.folderCount; ++i)
        EXPECT_EQ(tracks.folderTable[size_t(i)].front(), '/') << what;
    for (int i = 1; i <= tracks.stackCount; ++i) {
        const StackEntry& e = tracks.stack[size_t(i)];
        EXPECT_TRUE(e.folderIndex >= 1 && e.folderIndex <= tracks.folderCount) << what;
        EXPECT_TRUE(fs::is_regular_file(fullPath(e))) << what;
    }
}

TEST_F(PlaylistFile, HostileFilesNeverBreakTheTables) {
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"})
        song(n);
    const std::string f = "2\r\n/nowhere/\r\n" + music + "\r\nFiles/Dateien\r\n";
    auto pair = [](const char* name) { return scrambleName(name) + "\r\n2\r\n"; };
    const std::string a = pair("a.mp3");
    std::mt19937 noise(3);
    std::string binary(65536, ' ');
    for (char& c : binary)
        c = char(noise());
    const std::string longLine(100000, 'x');
    struct Case {
        std::string name, text;
        bool invalid;
        int songs, folders; // expected in the stack, and appended (those the songs name)
    };
    const std::vector<Case> cases = {
        {"good", kHead + f + "1\r\n" + a, false, 1, 1},
        {"empty", "", true, 0, 0},
        {"binary", binary, true, 0, 0},
        {"header case", "PLAYLIST/Spielliste KLANGKELTER\r\nFolders/Ordner\r\n" + f + "1\r\n" + a,
         true, 0, 0},
        {"NUL in the header", std::string("PLAYLIST/Spielliste\0Klangkelter\r\n", 33), true, 0, 0},
        {"over 4 MB", kHead + f + "1\r\n" + a + std::string(size_t(4) << 20, '\n'), true, 0, 0},
        {"folder count -1", kHead + "-1\r\n/a/\r\n", true, 0, 0},
        {"folder count 0", kHead + "0\r\n/a/\r\n", true, 0, 0},
        {"folder count abc", kHead + "abc\r\n/a/\r\n", true, 0, 0},
        {"folder count inf", kHead + "inf\r\n/a/\r\n", true, 0, 0},
        {"folder count 10^9", kHead + "1000000000" + f.substr(1) + "1\r\n" + a, true, 0, 0},
        {"relative folder", kHead + "2\r\n/a/\r\nMusik/\r\n", true, 0, 0},
        {"drive folder", kHead + "1\r\nC:\\Musik\\\r\n", true, 0, 0},
        {"NUL in a folder", kHead + std::string("1\r\n/a\0/\r\n", 9), true, 0, 0},
        {"long folder", kHead + "1\r\n/" + longLine + "\r\n", true, 0, 0},
        {"song count -1", kHead + f + "-1\r\n" + a, true, 0, 0},
        {"song count 0", kHead + f + "0\r\n" + a, true, 0, 0},
        {"song count abc", kHead + f + "abc\r\n" + a, true, 0, 0},
        {"song count 10^9", kHead + f + "1e9\r\n" + a, true, 1, 1},
        {"song count 2.5 is 2", kHead + f + "2.5\r\n" + a + pair("b.mp3") + pair("c.mp3"), false, 2,
         1},
        {"cut in a pair", kHead + f + "2\r\n" + a + scrambleName("a.mp3"), true, 1, 1},
        {"long name", kHead + f + "2\r\n" + longLine + "\r\n2\r\n" + a, false, 1, 1},
        // Cut at the NUL or taken as a path, the name would find a song.
        {"NUL in a name",
         kHead + f + "1\r\n" + scrambleName(std::string("a.mp3\0.mp3", 10)) + "\r\n2\r\n", false, 0,
         1},
        {"name with a slash", kHead + f + "1\r\n" + scrambleName("../Musik ä/a.mp3") + "\r\n2\r\n",
         false, 0, 1},
        // The list itself as a song (its twin "Mix.mp3" is a link to it) and as a folder.
        {"names itself",
         listText({music, dir.file("l.PYL")}, {{"Mix.mp3", 1}, {"l.PYL.mp3", 1}, {"a.mp3", 2}}),
         false, 0, 2},
    };
    fs::create_symlink(dir.file("l.PYL"), music + "Mix.mp3");
    for (const Case& c : cases) {
        clearLists();
        tracks.folderTable[1] = "/base/";
        tracks.folderCount = 1;
        const PlaylistLoad r = load(c.text);
        EXPECT_EQ(r.invalid, c.invalid) << c.name;
        EXPECT_EQ(tracks.stackCount, c.songs) << c.name;
        EXPECT_EQ(tracks.folderCount, 1 + c.folders) << c.name;
        expectTablesWhole(c.name);
    }
    // A FIFO chosen as the list has no writer: the load must not wait on it.
    ASSERT_EQ(mkfifo(dir.file("fifo.PYL").c_str(), 0644), 0);
    EXPECT_TRUE(loadPlaylistFileInto(dir.file("fifo.PYL"), nullptr).invalid);
    // Indexes count the file's folder lines; outside them, or on a folder
    // without the song, they find nothing.
    for (const char* index : {"2", "-5", "-1", "0", "3", "400", "1e9", "-1e300", "x", ""}) {
        clearLists();
        tracks.folderTable[1] = "/base/";
        tracks.folderTable[4] = music; // left behind by a folder dropped again
        tracks.folderCount = 1;
        EXPECT_EQ(
            load(kHead + f + "1\r\n" + scrambleName("a.mp3") + "\r\n" + index + "\r\n").missing,
            index == std::string("2") ? 0 : 1)
            << index;
        expectTablesWhole(index);
    }
}

TEST_F(PlaylistFile, EveryCutOfAFileLoadsAPrefixOrNothing) {
    song("a.mp3");
    song("b.mp3");
    const std::string text = listText({"/x/", music}, {{"a.mp3", 2}, {"b.mp3", 2}});
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        clearLists();
        load(text.substr(0, cut));
        const std::string what = "cut at " + std::to_string(cut);
        expectTablesWhole(what);
        EXPECT_TRUE(tracks.folderCount == 0 ||
                    (tracks.folderCount == 1 && tracks.folderTable[1] == music))
            << what;
        EXPECT_TRUE(stackNames().empty() || stackNames()[0] == "a.mp3") << what;
    }
}

// --- SAVE LIST and LOAD LIST as a user drives them -------------------------------

const std::string kSaveList = "click 805 83\n", kLoadList = "click 851 83\n";
const std::string kTripleLoadList =
    "click 851 83\nwait 0.05\nclick 851 83\nwait 0.05\nclick 851 83\n";

class ListCommands : public ListFileTest {
  protected:
    std::map<std::string, std::string> run(const std::string& script) const {
        fs::remove(dir.file("d.txt"));
        auto r =
            scenario::run(dir.path(), script + "wait 1\ndump d.txt\n",
                          {"--program-dir", dir.path()}, scenario::isolatedEnvironment(dir.path()));
        EXPECT_EQ(r.exitCode, 0) << r.errorOutput;
        EXPECT_EQ(r.errorOutput, "");
        return scenario::readDump(dir.file("d.txt"));
    }
    std::map<std::string, std::string> dump(const std::string& name) const {
        return scenario::readDump(dir.file(name));
    }
    // n songs in the playlist, the current one at `position`, then SAVE LIST to `list`.
    std::string saved(int n, int position, const std::string& list) const {
        for (int i = 1; i <= n; ++i)
            song("Lied " + std::to_string(i) + ".mp3");
        std::string s = scenario::loadIntoPlaylist(music + "Lied 1.mp3") + "wait 0.5\n";
        for (int i = 1; i < position; ++i)
            s += "key n ctrl shift\nwait 0.3\n";
        return s + "dialog " + list + "\n" + kSaveList;
    }
};

TEST_F(ListCommands, SaveListAtThreeOfNineAndLoadListInALaterSession) {
    auto d = run(saved(9, 3, dir.file("meine")));
    EXPECT_EQ(d["playPosition"], "3");
    EXPECT_EQ(d["noticeId"], "50");
    const Names lines = crLfLines(read(dir.file("meine.PYL")));
    ASSERT_EQ(lines.size(), 6u + 14u);
    EXPECT_EQ(lines[3], music);
    EXPECT_EQ(lines[5], "7");

    d = run("wait 1\ndialog " + dir.file("meine.PYL") + "\n" + kLoadList + "wait 2\n");
    ASSERT_EQ(d["stackCount"], "7");
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(d["stack." + std::to_string(i)],
                  "Lied " + std::to_string(i + 2) + ".mp3|20500|1|0|0");
    EXPECT_EQ(d["folder.1"], music);
    EXPECT_EQ(run("wait 1\ndialog cancel\n" + kLoadList)["noticeId"], "75");
}

TEST_F(ListCommands, SixSongsFromTheCurrentOneAreSavedFiveAreRefusedWith58) {
    auto d = run(saved(7, 2, dir.file("six.pyl")) + "wait 1\ndump six.txt\n" +
                 "key n ctrl shift\nwait 0.3\ndialog " + dir.file("five.pyl") + "\n" + kSaveList);
    EXPECT_EQ(dump("six.txt")["noticeId"], "50");
    EXPECT_TRUE(fs::exists(dir.file("six.pyl")));
    EXPECT_EQ(d["noticeId"], "58");
    EXPECT_FALSE(fs::exists(dir.file("five.pyl")));
}

TEST_F(ListCommands, AFailedWriteShowsNotice91AndLeavesWhatWasThere) {
    fs::create_directory(dir.file("old.PYL"));
    write(dir.file("old.PYL/keep"), "old");
    write(dir.file("afile"), "x");
    auto d = run(saved(6, 1, dir.file("no/folder/l.PYL")) + "wait 1\ndump none.txt\ndialog " +
                 dir.file("afile/l") + "\n" + kSaveList + "wait 1\ndump file.txt\ndialog " +
                 dir.file("old.PYL") + "\n" + kSaveList);
    EXPECT_EQ(dump("none.txt")["noticeId"], "91");
    EXPECT_EQ(dump("file.txt")["noticeId"], "91");
    EXPECT_EQ(d["noticeId"], "91");
    EXPECT_EQ(read(dir.file("old.PYL/keep")), "old");
    EXPECT_EQ(read(dir.file("afile")), "x");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().rfind(".klangkelter", 0), std::string::npos);
}

TEST_F(ListCommands, ATripleClickPlaysTheListUnlessItsLastSongIsMissingThen77) {
    run(saved(6, 1, dir.file("l.PYL")));
    auto d = run("wait 1\ndialog " + dir.file("l.PYL") + "\n" + kTripleLoadList + "wait 2\n");
    EXPECT_EQ(d["stackCount"], "0");
    EXPECT_EQ(d["playlistCount"], "6");
    EXPECT_EQ(d["playerRunning"], "1");

    fs::remove(music + "Lied 6.mp3");
    d = run("wait 1\ndialog " + dir.file("l.PYL") + "\n" + kTripleLoadList + "wait 2\n");
    EXPECT_EQ(d["stackCount"], "5");
    EXPECT_EQ(d["playlistCount"], "0");
    EXPECT_EQ(d["playerRunning"], "0");
    EXPECT_EQ(d["noticeId"], "77");
}

TEST_F(ListCommands, AKeyDuringTheLoadStopsItAndKeepsWhatWasAdded) {
    run(saved(60, 1, dir.file("l.PYL")));
    // Each song takes a few ms to probe; the key comes in the middle.
    auto d = run("wait 1\ndialog " + dir.file("l.PYL") + "\n" + kLoadList + "wait 0.45\nkey q\n");
    EXPECT_GT(std::stoi(d["stackCount"]), 0);
    EXPECT_LT(std::stoi(d["stackCount"]), 60);
}

TEST_F(ListCommands, NotAListNameIsInvalidAndShiftOrAnotherTabDoNotLoad) {
    run(saved(6, 1, dir.file("l.PYL")));
    fs::copy_file(dir.file("l.PYL"), dir.file("l.txt"));
    auto d = run("wait 1\ndialog " + dir.file("l.txt") + "\n" + kLoadList +
                 "wait 1\ndump txt.txt\ndialog " + dir.file("l.PYL") + "\nclick 851 83 shift\n" +
                 "click 938 40\nwait 0.5\n" + kLoadList + "wait 1\ndump other.txt\n" +
                 "click 677 40\nwait 0.5\n" + kLoadList + "wait 2\n");
    EXPECT_EQ(dump("txt.txt")["noticeId"], "57");
    EXPECT_EQ(dump("txt.txt")["folderCount"], "0");
    EXPECT_EQ(dump("other.txt")["stackCount"], "0");
    EXPECT_EQ(d["stackCount"], "6"); // the answer waited for LOAD LIST on the STAPEL tab
}

} // namespace
