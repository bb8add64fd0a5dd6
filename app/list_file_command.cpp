#include "app/list_file_command.h"

#include <cctype>
#include <optional>
#include <string>

#include "app/import_command.h"
#include "lists/import.h"
#include "lists/playlist_file.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/path_rules.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/list_views.h"

namespace {

constexpr double kProgressSeconds = 1.0;
constexpr double kBoxSeconds = 0.3;

const dialogs::FileFilter kListFilter{"Spielliste Klangkelter (*.PYL)", ".pyl"};

bool endsInPyl(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".PYL";
}

bool betweenListSongs() {
    if (abortRequested()) {
        importRun.aborted = true;
        return true;
    }
    if (timing::now() > importRun.nextProgressTime) {
        importRun.nextProgressTime = timing::now() + kProgressSeconds;
        progressRedraw();
    }
    return false;
}

} // namespace

void savePlaylistFile() {
    if (!playlistWorthSaving()) {
        showNotice(notice::kSaveTooLittle);
        return;
    }
    const bool running = transport.playerRunning != 0;
    if (running) {
        stackAreaBox({"Bitte BEEILEN mit dem", "SAVE-Dialog ........."});
        timing::waitSeconds(kBoxSeconds);
    }
    stackAreaBox({"Spielliste SPEICHERN.", "Eine Kopie der Spielliste", "ab momentaner Position."});
    timing::waitSeconds(kBoxSeconds);

    const auto chosen =
        dialogs::saveFile("Spielliste speichern", kListFilter, importRun.importFolder);
    if (running) drawStackView();
    // A folder is no file name; the dialog was as good as cancelled.
    if (!chosen || chosen->empty() || pathrules::isSeparator(chosen->back())) {
        drawStackView();
        return;
    }
    importRun.importFolder = folderOf(*chosen);
    std::string path = *chosen;
    if (!endsInPyl(path)) path += ".PYL";
    notices.savedListPath = path;
    if (files::writeFileAtomically(path, playlistFileText()))
        showNotice(notice::kListSaved);
    else
        showNotice(notice::kSaveFailed);
    drawStackView();
}

ListLoadOutcome loadPlaylistFile() {
    ListLoadOutcome outcome;
    importRun.duplicatesAllowed = tracks.allowDuplicates;
    importRun.tripleClick = false;
    if (lockedNearSongEnd()) {
        outcome.locked = true;
        return outcome;
    }
    importRun.tripleClick = outcome.tripleClick = detectTripleClick();
    showLoadBox({"LOAD Spielliste"}, outcome.tripleClick);

    const auto path = dialogs::openFile("Spielliste laden", kListFilter, importRun.importFolder);
    drawStackView();
    if (!path) {
        showNotice(notice::kNoListChosen);
        return outcome;
    }
    if (!endsInPyl(*path)) {
        notices.noticeNumber = 0;
        showNotice(notice::kListInvalid);
        drawStackView();
        return outcome;
    }
    importRun.importFolder = folderOf(*path);
    importRun.nextProgressTime = timing::now() + kProgressSeconds;
    outcome.existenceFailed = loadPlaylistFileInto(*path, betweenListSongs).existenceFailed;
    return outcome;
}
