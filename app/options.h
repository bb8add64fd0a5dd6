#pragma once
// The command line.
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
};

// nullopt and a message for a command line that makes no sense.
std::optional<Options> parseOptions(int argc, char** argv, std::string& error);
extern const char* const kUsage;
