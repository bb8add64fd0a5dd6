#pragma once
// The command line, parsed once by main() into a value nobody changes after.
#include <cstdint>
#include <optional>
#include <string>

struct Options {
    bool headless = false;
    std::string scriptPath;
    std::string programDir;
    std::string renderPath;
    std::string mciLogPath;
    std::string envelopeOutDir;
    int desktopWidth = 1920, desktopHeight = 1080; // the headless desktop
    // The random generator's seed; headless runs default to a fixed one.
    bool seedGiven = false;
    uint64_t seed = 0;
    double processWaitSeconds = -1; // headless: real seconds to wait for a child; -1 default
    // Restore the saved session and play on without the start screen.
    bool resume = false;
    // ENDLOS from the start: the playlist starts over behind its last song.
    bool endless = false;
    // ANGLEICHEN from the start: songs matched in loudness.
    bool match = false;
    // Print the usage or the version and end.
    bool help = false, version = false;
};

// nullopt and a message for a command line that makes no sense.
std::optional<Options> parseOptions(int argc, char** argv, std::string& error);
// The files and folders the options name: folders that are folders (made
// absolute), files that can be written. False and a message otherwise.
bool checkOptions(Options& options, std::string& error);
extern const char* const kUsage;
