#include "app/mouse_dispatch.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/decoder.h"
#include "analysis/triggers.h"
#include "app/hover.h"
#include "app/import_command.h"
#include "app/key_dispatch.h"
#include "app/list_file_command.h"
#include "app/session_file.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/mci.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/gongs.h"
#include "playback/preview.h"
#include "playback/transport.h"
#include "texts/manual_link.h"
#include "texts/notices.h"
#include "ui/compressor_view.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"
#include "ui/gong_view.h"
#include "ui/info_pages.h"
#include "ui/list_views.h"
#include "ui/notice_view.h"

MouseDispatch mouseDispatch;

namespace {

constexpr double kLameCheckSeconds = 5;
constexpr double kSaveRepeatSeconds = 20;
// Help notices of the two lists, shown on a click into them.
// The playlist view's colour between the cards: a click there means nothing.
constexpr int kPlaylistGapColour = 57;

// The control characters the transport buttons feed into the key dispatch.
const std::string kCtrlN(1, char(14));
const std::string kCtrlP(1, char(16));
const std::string kCtrlS(1, char(19));

bool inside(const Rect& r) {
    return r.contains(mouseDispatch.x, mouseDispatch.y);
}

bool stackTabShown() {
    return controlPanel.rightTab == 1;
}

bool bothChannelsClosed() {
    return transport.channelOpen[0] == 0 && transport.channelOpen[1] == 0;
}

void lock(double seconds) {
    mouseDispatch.clickLockUntil = timing::now() + seconds;
}

// The button shows its pressed colours for as long as the command it feeds runs.
void injectPressed(Button button, void (*draw)(), const std::string& key) {
    controlPanel.pressedButton = button;
    draw();
    injectKey(key);
    controlPanel.pressedButton = Button::None;
    draw();
}

void injectWithShift(const std::string& key) {
    mouseDispatch.forceShift = 1;
    injectKey(key);
    mouseDispatch.forceShift = 0;
}

// Which side of the button's centre the pointer is on: -1 left, +1 right, 0 on it.
int sideOfCentre(const Rect& r) {
    const int centre = (r.x1 + r.x2) / 2;
    return mouseDispatch.x < centre ? -1 : mouseDispatch.x > centre ? 1 : 0;
}

// Thirds of a second up to 2, whole seconds above; the small margins keep a
// value that is a third in binary from slipping to the neighbouring step.
double stepPauseSeconds(double p, int side) {
    if (side < 0)
        p = p < 2.03 ? std::floor(3 * p - 1.002) / 3 : std::floor(p - 0.99);
    else if (side > 0)
        p = p < 2.03 ? std::floor(3 * p + 1.002) / 3 : std::floor(p + 1.01);
    if (p > 4.9) p = std::floor(p + 0.01);
    if (p > 60.1) p = 60;
    if (p < 0) p = 0;
    return p;
}

float stepVolume(float v, int side) {
    if (side < 0) v -= 0.02f;
    if (side > 0) v += 0.02f;
    if (v > 1.0f) v = 1.0f;
    if (v < 0.0f) v = 0.0f;
    return v;
}

// --- Actions -----------------------------------------------------------------

void clickPlay() {
    const auto& m = mouseDispatch;
    // Ctrl+Alt on PLAY rewinds a finished playlist to its first song without playing.
    if (m.ctrl && m.alt && !m.shift && bothChannelsClosed() && tracks.playPosition > 1 &&
        tracks.playlistCount > 1) {
        tracks.playPosition = 1;
        tracks.playlistTop = 1;
        drawPlaylistView();
        lock(0.5);
        return;
    }
    injectPressed(Button::Play, drawPlayButton, kCtrlP);
    lock(0.3);
}

void clickStopToNext() {
    if (bothChannelsClosed()) {
        injectWithShift(kCtrlN);
    } else {
        mouseDispatch.forceShift = 1;
        injectPressed(Button::StopToNext, drawStopToNextButton, kCtrlS);
        mouseDispatch.forceShift = 0;
    }
    lock(0.3);
}

void clickStopToStart() {
    if (bothChannelsClosed()) return;
    mouseDispatch.forceShift = 0;
    injectPressed(Button::StopToStart, drawStopToStartButton, kCtrlS);
    lock(0.3);
}

void clickPause() {
    if (bothChannelsClosed()) return;
    setPauseCue();
    transport.keepPosition = 1;
    injectWithShift(kCtrlP);
    transport.keepPosition = 0;
    lock(0.3);
}

void clickBlende() {
    mouseDispatch.forceShift = 1;
    if (bothChannelsClosed())
        injectKey(kCtrlN);
    else
        injectPressed(Button::Blende, drawBlendeButton, kCtrlN);
    mouseDispatch.forceShift = 0;
    lock(0.3);
}

void clickBlend() {
    transport.blendSetting = int16_t((transport.blendSetting + 1) % 4);
    drawBlendButton();
    lock(0.3);
}

void clickPauseSeconds() {
    transport.pauseSeconds =
        stepPauseSeconds(transport.pauseSeconds, sideOfCentre(kPauseSecondsRect));
    drawPauseSecondsButton();
    lock(0.15);
}

void clickVolume() {
    transport.masterVolume = stepVolume(transport.masterVolume, sideOfCentre(kVolumeRect));
    const float volume = transport.masterVolume * compressor.gain * compressor.duckFactor;
    mciVolume(transport.channelAlias[transport.currentChannel], volume);
    drawVolumeButton();
    lock(0.08);
}

void clickAutoPlay() {
    if (mouseDispatch.ctrl) {
        transport.endless = int16_t(transport.endless ^ 1);
        drawAutoPlayButton();
        lock(0.3);
        return;
    }
    transport.autoPlay = int16_t(transport.autoPlay ^ 1);
    drawAutoPlayButton();
    drawPauseSecondsButton();
    drawBlendeButton();
    drawTriggerButton();
    for (int slot = 0; slot < 3; ++slot)
        computeTriggers(slot);
    drawPlaylistView();
    // The cards of the current view carry the trigger marks that depend on AUTO PLAY.
    if (tracks.playlistTop == tracks.playPosition) drawPlaylistView();
    lock(0.3);
}

void clickCompressor() {
    toggleCompressor();
    lock(0.3);
}

void clickCompressorSetup() {
    buildThresholdCurve(mouseDispatch.buttons);
    compressor.allTicks = 0;
    compressor.heavyTicks = 0;
    drawCompressorButton();
    lock(0.3);
}

// Halves choose the percentage, the upper and lower part the direction.
void clickTrigger() {
    const bool right = mouseDispatch.x >= kTriggerRect.x1 + 35;
    const bool down = mouseDispatch.y >= kTriggerRect.y1 + 60 / 1.8;
    stepTriggerPercent(right ? TriggerSide::Right : TriggerSide::Left, !down);
    drawTriggerButton();
    lock(0.18);
}

void computeAllTriggers() {
    for (int slot = 0; slot < 3; ++slot)
        computeTriggers(slot);
}

void clickLame() {
    if (decoder.lameOn != 0) {
        decoder.lameOn = 0;
        drawTriggerButton();
        for (int slot = 0; slot < 3; ++slot)
            defaultTriggers(slot);
        computeAllTriggers();
        if (!tracks.playlistScrolledByHand) drawPlaylistView();
        drawLameButton();
        lock(0.4);
        return;
    }
    if (!fileExists(paths.lamePath)) {
        drawLameButton();
        lock(0.3);
        return;
    }
    decoder.lameOn = 1;
    drawLameButton();
    computeAllTriggers();
    drawTriggerButton();
    lock(0.4);
}

struct ZoomStep {
    double referenceMs, minLengthMs;
};
constexpr ZoomStep kZoomSteps[4] = {{0, 20000}, {51000, 71000}, {82000, 102000}, {164000, 184000}};

void clickZoom() {
    envelopeView.zoomLevel = int16_t((envelopeView.zoomLevel + 1) % 4);
    const ZoomStep& z = kZoomSteps[envelopeView.zoomLevel];
    envelopeView.zoomReference = z.referenceMs;
    envelopeView.zoomMinLength = z.minLengthMs;
    drawPlaylistView();
    drawZoomButton();
    lock(0.3);
}

// --- Clicks into the card envelopes -------------------------------------------

// Ctrl places the triggers, Ctrl+Shift the start cue; x is the strip position.
struct EnvelopeAction {
    bool shift, needsAutoPlay;
    int xAbove, xBelow;
    void (*place)(int slot, int x, double zoom);
};
constexpr EnvelopeAction kEnvelopeActions[] = {
    {false, true, 4, 234, setLeftTriggerAt},
    {true, false, 12, 264, setStartCueAt},
    {false, false, 272, 602, setRightTriggerAt},
};

// The card whose envelope band is under the pointer, or -1.
int envelopeBand() {
    const auto& m = mouseDispatch;
    if (m.buttons != 1 || tracks.playPosition != tracks.playlistTop || m.x >= 602) return -1;
    for (int k = 0; k < 3; ++k) {
        const int top = kPlaylistY0 + 76 * k;
        if (m.y > top + 14 && m.y < top + 54) return k;
    }
    return -1;
}

const EnvelopeAction* envelopeAction() {
    const auto& m = mouseDispatch;
    if (!m.ctrl || m.alt || envelopeBand() < 0) return nullptr;
    for (const EnvelopeAction& a : kEnvelopeActions)
        if (a.shift == m.shift && (!a.needsAutoPlay || transport.autoPlay == 1) && m.x > a.xAbove &&
            m.x < a.xBelow)
            return &a;
    return nullptr;
}

void refuseWithoutLame() {
    showNotice(notice::kNeedsLame);
}

void clickEnvelope() {
    const int slot = envelopeBand();
    const int entry = std::min(tracks.playPosition + slot, kTrackSlots - 1);
    const double zoom = zoomFactor(tracks.playlist[size_t(entry)].lengthMs);
    const EnvelopeAction* action = envelopeAction();
    // The playing song has started from its cue already.
    if (action->place == setStartCueAt && slot == 0 && transport.playerRunning != 0)
        showRefusedSign();
    else
        action->place(slot, mouseDispatch.x, zoom);
    drawPlaylistView();
    lock(0.3);
}

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

// --- The region table ----------------------------------------------------------

struct Region {
    bool (*applies)();
    void (*act)();
    bool continues = false;   // the dispatch goes on to the next rows
    bool endsPreview = false; // the preview mode ends before the row acts
};

// A row whose click ends the preview mode.
constexpr Region endingPreview(bool (*applies)(), void (*act)()) {
    return {applies, act, false, true};
}

// Walked in order; the first region that applies acts and, unless it
// continues, ends the dispatch.
// Holding the button on a scroll bar repeats its row once per lock period,
// which drags the view along with the pointer.
const Region kRegions[] = {
    {[] { return inStackList() && preview.previewMode == 1 && tracks.stackCount > 0; },
     clickStackPreview},
    endingPreview([] { return inside(kPlayRect) && tracks.playlistCount > 0; }, clickPlay),
    endingPreview([] { return inside(kStopToNextRect); }, clickStopToNext),
    endingPreview([] { return inside(kStopToStartRect); }, clickStopToStart),
    endingPreview([] { return inside(kPauseRect); }, clickPause),
    endingPreview([] { return inside(kBlendeRect) && transport.autoPlay == 1; }, clickBlende),
    endingPreview([] { return inside(kBlendRect); }, clickBlend),
    endingPreview([] { return inside(kPauseSecondsRect); }, clickPauseSeconds),
    {[] { return inside(kVolumeRect); }, clickVolume},
    {[] { return inside(kPlaylistShuffleRect); }, clickPlaylistShuffle},
    endingPreview([] { return inside(kAutoPlayRect); }, clickAutoPlay),
    {[] { return envelopeAction() && decoder.lameOn == 0; }, refuseWithoutLame, true},
    {[] { return envelopeAction() && decoder.lameOn != 0; }, clickEnvelope},
    endingPreview([] { return inside(kCompressorSwitchRect); }, clickCompressor),
    endingPreview([] { return inside(kCompressorSetupRect); }, clickCompressorSetup),
    endingPreview([] { return inside(kTriggerRect); }, clickTrigger),
    endingPreview([] { return inside(kZoomRect); }, clickZoom),
    {[] { return inside(kSaveRect); }, clickSave},
    endingPreview([] { return stackTabShown() && inside(kSaveListRect); }, clickSaveList),
    endingPreview([] { return stackTabShown() && inside(kLoadListRect) && !mouseDispatch.shift; },
                  clickLoadList),
    endingPreview([] { return stackTabShown() && inside(kLoadFolderRect); }, clickLoadFolder),
    endingPreview([] { return stackTabShown() && inside(kLoadOneRect); }, clickLoadOne),
    endingPreview([] { return inside(kLameRect); }, clickLame),
    {[] { return inStackList() && !mouseDispatch.ctrl && !mouseDispatch.alt; }, clickStackRow},
    {[] {
         return inStackList() && mouseDispatch.ctrl && !mouseDispatch.shift && !mouseDispatch.alt;
     },
     clickStackRowWithCtrl},
    {inPlaylistList, clickPlaylistRow},
    {[] { return stackTabShown() && inside(kSelectAllRect); }, clickSelectAll},
    {[] { return stackTabShown() && inside(kSendArrowRect); }, clickSendArrow},
    {[] { return stackTabShown() && inside(stripButton(kNameSortCentre)); }, clickNameSort},
    {[] { return stackTabShown() && inside(stripButton(kLengthSortCentre)); }, clickLengthSort},
    {[] { return stackTabShown() && inside(stripButton(kDeleteCentre)); }, clickStackDelete},
    {[] { return stackTabShown() && inside(stripButton(kStackShuffleCentre)); }, clickStackShuffle},
    {[] { return stackTabShown() && inside(stripButton(kDoubCentre)); }, clickDoub},
    {[] { return stackTabShown() && inside(stripButton(kVorhCentre)); }, clickVorh},
    {[] { return inside(kTabRects[1]); }, clickStackTab},
    endingPreview([] { return infoTabUnderPointer() != 0; }, clickInfoTab),
    endingPreview([] { return inside(kTabRects[5]); }, clickGongTab),
    {[] { return stackTabShown() && inside(kStackScrollRect) && tracks.stackCount > 1; },
     clickStackScrollBar},
    {[] { return onPlaylistScrollBar() && tracks.playlistCount > 7; }, clickPlaylistScrollBar},
    {[] { return controlPanel.rightTab == 5 && mouseDispatch.x > kStackLeft; },
     [] {
         const auto& d = mouseDispatch;
         const double lockBefore = gongs.clickLockUntil;
         gongAct(gongControlAt(d.x, d.y), {d.buttons, d.ctrl, d.shift}, false);
         // A handled click may have changed what the panel's help says.
         if (gongs.clickLockUntil != lockBefore) refreshHoverHelp();
     }},
};

// The decoder may be copied into the folder while the program runs; look
// again now and then, but only while the user is clicking.
void checkForLame() {
    if (decoder.lameAvailable != 0 || !(timing::now() > mouseDispatch.nextLameCheckTime)) return;
    mouseDispatch.nextLameCheckTime = timing::now() + kLameCheckSeconds;
    if (files::isExecutableFile(paths.lamePath)) decoder.lameAvailable = 1;
}

void followNoticeLink() {
    const auto& m = mouseDispatch;
    if (m.x <= kNoticeLinkLeft || m.y <= kNoticeLinkTop || notices.noticeId != notice::kLink)
        return;
    previewOff();
    // A scripted run must never start a browser on the desktop it happens to run on.
    if (headless::active()) return;
    // In the background: xdg-open may wait for the browser, and the music must go on.
    process::reap();
    process::startChild({"xdg-open", manualAddress()});
}

} // namespace

void dispatchMouse() {
    const input::Mouse m = input::readMouse();
    if (m.x < 1 || m.y < 1) return;
    if (timing::now() < mouseDispatch.clickLockUntil) return;
    mouseDispatch.x = m.x;
    mouseDispatch.y = m.y;
    mouseDispatch.buttons = m.buttons;
    mouseDispatch.shift = input::keyDown(input::kLeftShift) || input::keyDown(input::kRightShift);
    mouseDispatch.ctrl = input::keyDown(input::kCtrl);
    mouseDispatch.alt = input::keyDown(input::kAlt);
    checkForLame();
    followNoticeLink();
    for (const Region& r : kRegions)
        if (r.applies()) {
            if (r.endsPreview) previewOff();
            mouseDispatch.fallThrough = false;
            r.act();
            if (!r.continues && !mouseDispatch.fallThrough) return;
        }
}
