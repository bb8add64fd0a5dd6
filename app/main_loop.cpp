#include "app/main_loop.h"

#include <cstdio>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "app/end_box.h"
#include "app/hover.h"
#include "app/import_command.h"
#include "app/key_dispatch.h"
#include "app/loop_input.h"
#include "app/mouse_dispatch.h"
#include "app/session_file.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/layout.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/crossfade.h"
#include "playback/gongs.h"
#include "playback/preview.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/compressor_view.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"
#include "ui/gong_view.h"
#include "ui/list_views.h"
#include "ui/notice_view.h"
#include "ui/time_display.h"
#include "ui/transport_view.h"

MainLoop mainLoop;

// The pointer must rest this long before the hover help follows it.
constexpr double kHoverDelaySeconds = 0.25;
constexpr double kSnapBackSeconds = 120.0;
constexpr double kDeviceRetrySeconds = 5.0;

void endSession() {
    mainLoop.endRequested = false;
    runEndBox();
}

void requestEndSession() {
    mainLoop.endRequested = true;
    showEndBoxEarly();
}

// The displays of the music that go on by themselves: end clock, envelope
// strip, progress bar; each draws only when its time has come.
static void drawDueDisplays() {
    drawEndClock();
    drawEnvelopeStripWhenDue();
    if (transport.channelOpen[0] == 1 || transport.channelOpen[1] == 1) drawProgress(0);
}

void keepMusicGoing() {
    backend::endIfStopRequested();
    tickCompressorWhenDue();
    drawDueDisplays();
    if (currentChannelOpen())
        superviseTransport();
    else
        trackPlayingPosition();
}

namespace {

// The core's redraw requests, drawn at once where they are raised.
void redraw(hooks::Redraw what, int arg) {
    using hooks::Redraw;
    switch (what) {
    case Redraw::PlaylistView:
        drawPlaylistView();
        break;
    case Redraw::StackView:
        drawStackView();
        break;
    case Redraw::Progress:
        drawProgress(arg);
        break;
    case Redraw::ProgressAfterJump:
        timeDisplay.barJumped = 1;
        timeDisplay.nextBarTime[0] = 0;
        drawProgress(0);
        break;
    case Redraw::EnvelopeStrip:
        drawEnvelopeStripWhenDue();
        break;
    case Redraw::EndClock:
        drawEndClock();
        break;
    case Redraw::FadeIndicator:
        drawFadeIndicator(arg != 0);
        break;
    case Redraw::PauseCountdownBox:
        drawCountdownBox();
        break;
    case Redraw::PauseCountdownSeconds:
        drawCountdownSeconds();
        break;
    case Redraw::PauseSecondsButton:
        drawPauseSecondsButton();
        break;
    case Redraw::CompressorButton:
        drawCompressorButton();
        break;
    case Redraw::CompressorBars:
        screen::lock();
        drawCompressorBars();
        screen::unlock();
        break;
    case Redraw::WorkingLabel:
        drawWorkingLabel(arg);
        break;
    case Redraw::StaleBand:
        drawStaleBand(arg);
        break;
    case Redraw::PlayLabel:
        drawPlayLabel();
        break;
    case Redraw::RefusedSign:
        drawRefusedSign();
        break;
    case Redraw::BusySign:
        drawAbortBox();
        break;
    case Redraw::GongPanel:
        drawGongPanel();
        break;
    case Redraw::GongCard:
        drawGongCard(arg);
        break;
    case Redraw::GongTabMarker:
        drawGongTabMarker(arg);
        break;
    case Redraw::VorhButton:
        drawVorhButton();
        break;
    case Redraw::Notice:
        drawNotice();
        break;
    }
}

// A close button pressed meanwhile waits in the key buffer for the loop.
void keepDisplaysGoing() {
    if (currentChannelOpen()) {
        drawProgress(0);
        drawEnvelopeStripWhenDue();
    }
}

bool autoPlayOn() {
    return transport.autoPlay != 0;
}

bool gongPanelOnScreen() {
    return controlPanel.rightTab == 5;
}

ListFacts listFacts() {
    return {tracks.allowDuplicates == 0, tracks.playlistCount >= maxTracks};
}

} // namespace

void installHooks() {
    hooks::install({redraw, keepMusicGoing, keepDisplaysGoing, requestEndSession,
                    [] { saveSessionQuietly(); }, loopPointer, loopKey, loopDropKeys,
                    loopGongClicks});
    setAutoPlayQuery(autoPlayOn);
    setRemovalHandler(shiftEnvelopesOnDelete);
    setOrderChangeHandler(followPlaylistOrder);
    setListFactsQuery(listFacts);
    setGongPanelQuery(gongPanelOnScreen);
    installHelpFacts();
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
    if (notices.noticeId != notice::kCompressorWarning) return;
    if (++mainLoop.alarmBlinkCounter <= 20) return;
    mainLoop.alarmBlinkCounter = 0;
    mainLoop.alarmBlinkPhase ^= 1;
    // The alarm box sits inside the notice box's upper right corner.
    screen::fillBox(kNoticeRight - 20, kNoticeTop + 10, kNoticeRight - 8, kNoticeTop + 22,
                    mainLoop.alarmBlinkPhase == 1 ? 0 : 30);
}

static void readKeys() {
    mainLoop.keyString = input::readKey();
    mainLoop.keyShifted = input::lastKeyShifted();
    const bool ctrlX = mainLoop.keyString.size() == 1 && mainLoop.keyString[0] == input::kCtrlX;
    if (ctrlX) mainLoop.keyString.clear();
    if (ctrlX || mainLoop.endRequested) endSession();
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
    if (tracks.playlistScrolledByHand &&
        timing::now() > tracks.playlistScrollTime + kSnapBackSeconds) {
        tracks.playlistTop = tracks.playPosition;
        tracks.playlistScrolledByHand = false;
        drawPlaylistView();
    }
}

static void redrawStackWhenDue() {
    if (listViews.stackRedrawPending && timing::now() > listViews.stackRedrawTime) {
        if (controlPanel.rightTab == 5)
            drawGongPanel();
        else
            drawStackView();
        listViews.stackRedrawPending = false;
    }
}

// Without a device the playlist goes on silently; nobody must take that for
// the music playing. A sound server restarted or a speaker plugged in again
// is found by itself: the device is tried every few seconds.
static void watchAudioDevice() {
    bool silent = audio::sinkName() == "silent";
    if (silent && !mainLoop.audioSilent) {
        std::fprintf(stderr,
                     "klangkelter: no audio device (%s); the playlist plays on without sound\n",
                     audio::deviceError().c_str());
        mainLoop.nextDeviceTry = timing::now() + kDeviceRetrySeconds;
    }
    if (silent && (timing::now() >= mainLoop.nextDeviceTry || audio::deviceAddedSinceLastTry())) {
        mainLoop.nextDeviceTry = timing::now() + kDeviceRetrySeconds;
        if (audio::reopenDevice()) {
            silent = false;
            std::fprintf(stderr, "klangkelter: the audio device is back; the music goes on\n");
            showNotice(notice::kAudioDeviceBack);
            mainLoop.nextSilentNotice = 0;
        }
    }
    mainLoop.audioSilent = silent;
    if (!silent || timing::now() < mainLoop.nextSilentNotice) return;
    // Said again as often as the notice lasts.
    mainLoop.nextSilentNotice = timing::now() + noticeTimes(notice::kNoAudioDevice).idle;
    showNotice(notice::kNoAudioDevice);
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
    // The dispatch looks at the mouse on every pass; only the transport's
    // loops, which look less often, need the presses that came between.
    input::takePress();
    if (input::state.mouse.buttons != 0) dispatchMouse();
    if (!mainLoop.keyString.empty()) dispatchKey();
    previewUpkeep();
    stopWhenPlaylistPlayedOut();
    watchAudioDevice();
    tickCompressorWhenDue();
    drawDueDisplays();
    if (currentChannelOpen() || transport.blendNow != 0) superviseTransport();
    transport.blendNow = 0;
    keepPlaylistEndless();
    serviceDecoder();
    timing::sleepMs(5);
    serviceTriggers();
    snapBackPlaylist();
    screen::setColors(0, 15);
    redrawStackWhenDue();
    recomputeTriggersWhenDue(currentChannelOpen());
    serviceTriggerBlink();
    if (timing::now() > notices.hoverResumeTime) trackHover();
    pollGongs();
    blinkGongTab();
    watchLateFolders();
    autosaveWhenDue();
    ++mainLoop.passes;
}

void runMainLoop() {
    for (;;)
        runPass();
}
