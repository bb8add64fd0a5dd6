#pragma once
// What an import finds in a folder: which MP3 names it admits into the stack,
// and what it tells the user afterwards. Owns the state of the current import
// run and the last folder; written by the import command.
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

// A run over `folder` begins: nothing found yet.
void beginImportRun(const std::string& folder);
// Examines one name in the folder of `folderSlot` and appends it to the stack
// when it passes: an MP3 name that fits, not listed yet (unless DOUB), of an
// admitted length.
void examineImportName(const std::string& name, int folderSlot);
// The notice that says what the run refused or skipped, if anything.
void announceImportRun(bool doubOff);
