#pragma once
// Importing MP3s into the stack: a whole folder (LOAD MP3s) or one file
// (LOAD 1xMP3). Owns the state of the current import run and the last folder.
#include <cstdint>
#include <string>

struct ImportRun {
    std::string importFolder; // ends in "/"; the dialogs start here next time
    std::string currentFileName;
    bool duplicatesFound = false;
    bool lengthRefused = false;
    bool added = false;
    int16_t duplicatesAllowed = 0; // the DOUB setting, copied when the run starts
    bool tripleClick = false;
    bool aborted = false;
    double nextProgressTime = 0;
    int abortBoxPhase = 0;
    double sortAbortBoxTime = 0; // sorts draw the abort box again only after this
};

extern ImportRun importRun;

// Abort box ("Abbruch ?") in the stack area; a click strictly inside it aborts.
constexpr int kAbortX1 = 664, kAbortY1 = 286, kAbortX2 = 860, kAbortY2 = 336;

// LOAD MP3s. Returns whether the button was pressed three times in a row.
bool importFolder();
// LOAD 1xMP3. Returns false when no file was chosen (the caller shows notice 73).
bool importOneFile();

void drawAbortBox();
