// Feeds arbitrary bytes to the session reader as a session file: it must read
// or refuse them without crashing, hanging or writing outside the tables.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "app/session_file.h"
#include "app/startup.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/screen.h"
#include "playback/gongs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path =
        "/dev/shm/kk-session-fuzz-" + std::to_string(getpid()) + ".sav";
    static const bool ready = [] {
        screen::open(screen::kWidth, screen::kHeight);
        audio::start(audio::SinkKind::Null);
        return true;
    }();
    (void)ready;
    resetProgramState();
    sessionFile.path = path;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    readAutosave();
    if (tracks.playlistCount < 0 || tracks.playlistCount > maxTracks || tracks.stackCount < 0 ||
        tracks.stackCount > maxTracks || tracks.folderCount < 0 ||
        tracks.folderCount > kMaxFolders || tracks.playPosition < 0 ||
        tracks.playPosition > std::max(tracks.playlistCount, 1) || gongs.bank % 4 != 0)
        std::abort();
    return 0;
}
