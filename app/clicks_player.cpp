// The clicks on the player's controls and into the card envelopes, and the
// helpers every click action shares.
#include "app/clicks.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/decoder.h"
#include "analysis/triggers.h"
#include "app/key_dispatch.h"
#include "app/mouse_dispatch.h"
#include "platform/clock.h"
#include "platform/mci.h"
#include "platform/paths.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/compressor_view.h"
#include "ui/envelope_view.h"
#include "ui/gong_view.h"
#include "ui/list_views.h"

namespace clicks {

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
    if (mouseDispatch.ctrl)
        toggleMatching();
    else
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
    {true, false, kEnvelopeLeft, 264, setStartCueAt},
    {false, false, 272, kEnvelopeLeft + kEnvelopeWidth, setRightTriggerAt},
};

// The card whose envelope band is under the pointer, or -1.
int envelopeBand() {
    const auto& m = mouseDispatch;
    if (m.buttons != 1 || tracks.playPosition != tracks.playlistTop ||
        m.x >= kEnvelopeLeft + kEnvelopeWidth)
        return -1;
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

} // namespace clicks
