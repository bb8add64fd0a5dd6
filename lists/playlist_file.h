#pragma once
// The playlist file (".PYL"): its text, written from the playlist's current
// song to the end with the whole folder table, and read back into the stack,
// every song examined as an imported file. No state of its own; the load
// writes the tables, the stack and the import run.
#include <string>

// Six songs at least from the current one on: fewer are not worth a file.
bool playlistWorthSaving();
// The file's text, lines ended by CR LF.
std::string playlistFileText();

// The existence test of files named in list files: an absolute path of at
// least 7 characters whose name its folder holds in any letter case. The path
// as it stands on disk, or empty.
std::string findListedFile(const std::string& path);

struct PlaylistLoad {
    bool existenceFailed = false; // the load's last existence test failed
    bool invalid = false;         // the file, or a part of it, is not a playlist
    int missing = 0;              // listed songs that were not found
    bool stackFull = false;
    bool aborted = false;
};

// Reads the file at `path` and appends its songs to the stack. Between two
// songs `betweenSongs` runs (the caller's abort check and progress); true
// from it stops the load. The stack and folder table never grow past their
// capacity, whatever the file holds. Only the folders the songs name enter the
// table, sharing an equal slot already there; a file refused as invalid, or
// whose folders find no room (notice 93), leaves the table as it was.
PlaylistLoad loadPlaylistFileInto(const std::string& path, bool (*betweenSongs)());
