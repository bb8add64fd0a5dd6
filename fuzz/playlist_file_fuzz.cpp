// Feeds arbitrary bytes to the playlist-file reader as a list file: whatever
// it holds, the load must end, keep the stack and the folder table within
// their capacities and take in only songs that are there. The first byte
// fills the tables partly beforehand, so that their limits get reached.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "lists/import.h"
#include "lists/playlist_file.h"
#include "lists/tracks.h"

namespace {

// The songs a list may name: the seed lists them. Shared by parallel runs,
// which write the same bytes.
const std::string& songFolder() {
    static const std::string folder = [] {
        struct stat st;
        std::string base = stat("/dev/shm", &st) == 0 ? "/dev/shm/" : "/tmp/";
        std::string f = base + "kk-playlist-fuzz/";
        mkdir(f.c_str(), 0755);
        for (const char* name : {"a.MP3", "b.mp3", "Lied 1.mp3"})
            if (std::FILE* out = std::fopen((f + name).c_str(), "wb")) std::fclose(out);
        return f;
    }();
    return folder;
}

const std::string& listPath() {
    static const std::string path = songFolder() + "list-" + std::to_string(getpid()) + ".PYL";
    return path;
}

int songsBetween = 0;
bool countSong() {
    ++songsBetween;
    return false;
}

void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    clearLists();
    importRun.duplicatesAllowed = int16_t(data[0] & 1);
    const int folders = data[0] & 0x80 ? 390 + (data[0] >> 1) % 10 : (data[0] >> 1) % 4;
    // Equal folders, as an old session leaves them; a load may merge them.
    for (int i = 1; i <= folders; ++i)
        tracks.folderTable[size_t(i)] = songFolder();
    tracks.folderCount = folders;
    const int stacked = data[0] & 0x40 ? 60 + (data[0] >> 2) % 7 : 0;
    for (int i = 0; i < stacked; ++i)
        appendStackEntry("s" + std::to_string(i) + ".mp3", 30000, 1, 0);

    std::FILE* f = std::fopen(listPath().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    songsBetween = 0;
    const PlaylistLoad load = loadPlaylistFileInto(listPath(), countSong);
    std::remove(listPath().c_str());

    check(tracks.folderCount >= 0 && tracks.folderCount <= kMaxFolders);
    check(tracks.stackCount >= stacked && tracks.stackCount <= maxTracks);
    check(load.missing <= songsBetween);
    for (int i = stacked + 1; i <= tracks.stackCount; ++i) {
        const StackEntry& e = tracks.stack[size_t(i)];
        check(e.folderIndex >= 1 && e.folderIndex <= tracks.folderCount);
        check(e.nameLength >= 4 && e.nameLength <= nameWidth);
        check(access(fullPath(e).c_str(), F_OK) == 0);
    }
    for (int i = tracks.stackCount + 1; i < kTrackSlots; ++i)
        check(tracks.stack[size_t(i)].nameLength == 0);
    return 0;
}
