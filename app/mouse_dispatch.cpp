#include "app/mouse_dispatch.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/decoder.h"
#include "app/clicks.h"
#include "app/hover.h"
#include "lists/tracks.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "playback/preview.h"
#include "playback/transport.h"
#include "texts/manual_link.h"
#include "texts/notices.h"
#include "ui/gong_view.h"

MouseDispatch mouseDispatch;

namespace {

using namespace clicks;

constexpr double kLameCheckSeconds = 5;

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
    openInBrowser(manualAddress());
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
