#pragma once
// The session file: the whole working session (folders, playlist, stack, play
// position, settings, gong players) written by AUTOSAVE and the end box, read
// back at start-up. Owns where the file lives and the AUTOSAVE repeat lock;
// written by the start-up code and the save paths.
#include <cstdint>
#include <string>
#include <vector>

struct SessionFile {
    std::string path;           // where the session file lives
    double saveRepeatUntil = 0; // AUTOSAVE refuses a second save before this
    double savedBoxUntil = 0;   // the "SITZUNG GESPEICHERT." box stays until this
    // The saves the program makes by itself, once start-up has restored the
    // session (armed): what was last written, without the song's position,
    // and when to look again.
    bool quietSavesArmed = false;
    std::string lastWritten;
    double lastQuietSave = -1e9;
    double nextQuietCheck = 0;
    bool quietSaveFailed = false; // said once until a save works again
    int savedSongs = -1;          // songs in the file on disk; -1 not yet counted
    // From the file read back: the position within its current song, ms,
    // and that song's name.
    int32_t resumePositionMs = 0;
    std::string resumeSong;
    bool resumeWanted = false; // --resume: the music goes on by itself
    // Songs whose folder was not there when the session was read (a share or
    // a stick that mounts late): kept aside with their places in the lists
    // and looked for until lateUntil, then dropped and counted. While any
    // wait, the quiet saves keep the file as it is.
    struct LateSong {
        bool toPlaylist = false;
        int before = 0; // entries of its list read in front of it
        std::string name;
        int folder = 0;
        bool current = false; // the song the session stood at
    };
    std::vector<LateSong> lateSongs;
    double lateUntil = 0, nextLateLook = 0;
    int missingAtStart = 0; // songs not found, told when the wait is over
};

extern SessionFile sessionFile;

// "KLANGKELTER-Spielliste-Autosave.sav" in the program folder given on the
// command line, otherwise in the user's state folder (created when missing).
std::string sessionFilePath(const std::string& programDir);
bool sessionFileExists();
// Writes the session; true only when it was written. Refuses (notice 58) when
// there is too little to save, and says so (notice 91) when the write failed.
bool writeAutosave();
// The save the program makes by itself: silent, notice 91 when it fails, no
// effect on AUTOSAVE's repeat lock. A session too small to save by the rule
// above is not written over a file that holds more songs; a save that holds
// fewer songs than the file keeps the file as ".bak" first. False when
// nothing was written.
bool saveSessionQuietly();
// A step of the main loop (never inside a fade): saves quietly shortly after
// the lists, the gong players or the settings changed (at each song start
// too), at most every few seconds, and now and then while a song plays so
// that its position is fresh.
void autosaveWhenDue();
// Every start: the gong players from the session file, whatever the lists do.
void restoreGongSlots();
// Once start-up is done: the quiet saves begin, from the session as it now is.
void armQuietSaves();
// --resume: sets the current song's start cue so that PLAY goes on where the
// session was (faded in as after PAUSE), unless that was near its start.
void cueResumePosition();
// A step of the main loop: every few seconds, the late songs whose folder
// has come are probed and put back at their places; the music starts when
// --resume found nothing to play before.
void watchLateFolders();
// Reads the session back into empty lists (at start-up, before the first
// screen); false when there was no file or it was invalid from the start.
bool readAutosave();
