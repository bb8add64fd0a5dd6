#include "app/hover.h"

#include <cmath>

#include "analysis/decoder.h"
#include "app/mouse_dispatch.h"
#include "lists/length_probe.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "playback/gongs.h"
#include "playback/preview.h"
#include "playback/transport.h"
#include "texts/help_texts.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"
#include "ui/gong_view.h"
#include "ui/notice_view.h"

namespace {

// The idle notice comes back this long after the last pointer-chosen help.
constexpr double kIdleAfterSeconds = 2;
constexpr double kAutosaveHelpHoldSeconds = 6;

bool stackTabShown() {
    return controlPanel.rightTab == 1;
}

bool onEnvelopeRows(int x, int y) {
    return kPlaylistArea.contains(x, y) && y < 280 && tracks.playPosition > 0 &&
           tracks.playlistTop == tracks.playPosition;
}

bool onNoticeLink(int x, int y) {
    return x > kNoticeLinkLeft && y > kNoticeLinkTop && notices.noticeId == notice::kIdle;
}

bool onPlaylistScrollBar(int x, int y) {
    return x >= kPlaylistBarX1 && x <= kPlaylistBarX2 && y > kPlaylistBarY1 &&
           y <= kPlaylistBarY2 && tracks.playlistCount >= 2;
}

bool onStackScrollBar(int x, int y) {
    return kStackScrollRect.contains(x, y) && tracks.stackCount >= 2;
}

// The running envelope panel at the lower left; its bounds are inclusive.
bool onEnvelopeDisplay(int x, int y) {
    return x >= 6 && x <= 157 && y >= 462 && y <= 520;
}

// SAVE's help covers the button's outline as well.
bool onSave(int x, int y) {
    return x > kSaveRect.x1 && x < kSaveRect.x2 && y > 503 && y < 522;
}

// The gong player whose control the pointer rests on; its help shows its state.
int hoveredGong = -1;

template <GongControl control> bool onGong(int x, int y) {
    if (controlPanel.rightTab != 5) return false;
    const GongSpot spot = gongControlAt(x, y);
    if (spot.control != control) return false;
    hoveredGong = spot.player;
    return true;
}

struct HoverRow {
    Rect area;         // used when `over` is null
    bool stackTabOnly; // the control exists only while the STAPEL tab is shown
    bool (*over)(int x, int y);
    int noticeId;
    double holdSeconds = 0; // not 0: drawn at once and protected this long
};

constexpr HoverRow area(const Rect& r, int id) {
    return {r, false, nullptr, id};
}
constexpr HoverRow stackTab(const Rect& r, int id) {
    return {r, true, nullptr, id};
}
constexpr HoverRow test(bool (*over)(int, int), int id, double holdSeconds = 0) {
    return {{}, false, over, id, holdSeconds};
}

// Walked in order; the first row under the pointer chooses the notice.
const HoverRow kHoverRows[] = {
    test(onEnvelopeRows, 51),
    test(onNoticeLink, notice::kLink),
    area(kPlayRect, 10),
    area(kStopToNextRect, 11),
    area(kStopToStartRect, 12),
    area(kBlendeRect, 13),
    area(kBlendRect, 14),
    area(kPauseSecondsRect, 15),
    area(kAutoPlayRect, 16),
    area(kCompressorSwitchRect, 17),
    area(kCompressorSetupRect, 18),
    area(kTriggerRect, 19),
    area(kZoomRect, 20),
    stackTab(kSaveListRect, 48),
    stackTab(kLoadListRect, 49),
    stackTab(kLoadFolderRect, 21),
    stackTab(kLoadOneRect, 22),
    area(kLameRect, 23),
    stackTab(kSelectAllRect, 25),
    stackTab(kSendArrowRect, 26),
    stackTab(stripButton(kNameSortCentre), 27),
    stackTab(stripButton(kLengthSortCentre), 28),
    stackTab(stripButton(kDeleteCentre), 29),
    stackTab(stripButton(kVorhCentre), 52),
    stackTab(kStackCountRect, 60),
    stackTab(stripButton(kStackShuffleCentre), 30),
    stackTab(stripButton(kDoubCentre), 59),
    area(kPauseRect, 31),
    area(kVolumeRect, 32),
    test(onEnvelopeDisplay, 33),
    area(kPlaylistShuffleRect, 34),
    test(onPlaylistScrollBar, 63),
    test(onStackScrollBar, 64),
    // The autosave help stays long enough to be read while the pointer moves on.
    test(onSave, notice::kAutosaveHelp, kAutosaveHelpHoldSeconds),
    test(onGong<GongControl::Play>, 65),
    test(onGong<GongControl::Stop>, 66),
    test(onGong<GongControl::Duck>, 67),
    test(onGong<GongControl::Volume>, 68),
    test(onGong<GongControl::Times>, 69),
    test(onGong<GongControl::Load>, 70),
    test(onGong<GongControl::Name>, 71),
    test(onGong<GongControl::Tempo>, 82),
    test(onGong<GongControl::Bank>, 83),
};

bool holds(const HoverRow& row, int x, int y) {
    if (row.over) return row.over(x, y);
    return (!row.stackTabOnly || stackTabShown()) && row.area.contains(x, y);
}

HelpFacts helpFacts() {
    HelpFacts f;
    for (int i = 1; i <= tracks.stackCount; ++i) {
        const StackEntry& e = tracks.stack[size_t(i)];
        f.stackSelection = f.stackSelection || e.stackMark == kMarkSelected;
        f.stackDuplicates = f.stackDuplicates || e.duplicateFlag != 0;
    }
    f.playlistEmpty = tracks.playlistCount == 0;
    f.lameAvailable = decoder.lameAvailable != 0;
    f.lameOn = decoder.lameOn != 0;
    f.songPlaying = currentChannelOpen();
    f.autoPlay = transport.autoPlay != 0;
    f.triggerWarning = envelopeView.triggerBlinkActive;
    f.previewMode = preview.previewMode != 0;
    f.playerRunning = transport.playerRunning != 0;
    f.duckFast = gongs.duckTempo == 1;
    f.listCapacity = maxTracks;
    f.gongMinSeconds = int(std::lround(minTrackMs / 5 / 1000.0));
    f.gongMaxMinutes = maxTrackMs / 60000;
    if (hoveredGong >= 0 && hoveredGong < kGongCount) {
        const GongPlayer& p = gongs.player[size_t(hoveredGong)];
        f.gongLoaded = !p.path.empty();
        f.gongVolume = p.volume;
    }
    return f;
}

} // namespace

void installHelpFacts() {
    setHelpFactsQuery(helpFacts);
}

void refreshHoverHelp() {
    if (noticeHeld()) return;
    notices.noticeForce = 1;
    trackHover();
}

void trackHover() {
    const double now = timing::now();
    if (notices.noticeForce == 0 && !(now > notices.noticeHoldTime)) return;
    if (notices.noticeId == 0 || now > notices.noticeIdleTime) {
        notices.noticeId = notice::kIdle;
        notices.noticeIdleTime = now + kIdleAfterSeconds;
    }

    const input::Mouse m = input::readMouse();
    for (const HoverRow& row : kHoverRows) {
        if (!holds(row, m.x, m.y)) continue;
        notices.noticeId = row.noticeId;
        if (row.holdSeconds > 0) {
            drawNotice();
            notices.noticeHoldTime = timing::now() + row.holdSeconds;
            return;
        }
        break;
    }
    drawNotice();
}
