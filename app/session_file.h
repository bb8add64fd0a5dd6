#pragma once
// The session file: the whole working session (folders, playlist, stack, play
// position, settings, gong players) written by AUTOSAVE and the end box, read
// back at start-up. Owns where the file lives and the AUTOSAVE repeat lock;
// written by the start-up code and the save paths.
#include <string>

struct SessionFile {
    std::string path;            // where the session file lives
    double saveRepeatUntil = 0;  // AUTOSAVE refuses a second save before this
    double savedBoxUntil = 0;    // the "SITZUNG GESPEICHERT." box stays until this
};

extern SessionFile sessionFile;

// "KLANGKELTER-Spielliste-Autosave.sav" in the program folder given on the
// command line, otherwise in the user's state folder (created when missing).
std::string sessionFilePath(const std::string& programDir);
bool sessionFileExists();
// Writes the session; true only when it was written. Refuses (notice 58) when
// there is too little to save, and says so (notice 91) when the write failed.
bool writeAutosave();
// Reads the session back into empty lists (at start-up, before the first
// screen); false when there was no file or it was invalid from the start.
bool readAutosave();
