#pragma once
// The headless backend: the unchanged program without a display, driven by a
// scenario script in virtual time. Owns the virtual clock, the parsed script
// and its timeline, and the queue of file-dialog answers.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace headless {

struct Options {
    std::string scriptPath;
    int desktopWidth = 1920;
    int desktopHeight = 1080;
};

// One timed action of the script; times are virtual seconds from the start.
struct Event {
    enum class Kind {
        Move,
        Press,
        Release,
        Wheel,
        Key,
        Modifiers,
        Screenshot,
        Dump,
        Dialog,
        Raise,
        Signal,
        Audio
    };
    Kind kind = Kind::Move;
    double atSeconds = 0;
    int x = 0, y = 0;  // Move, Press; Wheel uses x as the steps
    int buttons = 0;   // Press
    int modifiers = 0; // Modifiers: bit 0 ctrl, 1 shift, 2 alt; Raise uses it as the error number,
                       // Audio as 1 (device back) or 0 (lost)
    std::string text;  // Key code, file name, dialog answer ("" = cancel), signal name
    double holdSeconds = 0; // Dialog: how long the dialog stays open before it answers
    int line = 0;           // script line, for messages
};

struct Script {
    std::vector<Event> events; // in time order
    double endSeconds = 0;     // the run ends when the clock passes this and all events are out
};

// Parses a script; on a malformed line returns nullopt and a message naming the line.
std::optional<Script> parseScript(const std::string& text, std::string& error);

std::unique_ptr<backend::Backend> make(const Options& options, Script script);

// Hooks the program registers: the state dump, and raising a run-time error.
void setDumpProvider(std::function<std::string()> provider);
void setRaiseHandler(std::function<void(int number)> handler);

// The next file-dialog answer given by the script: a path (a relative one
// taken from the folder the program was started in), "" for cancel, and how
// long the dialog stays open first; nullopt when the script gave none (the
// dialog then counts as cancelled).
struct DialogAnswer {
    std::string text;
    double holdSeconds = 0;
};
std::optional<DialogAnswer> takeDialogAnswer();

bool active();

} // namespace headless
