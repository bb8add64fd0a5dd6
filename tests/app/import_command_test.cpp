// The folder table over a long life of imports and list loads, in-process
// on a headless backend whose script answers every file dialog.
#include "app/import_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lists/import.h"
#include "lists/playlist_file.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "tests/support/audio_fixtures.h"
#include "texts/notices.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> paths() {
    std::vector<std::string> all;
    for (int i = 1; i <= tracks.stackCount; ++i)
        all.push_back(fullPath(tracks.stack[size_t(i)]));
    for (int i = 1; i <= tracks.playlistCount; ++i)
        all.push_back(fullPath(tracks.playlist[size_t(i)]));
    return all;
}

// `folders` folder lines, song k (from 1) in folder line k.
std::string listWith(int folders, const std::string& prefix) {
    std::string t =
        "PLAYLIST/Spielliste Klangkelter\r\nFolders/Ordner\r\n" + std::to_string(folders) + "\r\n";
    for (int k = 1; k <= folders; ++k)
        t += prefix + std::to_string(k) + "/\r\n";
    t += "Files/Dateien\r\n" + std::to_string(folders) + "\r\n";
    for (int k = 1; k <= folders; ++k)
        t += "A\r\n" + std::to_string(k) + "\r\n";
    return t;
}

TEST(FolderTable, YearsOfImportsShareSlotsAndMakeRoomAndARefusedListLeavesTheTable) {
    fixtures::TempDir dir;
    const std::string m = dir.file("m") + "/", n = dir.file("n") + "/", p = dir.file("p") + "/";
    for (const auto& f : {m, n, p})
        fs::create_directory(f);
    ASSERT_TRUE(fixtures::makeSineMp3(m + "ok.mp3", 20.5, 440, 0.3, 8000, 1));
    ASSERT_TRUE(fixtures::makeSineMp3(m + "short.mp3", 19.8, 440, 0.3, 8000, 1));
    fs::copy_file(m + "ok.mp3", n + "neu.mp3");
    for (const char* song : {"pop.mp3", "pop2.mp3"})
        fs::copy_file(m + "ok.mp3", p + song);
    std::string script;
    for (int i = 0; i < 500; ++i)
        script += "dialog " + m + "ok.mp3\n";
    for (const auto& answer : {n + "neu.mp3", p + "pop.mp3", p + "pop2.mp3", p + "pop2.mp3"})
        script += "dialog " + answer + "\n";
    script += "wait 1e5\n";
    std::string error;
    backend::install(headless::make({}, std::move(*headless::parseScript(script, error))));
    ASSERT_TRUE(audio::start(audio::SinkKind::Null));

    // The short song is refused every time, which used to keep a slot each time.
    for (int i = 0; i < 500; ++i)
        importFolder();
    EXPECT_EQ(tracks.stackCount, 1);
    EXPECT_EQ(tracks.folderCount, 1);
    EXPECT_EQ(notices.noticeId, notice::kImportRefusedLength);

    // A table that an old session filled: songs in slots 200, 300 (the same
    // folder again) and 398, every other slot unused.
    for (int f = 2; f <= 398; ++f)
        tracks.folderTable[size_t(f)] = "/alt/" + std::to_string(f) + "/";
    tracks.folderTable[300] = tracks.folderTable[200];
    tracks.folderCount = 398;
    ASSERT_TRUE(appendPlaylistEntry("x.mp3", 20500, 300));
    ASSERT_TRUE(appendPlaylistEntry("y.mp3", 20500, 398));
    ASSERT_TRUE(appendStackEntry("z.mp3", 20500, 200, 0));
    std::vector<std::string> before = paths();
    importOneFile(); // the last free slot: nothing moves yet
    EXPECT_EQ(tracks.folderCount, kMaxFolders);
    EXPECT_EQ(tracks.folderTable[kMaxFolders], n);
    before.insert(before.begin() + 2, n + "neu.mp3");
    EXPECT_EQ(paths(), before);
    importOneFile(); // one beyond: the unused folders give way
    EXPECT_EQ(tracks.folderCount, 5);
    before.insert(before.begin() + 3, p + "pop.mp3");
    EXPECT_EQ(paths(), before);
    EXPECT_EQ(tracks.stack[1].folderIndex, 1);
    EXPECT_EQ(tracks.playlist[1].folderIndex, tracks.stack[2].folderIndex);

    // Refused lists: more folder lines than the table holds (57), and songs
    // in more folders than it could make room for (93).
    const std::vector<std::string> table(tracks.folderTable.begin(),
                                         tracks.folderTable.begin() + 6);
    for (auto [folders, refusal] :
         {std::pair{400, notice::kListInvalid}, std::pair{399, notice::kFolderTableFull}}) {
        std::ofstream(dir.file("l.PYL"), std::ios::binary) << listWith(folders, "/w/");
        EXPECT_EQ(loadPlaylistFileInto(dir.file("l.PYL"), nullptr).missing, 0) << folders;
        EXPECT_EQ(notices.noticeId, refusal) << folders;
        EXPECT_EQ(tracks.folderCount, 5) << folders;
        EXPECT_TRUE(std::equal(table.begin(), table.end(), tracks.folderTable.begin()));
    }
    importOneFile(); // a new song of a folder the table holds
    importOneFile(); // the same again: skipped, and its folder stays
    EXPECT_EQ(notices.noticeId, notice::kAlreadyLoaded);
    EXPECT_EQ(tracks.folderCount, 5);
    EXPECT_EQ(fullPath(tracks.stack[5]), p + "pop2.mp3");
    EXPECT_EQ(fullPath(tracks.stack[4]), p + "pop.mp3");
    audio::shutdown();
}

} // namespace
