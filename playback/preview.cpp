#include "playback/preview.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/mci.h"
#include "playback/transport.h"
#include "texts/notices.h"

Preview preview;

namespace {

constexpr double kJumpSeconds = 2.1, kMinStaySeconds = 0.2, kDisplaySeconds = 0.04;
constexpr int32_t kJumpMs = 12500, kStopMarginMs = 16500, kEndMarginMs = 1000;
constexpr double kLongClickSeconds = 0.3;

void redrawButton() {
    hooks::requestRedraw(hooks::Redraw::VorhButton);
}

void showPosition(int32_t ms) {
    // Whole seconds passed, not rounded: the line counts up as the song plays.
    notices.previewPositionText = timing::minutesSeconds(std::max(0, ms / 1000) * 1000.0);
    notices.noticeId = notice::kPreviewRunning;
    notices.noticeForce = 1;
    requestNoticeDraw();
}

} // namespace

void toggleVorh() {
    preview.previewMode = uint8_t(preview.previewMode == 0 ? 1 : 0);
    if (preview.previewMode == 1) preview.previewTimeout = timing::now() + kPreviewIdleSeconds;
    hooks::requestRedraw(hooks::Redraw::StackView);
    showNotice(notice::kNoText);
    timing::sleepMs(10);
    showNotice(notice::kVorhHelp);
}

void previewOff() {
    if (preview.previewMode == 0) return;
    preview.previewMode = 0;
    redrawButton();
}

void previewUpkeep() {
    // Switched on while the player runs, the mode stays (its clicks are
    // refused with a notice); the player starting ends it.
    const bool playerStarted = transport.playerRunning != 0 && preview.playerWasRunning == 0;
    preview.playerWasRunning = transport.playerRunning;
    if (preview.previewMode == 0) return;
    const double now = timing::now();
    if (playerStarted || now > preview.previewTimeout) {
        preview.previewMode = 0;
        redrawButton();
        return;
    }
    if (now > preview.previewBlinkTime) {
        preview.previewBlink = uint8_t(preview.previewBlink ^ 1);
        redrawButton();
        // A long lit phase and a short dark one.
        preview.previewBlinkTime = now + (preview.previewBlink == 1 ? 1.3 : 0.2);
    }
}

bool detectLongClick() {
    const double until = timing::now() + kLongClickSeconds;
    while (timing::now() < until) {
        if (hooks::pointer().buttons == 0) {
            preview.longClick = 0;
            return false;
        }
        hooks::keepMusicGoing(); // a song may be playing: the wait must not stall it
        timing::sleepMs(3);
    }
    preview.longClick = 1;
    return true;
}

void previewFile(const std::string& path, bool buttonHeld) {
    if (!files::exists(files::resolveCase(path))) {
        timing::waitMs(30);
        return;
    }
    std::string& alias = preview.alias;
    mciOpen(path, alias);
    mciVolume(alias, kPreviewVolume);
    mciCommand("an", alias);
    const int32_t endMs = mciCommand("len", alias) - kEndMarginMs;
    showNotice(notice::kPreviewRunning);

    bool released = !buttonHeld, stopClick = false, key = false, endAsked = false;
    int32_t pos = 0;
    for (;;) {
        const double jumpTime = timing::now() + kJumpSeconds;
        const double minTime = timing::now() + kMinStaySeconds;
        do {
            timing::waitMs(kDisplaySeconds * 1000);
            pos = mciCommand("pos", alias);
            showPosition(pos);
            // The first release ends the starting click; a later press stops.
            if (hooks::pointer().buttons == 0)
                released = true;
            else if (released)
                stopClick = true;
            const std::string k = hooks::nextKey();
            key = key || !k.empty();
            endAsked = endAsked || input::endsSession(k);
        } while (((timing::now() <= jumpTime && !stopClick && !key) || timing::now() <= minTime) &&
                 pos <= endMs);
        if (pos + kStopMarginMs >= endMs || key || stopClick) break;
        mciSeek(alias, pos + kJumpMs);
    }
    mciCommand("aus", alias);
    // The click that ended the preview must not act on the list.
    if (hooks::pointer().buttons != 0) {
        while (hooks::pointer().buttons != 0)
            timing::sleepMs(10);
        timing::waitMs(30);
    }
    showNotice(notice::kIdle);
    preview.previewTimeout = timing::now() + kPreviewIdleSeconds;
    if (endAsked) hooks::requestEnd();
}
