#include "app/main_loop.h"

#include "app/mouse_dispatch.h"
#include "lists/list_views.h"
#include "lists/tracks.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "texts/notices.h"

MainLoop mainLoop;

// The pointer must rest this long before the hover help follows it.
constexpr double kHoverDelaySeconds = 0.25;
constexpr char kCtrlX = 24;

void endSession() { throw backend::RunEnd{}; }

void keepMusicGoing() {
    // The transport and compressor steps run here once the player steers songs.
}

static void keepCurrentSongInView() {
    if (tracks.playlistCount - tracks.playPosition < 5 &&
        tracks.playlistTop != tracks.playPosition) {
        tracks.playlistTop = tracks.playPosition;
        drawPlaylistView();
    }
}

// Counts passes, not time, so the alarm blinks faster on a busy loop.
static void blinkCompressorAlarm() {
    if (notices.noticeId != kCompressorWarningNotice) return;
    if (++mainLoop.alarmBlinkCounter <= 20) return;
    mainLoop.alarmBlinkCounter = 0;
    mainLoop.alarmBlinkPhase ^= 1;
    screen::fillBox(kNoticeBoxRight - 20, kNoticeBoxTop + 10, kNoticeBoxRight - 8,
                    kNoticeBoxTop + 22, mainLoop.alarmBlinkPhase == 1 ? 0 : 30);
}

static void readKeys() {
    mainLoop.keyString = input::readKey();
    if (mainLoop.keyString.size() == 1 && mainLoop.keyString[0] == kCtrlX) endSession();
}

static void readMouse() {
    input::Mouse m = input::readMouse();
    if (m.x != mainLoop.lastMouseX || m.y != mainLoop.lastMouseY) {
        mainLoop.lastMouseX = m.x;
        mainLoop.lastMouseY = m.y;
        mainLoop.hoverDeadline = timing::now() + kHoverDelaySeconds;
    }
}

static void dispatchKey() {
    if (mainLoop.keyString == input::extendedKey(input::kClose)) endSession();
}

static void redrawStackWhenDue() {
    if (mainLoop.stackRedrawPending && timing::now() > mainLoop.stackRedrawTime) {
        drawStackView();
        mainLoop.stackRedrawPending = false;
    }
}

static void stopWhenPlaylistPlayedOut() {
    if (tracks.playPosition > tracks.playlistCount) transport.playerRunning = 0;
}

void runPass() {
    keepCurrentSongInView();
    blinkCompressorAlarm();
    readKeys();
    readMouse();
    if (input::state.mouse.buttons != 0) dispatchMouse();
    if (!mainLoop.keyString.empty()) dispatchKey();
    stopWhenPlaylistPlayedOut();
    timing::sleepMs(5);
    screen::setColors(0, 15);
    redrawStackWhenDue();
    ++mainLoop.passes;
}

void runMainLoop() {
    for (;;)
        runPass();
}
