#pragma once
// SAVE LIST and LOAD LIST: the playlist file's dialogs, boxes and notices
// around the file itself (lists/playlist_file). No state of its own; the
// last-used folder is the import's.

// SAVE LIST: a copy of the playlist from the current song on.
void savePlaylistFile();

struct ListLoadOutcome {
    bool locked = false; // refused near the song's end; the lock box stays
    bool tripleClick = false;
    bool existenceFailed = false; // the list file or its last song was not found
};
// LOAD LIST: the file's songs into the stack.
ListLoadOutcome loadPlaylistFile();
