#pragma once
// The import commands: LOAD MP3s (a whole folder) and LOAD 1xMP3 (one file),
// with their boxes, the file dialog, the abort box and the music kept going
// during a long scan. What is admitted is decided in lists/import.

// LOAD MP3s. Returns whether the button was pressed three times in a row.
bool importFolder();
// LOAD 1xMP3. Returns false when no file was chosen (the caller shows notice 73).
bool importOneFile();

void drawAbortBox();
