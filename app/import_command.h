#pragma once
// The import commands: LOAD MP3s (a whole folder) and LOAD 1xMP3 (one file),
// with their boxes, the file dialog, the abort box and the music kept going
// during a long scan. What is admitted is decided in lists/import. The boxes,
// the triple click and the abort check serve the list file commands as well.
#include <string>
#include <string_view>
#include <vector>

// LOAD MP3s. Returns whether the button was pressed three times in a row.
bool importFolder();
// LOAD 1xMP3. Returns false when no file was chosen (the caller shows notice 73).
bool importOneFile();

void drawAbortBox();

// A message box over the stack list.
void stackAreaBox(const std::vector<std::string_view>& lines);
// Near the end of the playing song a dialog would leave it unsteered: the
// lock box is shown instead, and true returned.
bool lockedNearSongEnd();
// After the press that started a command: were there three in quick succession?
bool detectTripleClick();
// The box before a LOAD dialog: `idleLines` while the player is stopped, the
// plea to hurry while it runs, and the SHUFFLE-and-PLAY line for a triple click.
void showLoadBox(const std::vector<std::string_view>& idleLines, bool tripleClick);
// The part of a path up to and including its last "/".
std::string folderOf(const std::string& path);
// Between two files of a long load: a key or a click into the abort box stops
// it (the ABBRUCH box is shown then); the close button ends the session.
bool abortRequested();
// The stack view and the abort box, redrawn during a long load.
void progressRedraw();
