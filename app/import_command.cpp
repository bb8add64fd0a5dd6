#include "app/import_command.h"

#include <string_view>

#include "app/main_loop.h"
#include "lists/import.h"
#include "lists/tracks.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/layout.h"
#include "platform/path_rules.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/list_views.h"

namespace {

constexpr double kProgressSeconds = 0.6;
// A full stack met while importing is held a second longer than elsewhere.
constexpr NoticeTimes kImportFullTimes{12, 5};
constexpr double kMultiClickSeconds = 0.2;
// A button held longer than this is not part of a multi-click; keeps a stuck
// button from holding the import forever.
constexpr double kReleaseLimitSeconds = 10.0;
// Songs this close to their end refuse an import: the dialog would stop the steering.

const dialogs::FileFilter kMp3Filter{"Audio Dateien (*.MP3)", ".mp3"};

void textLines(int x, int y, const std::vector<std::string_view>& lines, int colour) {
    for (auto line : lines) {
        screen::textAt(x, y, screen::cp437(line), colour);
        y += 14;
    }
}

bool buttonDown() {
    return input::readMouse().buttons != 0;
}

// Polls every 3 ms until `down` matches the button state or the time is up.
bool waitForButton(bool down, double seconds) {
    double until = timing::now() + seconds;
    for (;;) {
        if (buttonDown() == down) return true;
        if (timing::now() > until) return false;
        timing::sleepMs(3);
    }
}

void showAbortedBox() {
    screen::fillBox(kAbortX1, kAbortY1, kAbortX2, 379, 2);
    screen::box(kAbortX1, kAbortY1, kAbortX2, 379, 0);
    screen::textAt(704, 308, "ABBRUCH", 15);
    timing::waitSeconds(0.9);
    drawStackView();
}

// After the scan: keep or drop the folder entry, say what happened.
void finishRun(const FolderSlot& folder) {
    if (!importRun.lengthRefused) {
        if (importRun.added)
            drawStackView();
        else
            takeBackFolder(folder);
    }
    announceImportRun(importRun.duplicatesAllowed == 0);
}

// Every folder of the table still holds a song of the lists.
void refuseFullFolderTable() {
    showNotice(notice::kFolderTableFull);
    drawStackView();
}

void scanFolder() {
    if (tracks.stackCount >= maxTracks) {
        showNotice(notice::kStackFull, kImportFullTimes);
        return;
    }
    const FolderSlot folder = claimFolder(importRun.importFolder);
    if (folder.slot == 0) {
        refuseFullFolderTable();
        return;
    }
    beginImportRun(importRun.importFolder);
    importRun.nextProgressTime = timing::now() + 0.5;

    for (const std::string& name : files::listMp3Candidates(importRun.importFolder)) {
        examineImportName(name, folder.slot);
        if (tracks.stackCount >= maxTracks) {
            showNotice(notice::kStackFull);
            break;
        }
        if (abortRequested()) {
            importRun.aborted = true;
            break;
        }
        if (timing::now() > importRun.nextProgressTime) {
            importRun.nextProgressTime = timing::now() + kProgressSeconds;
            progressRedraw();
        }
        if (currentChannelOpen()) keepMusicGoing();
    }
    drawStackView();
    if (tracks.stackCount >= maxTracks) return;
    finishRun(folder);
}

} // namespace

// A message box over the stack list.
void stackAreaBox(const std::vector<std::string_view>& lines) {
    int x1 = kStackLeft + 20, y1 = kStackTop + 40, x2 = kStackRight - 20;
    int y2 = y1 + 20 + 14 * int(lines.size());
    screen::fillBox(x1, y1, x2, y2, 31);
    screen::box(x1, y1, x2, y2, 0);
    textLines(x1 + 12, y1 + 12, lines, 0);
}

bool lockedNearSongEnd() {
    if (!nearSongEnd()) return false;
    stackAreaBox({"Funktion jetzt gesperrt !", "Kurz vor Liedende."});
    listViews.lockBoxShown = true;
    listViews.stackRedrawPending = true;
    listViews.stackRedrawTime = timing::now() + 24.0;
    return true;
}

bool detectTripleClick() {
    for (int press = 1; press <= 3; ++press) {
        if (!waitForButton(true, kMultiClickSeconds)) return false;
        if (press == 3) return true;
        if (!waitForButton(false, kReleaseLimitSeconds)) return false;
    }
    return false;
}

void showLoadBox(const std::vector<std::string_view>& idleLines, bool tripleClick) {
    const bool running = transport.playerRunning != 0;
    std::vector<std::string_view> lines = idleLines;
    if (running)
        lines = {"Bitte BEEILEN mit dem", "LOAD-Dialog .........", "MP3 läuft weiter,",
                 "aber ohne Steuerung."};
    if (tripleClick) lines.push_back("Folgt SHUFFLE und PLAY.");
    stackAreaBox(lines);
    timing::waitSeconds(running ? 0.4 : 0.2);
}

std::string folderOf(const std::string& path) {
    return pathrules::folderOf(path);
}

// Reads one key and the mouse; true when the user asked to stop. A scan never
// sleeps, so a stop signal is looked for here.
bool abortRequested() {
    backend::endIfStopRequested();
    std::string key = input::readKey();
    if (input::endsSession(key)) requestEndSession();
    input::Mouse m = input::readMouse();
    bool clickInBox =
        m.buttons != 0 && m.x > kAbortX1 && m.x < kAbortX2 && m.y > kAbortY1 && m.y < kAbortY2;
    if (key.empty() && !clickInBox) return false;
    showAbortedBox();
    return true;
}

void progressRedraw() {
    if (listViews.stackFirstShown == 0 && importRun.added) listViews.stackFirstShown = 1;
    drawStackView();
    drawAbortBox();
}

void drawAbortBox() {
    if (controlPanel.rightTab != 1) return;
    screen::fillBox(kAbortX1, kAbortY1, kAbortX2, kAbortY2, 2);
    screen::box(kAbortX1, kAbortY1, kAbortX2, kAbortY2, 0);
    screen::textAt(704, 308, "Abbruch ?", 15);
    importRun.abortBoxPhase ^= 1;
    screen::fillBox(804, 308, 814, 318, importRun.abortBoxPhase ? 21 : 2);
    importRun.sortAbortBoxTime = timing::now() + 0.5;
}

bool importFolder() {
    importRun.duplicatesAllowed = tracks.allowDuplicates;
    importRun.tripleClick = false;
    if (lockedNearSongEnd()) return false;
    importRun.tripleClick = detectTripleClick();

    bool running = transport.playerRunning != 0;
    showLoadBox({"LOAD ganzer Ordner", "Nur EINE Datei anklicken."}, importRun.tripleClick);

    auto path = dialogs::openFile("Ganzer Ordner (MP3)", kMp3Filter, importRun.importFolder);
    if (running) drawStackView();
    if (!path) {
        showNotice(notice::kNoFolder);
        drawStackView();
        return importRun.tripleClick;
    }
    importRun.importFolder = folderOf(*path);
    scanFolder();
    if (listViews.lockBoxShown) drawStackView();
    return importRun.tripleClick;
}

bool importOneFile() {
    importRun.duplicatesAllowed = tracks.allowDuplicates;
    if (lockedNearSongEnd()) return true; // refused, not cancelled: no "no file chosen" notice
    if (transport.playerRunning != 0) {
        stackAreaBox({"Bitte BEEILEN mit dem", "LOAD-Dialog ........."});
        timing::waitSeconds(0.5);
    }
    auto path = dialogs::openFile("EINE Datei (MP3)", kMp3Filter, importRun.importFolder);
    if (!path) {
        importRun.currentFileName.clear();
        drawStackView();
        return false;
    }
    std::string folder = folderOf(*path);
    importRun.currentFileName = path->substr(folder.size());

    if (controlPanel.rightTab != 5 && importRun.currentFileName.size() > 5) {
        if (tracks.stackCount >= maxTracks) {
            showNotice(notice::kStackFull, kImportFullTimes);
        } else {
            const FolderSlot slot = claimFolder(folder);
            if (slot.slot == 0) {
                refuseFullFolderTable();
            } else {
                beginImportRun(folder);
                examineImportName(importRun.currentFileName, slot.slot);
                if (importRun.added)
                    drawStackView();
                else
                    takeBackFolder(slot);
                announceImportRun(importRun.duplicatesAllowed == 0);
            }
        }
    } else {
        importRun.importFolder = folder;
    }
    if (listViews.lockBoxShown) drawStackView();
    return true;
}
