#include "app/main_loop.h"

#include "analysis/compressor.h"
#include "analysis/decoder.h"
#include "analysis/envelope_view.h"
#include "analysis/triggers.h"
#include "app/control_panel.h"
#include "app/hover.h"
#include "app/key_dispatch.h"
#include "app/mouse_dispatch.h"
#include "lists/list_views.h"
#include "lists/tracks.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "playback/crossfade.h"
#include "playback/time_display.h"
#include "playback/transport.h"
#include "texts/notices.h"

MainLoop mainLoop;

// The pointer must rest this long before the hover help follows it.
constexpr double kHoverDelaySeconds = 0.25;
constexpr char kCtrlX = 24;
constexpr double kSnapBackSeconds = 120.0;

void endSession() {
    throw backend::RunEnd{};
}

bool endsSession(const std::string& key) {
    return key == input::extendedKey(input::kClose) || key == std::string(1, kCtrlX);
}

void keepMusicGoing() {
    tickCompressorWhenDue();
    if (transport.channelOpen[transport.currentChannel & 1] == 1)
        superviseTransport();
    else
        trackPlayingPosition();
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

// The wheel scrolls the list under the pointer; the stack only while it is shown.
static void routeWheel() {
    const input::Mouse& m = input::state.mouse;
    if (m.x > 630 && m.wheel != keyDispatch.lastWheel && controlPanel.rightTab == 1) scrollStack();
    if (m.x > 1 && m.x < 623 && m.wheel != keyDispatch.lastWheel) scrollPlaylist();
}

// A playlist scrolled by hand returns to the current song after two quiet minutes.
static void snapBackPlaylist() {
    if (listViews.playlistScrolledByHand &&
        timing::now() > listViews.playlistScrollTime + kSnapBackSeconds) {
        tracks.playlistTop = tracks.playPosition;
        listViews.playlistScrolledByHand = false;
        drawPlaylistView();
    }
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
    if (timing::now() > mainLoop.hoverDeadline) trackHover();
    routeWheel();
    if (input::state.mouse.buttons != 0) dispatchMouse();
    if (!mainLoop.keyString.empty()) dispatchKey();
    stopWhenPlaylistPlayedOut();
    tickCompressorWhenDue();
    drawEndClock();
    drawEnvelopeStripWhenDue();
    if (transport.channelOpen[0] == 1 || transport.channelOpen[1] == 1) drawProgress(0);
    if (transport.channelOpen[transport.currentChannel & 1] == 1 || transport.blendNow != 0)
        superviseTransport();
    transport.blendNow = 0;
    serviceDecoder();
    timing::sleepMs(5);
    serviceTriggers();
    snapBackPlaylist();
    screen::setColors(0, 15);
    redrawStackWhenDue();
    recomputeTriggersWhenDue();
    serviceTriggerBlink();
    if (timing::now() > notices.hoverResumeTime) trackHover();
    ++mainLoop.passes;
}

void runMainLoop() {
    for (;;)
        runPass();
}
