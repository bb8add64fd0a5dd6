#pragma once
// The file paths derived once at start-up: program folder, temporary folder,
// the decoder, its buffer file and the MP3 dialog filter.
// Written once by start-up; read by the decoder and the file commands.
#include <string>

struct Paths {
    std::string programFolder; // ends in "/", or empty
    std::string tempFolder;    // ends in "/"
    std::string lamePath;      // empty when no decoder was found
    std::string mp3FilterName = "Audio Dateien (*.MP3)";
    std::string mp3FilterPattern = "*.MP3";
};

extern Paths paths;

// `programFolder` overrides the executable's own folder (tests, scripted runs).
void derivePaths(const std::string& programFolder);
// A new, empty file of a name no other program uses, in the temporary folder:
// prefix, six random characters, suffix. Empty when none can be made.
std::string makeTempFile(const std::string& prefix, const std::string& suffix);
