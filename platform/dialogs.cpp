#include "platform/dialogs.h"

#include "platform/desktop_dialog.h"

#include <filesystem>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/path_rules.h"
#include "platform/process.h"
#include "platform/screen.h"

namespace dialogs {

std::optional<std::string> acceptAnswer(const std::string& raw) {
    std::string path = raw;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r' || path.back() == ' ' ||
                             path.back() == '\0'))
        path.pop_back();
    // Several lines means several files or noise: neither is one path.
    if (path.size() < 3 || !pathrules::isAbsolute(path) || path.find('\n') != std::string::npos ||
        path.find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}

// While a dialog is open the music is steered and the window kept up, as
// the main loop would.
void whileOpen() {
    hooks::keepMusicGoing();
    timing::sleepMs(5);
}

void PathLine::feed(const std::string& key) {
    const unsigned char c = key.empty() ? 0 : static_cast<unsigned char>(key[0]);
    if (key.size() == 2 && c == 255 && key[1] == input::kClose) {
        input::pushKey(key); // the window's close button still ends the session
        done = true;
    } else if (key.size() == 1 && c == input::kEsc) {
        done = true;
    } else if (key.size() == 1 && c == '\r') {
        std::optional<std::string> path = acceptAnswer(text);
        std::string folder = path ? pathrules::folderOf(*path) : std::string();
        if (path && files::isFolder(*path)) {
            // A folder typed without its slash means that folder, not its parent.
            *path = pathrules::asFolder(*path);
            answer = path;
            done = true;
        } else if (path && (files::exists(*path) || (forSaving && files::isFolder(folder)))) {
            answer = path;
            done = true;
        } else {
            message = "nicht gefunden: " + text;
        }
    } else if (key.size() == 1 && c == input::kCtrlU) {
        text.clear();
        message.clear();
    } else if (key.size() == 1 && c == 8) {
        // One character back, however many bytes it takes in UTF-8.
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
            text.pop_back();
        if (!text.empty()) text.pop_back();
        message.clear();
    } else if (key.size() == 1 && c >= 32 && text.size() < 2048) {
        text += screen::utf8(key);
        message.clear();
    }
}

// Drawn into our own window: a box with the title and an editable path line.
static std::optional<std::string> pathPrompt(const std::string& title,
                                             const std::string& startFolder, bool save) {
    const int x1 = 200, y1 = 200, x2 = 800, y2 = 290;
    PathLine line;
    line.forSaving = save;
    line.text = startFolder;
    if (line.text.empty()) {
        std::error_code ec;
        line.text = std::filesystem::current_path(ec).string();
    }
    line.text = pathrules::asFolder(line.text);
    std::vector<uint8_t> saved = screen::fb.pixels;
    input::discardKeys();
    while (!line.done) {
        screen::fillBox(x1, y1, x2, y2, 31);
        screen::box(x1, y1, x2, y2, 0);
        screen::textAt(x1 + 12, y1 + 10, screen::cp437(title), 0);
        screen::textAt(x1 + 12, y1 + 26, screen::cp437("Pfad eingeben, Enter = OK, Esc = Abbruch"),
                       8);
        screen::fillBox(x1 + 10, y1 + 48, x2 - 10, y1 + 64, 15);
        const size_t room = size_t((x2 - x1 - 28) / 8);
        auto tail = [room](std::string shown) {
            return shown.size() > room ? shown.substr(shown.size() - room) : shown;
        };
        screen::textAt(x1 + 14, y1 + 52, tail(screen::cp437(line.text) + "_"), 0);
        if (!line.message.empty())
            screen::textAt(x1 + 12, y1 + 72, tail(screen::cp437(line.message)), 4);
        whileOpen();
        for (std::string key = input::readKey(); !key.empty() && !line.done; key = input::readKey())
            line.feed(key);
    }
    screen::fb.pixels = saved;
    ++screen::fb.generation;
    return line.answer;
}

static std::optional<std::string> fileDialog(const std::string& title, const FileFilter& filter,
                                             const std::string& startFolder, bool save) {
    input::discardKeys();
    if (headless::active()) {
        auto answer = headless::takeDialogAnswer();
        if (!answer) return std::nullopt;
        const double until = timing::now() + answer->holdSeconds;
        while (timing::now() < until)
            whileOpen();
        return acceptAnswer(answer->text);
    }
    if (auto answer = desktopFileDialog(title, filter, startFolder, save))
        return answer->empty() ? std::nullopt : acceptAnswer(*answer);
    return pathPrompt(title, startFolder, save);
}

std::optional<std::string> openFile(const std::string& title, const FileFilter& filter,
                                    const std::string& startFolder) {
    return fileDialog(title, filter, startFolder, false);
}

std::optional<std::string> saveFile(const std::string& title, const FileFilter& filter,
                                    const std::string& startFolder) {
    return fileDialog(title, filter, startFolder, true);
}

} // namespace dialogs
