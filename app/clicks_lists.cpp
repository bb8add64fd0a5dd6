// The clicks on the lists, the list files and the tabs.
#include "app/clicks.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/import_command.h"
#include "app/key_dispatch.h"
#include "app/list_file_command.h"
#include "app/mouse_dispatch.h"
#include "app/session_file.h"
#include "lists/list_ops.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/preview.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/gong_view.h"
#include "ui/info_pages.h"
#include "ui/list_views.h"
#include "ui/notice_view.h"

namespace clicks {

constexpr double kSaveRepeatSeconds = 20;
// The playlist view's colour between the cards: a click there means nothing.
constexpr int kPlaylistGapColour = 57;

void loadAndPlay(double waitBeforePlay);

void clickLoadFolder() {
    const bool tripleClick = importFolder();
    if (!mouseDispatch.shift && tripleClick) loadAndPlay(0.06);
    lock(0.3);
}

void clickLoadOne() {
    if (!importOneFile()) showNotice(notice::kNoFile);
    lock(0.3);
}

// AUTOSAVE: one save in 20 s, so that a nervous double click does not write twice.
void clickSave() {
    const double now = timing::now();
    if (now < sessionFile.saveRepeatUntil) {
        notices.noticeNumber = int(sessionFile.saveRepeatUntil - now);
        showNotice(notice::kSaveRepeat);
        return;
    }
    if (writeAutosave()) sessionFile.saveRepeatUntil = timing::now() + kSaveRepeatSeconds;
    drawSaveButton();
    lock(0.3);
}

void clickSaveList() {
    savePlaylistFile();
    drawStackView();
    lock(0.3);
}

// A list that was not there, or whose last song was not, cancels the triple click.
void clickLoadList() {
    const int stackBefore = tracks.stackCount;
    const ListLoadOutcome load = loadPlaylistFile();
    if (load.existenceFailed) {
        showNotice(notice::kListNotFound);
        return;
    }
    if (!load.locked) {
        if (!load.tripleClick)
            drawStackView();
        else if (tracks.stackCount > stackBefore)
            loadAndPlay(0);
    }
    lock(0.3);
}

void clickStackTab() {
    drawStackView();
    lock(0.1);
}

// A long click, or Ctrl+Alt, on a list entry in preview mode listens into it
// while the player is stopped; an empty path (no entry there) plays nothing.
// Also while a song plays, so that the refusal says why nothing plays.
bool previewChosen() {
    return (mouseDispatch.ctrl && mouseDispatch.alt) || detectLongClick();
}

void previewListClick(const std::string& path, double lockSeconds) {
    if (transport.playerRunning != 0) {
        showNotice(notice::kPreviewRefused);
        // The held click must not go on to select the entry.
        while (input::readMouse().buttons != 0) {
            hooks::keepMusicGoing();
            timing::sleepMs(10);
        }
    } else if (!path.empty()) {
        previewFile(path, input::readMouse().buttons != 0);
    }
    lock(lockSeconds);
}

// Preview mode in the stack: anything but a long click falls through to the
// stack's own rows.
void clickStackPreview() {
    if (!previewChosen()) {
        mouseDispatch.fallThrough = true;
        return;
    }
    const int slot = stackSlotAt(mouseDispatch.y);
    previewListClick(slot >= 1 && slot <= tracks.stackCount ? fullPath(tracks.stack[size_t(slot)])
                                                            : std::string(),
                     0.2);
}

void clickVorh() {
    toggleVorh();
    lock(0.2);
}

int infoTabUnderPointer() {
    for (int tab = kFirstInfoTab; tab <= kLastInfoTab; ++tab)
        if (inside(kTabRects[tab])) return tab;
    return 0;
}

void clickInfoTab() {
    drawInfoPage(infoTabUnderPointer());
    lock(0.2);
}

void clickGongTab() {
    drawGongPanel();
    lock(0.2);
}

void clickSelectAll() {
    selectAll();
    lock(0.1);
}

void clickSendArrow() {
    sendToPlaylist();
    lock(0.2);
}

// "3x Klick" on a LOAD button: everything new goes into the playlist in a
// random order, and a stopped player starts.
void loadAndPlay(double waitBeforePlay) {
    shuffleStack();
    for (int i = 1; i <= tracks.stackCount; ++i)
        tracks.stack[size_t(i)].stackMark = kMarkSelected;
    sendToPlaylist();
    drawStackView();
    timing::waitSeconds(waitBeforePlay);
    if (transport.playerRunning == 0) injectKey(std::string(1, input::kCtrlP));
}

void clickPlaylistShuffle() {
    if (tracks.playlistCount < tracks.playPosition + 6) return;
    shufflePlaylist();
    lock(0.3);
}

bool inStackList() {
    const auto& m = mouseDispatch;
    return stackTabShown() && m.x > kStackLeft && m.x < kStackScrollRect.x1 && m.y > kStackTop &&
           m.y < kStackBottom;
}

void clickStackRow() {
    notices.noticeId = notice::kStackListHelp;
    notices.noticeIdleTime = timing::now() + 12;
    const int slot = stackSlotAt(mouseDispatch.y);
    if (mouseDispatch.shift)
        selectStackRange(slot);
    else
        selectStackEntry(slot);
    drawNotice();
    lock(0.25);
}

void clickStackRowWithCtrl() {
    clearDuplicateMark(stackSlotAt(mouseDispatch.y));
    lock(0.25);
}

bool inPlaylistList() {
    return inside(kPlaylistArea);
}

// The pixel colours of the playlist header: its labels and the ZUM STAPEL
// button, and the empty space between cards.
bool onHeaderPixel(int colour) {
    return colour == 9 || colour == 1 || colour == 43;
}

void clickPlaylistRow() {
    const auto& m = mouseDispatch;
    if (preview.previewMode == 1) {
        if (!previewChosen()) return;
        const int slot = playlistSlotAt(m.y);
        const bool song = slot >= 1 && slot <= tracks.playlistCount;
        previewListClick(song ? fullPath(tracks.playlist[size_t(slot)]) : std::string(), 0.1);
        return;
    }
    if (!m.ctrl) showNotice(notice::kPlaylistHelp);
    const int colour = screen::pixel(m.x, m.y);
    if (colour == kPlaylistGapColour) {
        lock(0.09);
        return;
    }
    const bool currentView = tracks.playlistTop == tracks.playPosition;
    const bool inCurrentArea = currentView && m.y < 289;
    const int slot = playlistSlotAt(m.y);
    if (inCurrentArea && slot == tracks.playPosition && currentChannelOpen()) {
        const PlaylistEntry& song = tracks.playlist[size_t(slot)];
        if (song.lengthMs * song.rightTrigger - song.positionMs < 30000) {
            showRefusedSign();
            lock(0.12);
            return;
        }
    }
    if (slot == 0) {
        lock(0.2);
        return;
    }
    if (!m.ctrl && !m.alt) {
        if (onHeaderPixel(colour)) {
            backToStackClick(m.x);
        } else {
            selectPlaylistSong(slot, m.shift, currentChannelOpen(), inCurrentArea);
        }
        lock(0.2);
        return;
    }
    if (tracks.playlist[size_t(slot)].playlistSelected == 1) {
        lock(0.2);
        return;
    }
    if (insertOrReorder(slot, currentChannelOpen()) == PlaylistClick::Refused) showRefusedSign();
    drawPlaylistView();
    drawStackView();
    lock(0.25);
}

void clickNameSort() {
    sortStack(true);
    drawStackView();
    lock(0.2);
}

void clickLengthSort() {
    sortStack(false);
    drawStackView();
    lock(0.2);
}

void clickStackDelete() {
    if (tracks.stackCount == 0) return;
    if (listViews.lockBoxShown) drawStackView(); // the redraw clears the import's lock box
    deleteFromStack();
    if (listViews.stackFirstShown + 5 > tracks.stackCount)
        listViews.stackFirstShown = std::max(1, int(tracks.stackCount) - 5);
    drawStackView();
    lock(0.2);
}

void clickStackShuffle() {
    shuffleStack();
    lock(0.2);
}

void clickDoub() {
    toggleDuplicates();
    lock(0.2);
}

// A scroll bar maps the pointer's height to the whole list; near either end
// it snaps so that the first or the last page is shown complete.
int scrollBarTop(int barTop, double barHeight, int count, int lastPageRows) {
    int top = roundEven((mouseDispatch.y - barTop) * double(count) / barHeight);
    if (top < 10) top = 1;
    if (top > count - lastPageRows) top = count - lastPageRows;
    return std::max(top, 1);
}

void clickStackScrollBar() {
    listViews.stackFirstShown = scrollBarTop(kStackScrollRect.y1, 312, tracks.stackCount, 15);
    drawStackView();
    lock(0.2);
}

void clickPlaylistScrollBar() {
    tracks.playlistTop = scrollBarTop(kPlaylistBarY1, 391, tracks.playlistCount, 5);
    drawPlaylistView();
    lock(0.2);
}

bool onPlaylistScrollBar() {
    const auto& m = mouseDispatch;
    return m.x >= kPlaylistBarX1 && m.x <= kPlaylistBarX2 && m.y > kPlaylistBarY1 &&
           m.y <= kPlaylistBarY2;
}

} // namespace clicks
