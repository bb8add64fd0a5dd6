#pragma once
// The open-file dialog: the desktop's own (zenity or kdialog as a child
// process on Linux, the common dialogs on Windows), a small path
// prompt in our own window when there is none, and the script's answer
// in the headless backend. Keeps no state beyond which tool was found.
#include <optional>
#include <string>

namespace dialogs {

struct FileFilter {
    std::string name;      // "Audio Dateien (*.MP3)"
    std::string extension; // ".mp3", matched in any letter case
};

// One absolute path, or nullopt when the dialog was cancelled or answered with
// something that is not an absolute path.
std::optional<std::string> openFile(const std::string& title, const FileFilter& filter,
                                    const std::string& startFolder);

// The same for a file to write: the dialog lets the user type a new name and
// asks before replacing an existing file.
std::optional<std::string> saveFile(const std::string& title, const FileFilter& filter,
                                    const std::string& startFolder);

// A dialog's raw answer turned into one absolute path: trailing blanks, line
// ends and NULs removed; nullopt for anything else.
std::optional<std::string> acceptAnswer(const std::string& raw);

// The path line of our own prompt: typed keys (code page 437, as the window
// delivers them) edit a UTF-8 path, as file names are on disk. Enter answers
// when the path names something (a folder with its final slash), or for a
// file to write when its folder is there; otherwise it says so and waits.
struct PathLine {
    std::string text;    // UTF-8
    std::string message; // shown under the line, code page 437 source text in UTF-8
    bool forSaving = false;
    bool done = false;
    std::optional<std::string> answer;
    void feed(const std::string& key);
};

} // namespace dialogs
