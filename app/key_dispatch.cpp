#include "app/key_dispatch.h"

#include "analysis/envelope.h"
#include "app/main_loop.h"
#include "app/mouse_dispatch.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "playback/transport.h"
#include "ui/control_panel.h"
#include "ui/list_views.h"

KeyDispatch keyDispatch;

namespace {

using input::kCtrlA, input::kCtrlC, input::kCtrlN, input::kCtrlP, input::kCtrlS, input::kEsc;
// Moving the current song's view by less than this snaps it back to the song.
constexpr int kSnapRows = 4;

struct Key {
    std::string code;
    bool shift = false;
};

bool is(const Key& k, char c) {
    return k.code.size() == 1 && k.code[0] == c;
}
bool isExtended(const Key& k, char letter) {
    return k.code == input::extendedKey(letter);
}

int32_t currentPositionMs() {
    int p = tracks.playPosition;
    return p >= 1 && p < kTrackSlots ? tracks.playlist[size_t(p)].positionMs : 0;
}

void deleteFromPlaylist() {
    removePlaylistSelection(keyDispatch.stackMoveMode, currentChannelOpen());
    if (tracks.playlistTop > tracks.playlistCount - 6)
        tracks.playlistTop = std::max(tracks.playlistCount - 6, tracks.playPosition);
    drawPlaylistView();
}

void moveOnWithoutPlaying() {
    noteSongChange();
    shiftEnvelopesOnAdvance();
    ++tracks.playlistTop;
    ++tracks.playPosition;
    drawPlaylistView();
}

void stopAndMoveOn() {
    stopWithFade();
    transport.playerRunning = 0;
}

void stayAndRedraw() {
    stopAndStay();
    transport.playerRunning = 0;
    drawPlaylistView();
}

struct Row {
    bool (*matches)(const Key&);
    void (*act)(const Key&);
};

// Walked in order; the first row that matches acts.
const Row kRows[] = {
    {[](const Key& k) { return isExtended(k, input::kLeft) || isExtended(k, input::kRight); },
     [](const Key& k) { scrollStack(isExtended(k, input::kLeft) ? -1 : 1); }},
    {[](const Key& k) { return isExtended(k, input::kUp) || isExtended(k, input::kDown); },
     [](const Key& k) { scrollPlaylist(isExtended(k, input::kUp) ? -1 : 1); }},
    {[](const Key& k) { return is(k, kCtrlC); }, [](const Key&) { drawPlaylistView(); }},
    {[](const Key& k) { return is(k, kEsc); },
     [](const Key&) {
         clearSelections();
         drawControlPanel();
     }},
    {[](const Key& k) { return is(k, kCtrlA); }, [](const Key&) { selectAll(); }},
    {[](const Key& k) { return isExtended(k, input::kDel); },
     [](const Key&) { deleteFromPlaylist(); }},
    {[](const Key& k) {
         return is(k, kCtrlN) && k.shift && currentChannelOpen() && transport.blendNow == 0 &&
                transport.autoPlay == 1;
     },
     [](const Key&) {
         if (currentPositionMs() > 2000) transport.blendNow = 1;
     }},
    {[](const Key& k) {
         return is(k, kCtrlN) && k.shift && !currentChannelOpen() && transport.blendNow == 0;
     },
     [](const Key&) { moveOnWithoutPlaying(); }},
    {[](const Key& k) {
         return is(k, kCtrlS) && k.shift && currentChannelOpen() && transport.blendNow == 0;
     },
     [](const Key&) { stopAndMoveOn(); }},
    {[](const Key& k) {
         return is(k, kCtrlP) && transport.playerRunning == 0 && !currentChannelOpen() &&
                tracks.playPosition <= tracks.playlistCount && !k.shift;
     },
     [](const Key&) { play(); }},
    {[](const Key& k) { return is(k, kCtrlP) && currentChannelOpen() && k.shift; },
     [](const Key&) { stayAndRedraw(); }},
    {[](const Key& k) { return is(k, kCtrlS); }, [](const Key&) { stayAndRedraw(); }},
    {[](const Key& k) {
         return isExtended(k, input::kCtrlRight) && k.shift && currentChannelOpen();
     },
     [](const Key&) { jumpForward(); }},
    {[](const Key& k) {
         return isExtended(k, input::kCtrlLeft) && k.shift && currentChannelOpen() &&
                currentPositionMs() > 1000;
     },
     [](const Key&) { jumpBack(); }},
};

} // namespace

void stopAndStay() {
    transport.stayOnSong = 1;
    stopWithFade();
    transport.stayOnSong = 0;
}

void dispatchKey() {
    Key key{mainLoop.keyString, mainLoop.keyShifted || mouseDispatch.forceShift == 1};
    input::discardKeys();
    if (isExtended(key, input::kClose)) endSession();
    for (const Row& row : kRows)
        if (row.matches(key)) {
            row.act(key);
            break;
        }
    mainLoop.keyString.clear();
    // Keys typed while a command ran are dropped: commands never queue.
    while (!input::readKey().empty())
        timing::sleepMs(3);
}

void injectKey(const std::string& code) {
    mainLoop.keyString = code;
    dispatchKey();
}

void scrollPlaylist(int keyStep) {
    int wheel = input::readMouse().wheel;
    int d = keyStep != 0 ? keyStep : keyDispatch.lastWheel - wheel;
    if (tracks.playlistCount == 0) return;
    bool atCurrent = tracks.playlistTop == tracks.playPosition;
    if (atCurrent && d <= 0) {
        keyDispatch.lastWheel = wheel;
        return;
    }
    if (d == 0) return;
    tracks.playlistTop += (d > 0 ? 1 : -1) * (atCurrent ? 7 : 11);
    keyDispatch.lastWheel = wheel;
    if (tracks.playlistTop > tracks.playlistCount) tracks.playlistTop = tracks.playlistCount;
    if (tracks.playlistTop < tracks.playPosition + kSnapRows) {
        tracks.playlistTop = tracks.playPosition;
        tracks.playlistScrolledByHand = false;
    } else {
        tracks.playlistScrolledByHand = true;
    }
    drawPlaylistView();
    tracks.playlistScrollTime = timing::now();
}

void scrollStack(int keyStep) {
    if (tracks.stackCount == 0) return;
    int wheel = input::readMouse().wheel;
    int d = keyStep != 0 ? keyStep : keyDispatch.lastWheel - wheel;
    int first = listViews.stackFirstShown + d * 20;
    if (first > tracks.stackCount - 19) first = tracks.stackCount - 19;
    if (first < 1) first = 1;
    listViews.stackFirstShown = first;
    drawStackView();
    keyDispatch.lastWheel = wheel;
}

void backToStackClick(int x) {
    if (!(x > 469 && x < 587)) return;
    keyDispatch.stackMoveMode = kRemoveToStack;
    injectKey(input::extendedKey(input::kDel));
    drawStackView();
    keyDispatch.stackMoveMode = kRemoveDelete;
}
