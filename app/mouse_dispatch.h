#pragma once
// The mouse dispatch: which screen region a press falls in and what it does,
// as a table walked in order. Owns the click lock, the modifier flags set
// around injected keys, the next LAME check and the zoom's minimum length.
// The screen regions below are shared with the hover tracker.
#include <cstdint>

#include "app/control_panel.h"

struct MouseDispatch {
    double clickLockUntil = 0; // clicks are ignored while the clock is before this
    int16_t forceShift = 0;    // the key dispatch treats Shift as held while set
    double nextLameCheckTime = 0;
    // Songs shorter than this are not zoomed (ms); set with zoomReference by ZOOM.
    double zoomMinLength = 20000;
    // Modifiers and pointer of the click being handled.
    bool shift = false, ctrl = false, alt = false;
    int x = 0, y = 0, buttons = 0;
};

extern MouseDispatch mouseDispatch;

// Stack panel buttons (y 66 to 100, only while the STAPEL tab is shown).
constexpr int kStackButtonTop = 66, kStackButtonBottom = 100;
constexpr Rect kSendArrowRect{649, kStackButtonTop, 697, kStackButtonBottom};
constexpr Rect kSelectAllRect{702, kStackButtonTop, 770, kStackButtonBottom};
constexpr Rect kSaveListRect{783, kStackButtonTop, 827, kStackButtonBottom};
constexpr Rect kLoadListRect{829, kStackButtonTop, 873, kStackButtonBottom};
constexpr int kLoadOneX1 = 878, kLoadOneX2 = 928;
constexpr int kLoadFolderX1 = 930, kLoadFolderX2 = 982;
constexpr Rect kLoadOneRect{kLoadOneX1, kStackButtonTop, kLoadOneX2, kStackButtonBottom};
constexpr Rect kLoadFolderRect{kLoadFolderX1, kStackButtonTop, kLoadFolderX2, kStackButtonBottom};

// The strip under the stack list: buttons 23 pixels either side of their centre.
constexpr int kStripTop = 425, kStripBottom = 441, kStripHalfWidth = 23;
constexpr int kNameSortCentre = 667, kLengthSortCentre = 717, kStackShuffleCentre = 767,
              kDeleteCentre = 817, kDoubCentre = 867, kVorhCentre = 917;
constexpr Rect stripButton(int centre) {
    return {centre - kStripHalfWidth, kStripTop, centre + kStripHalfWidth, kStripBottom};
}
constexpr Rect kStackCountRect{952, kStripTop, 982, kStripBottom};

// The playlist's SHUF. button is hit-tested one row below where it is drawn from.
constexpr Rect kPlaylistShuffleRect{554, 505, 625, 521};
// The two halves of the combined compressor button.
constexpr Rect kCompressorSwitchRect{222, 461, 320, 521};
constexpr Rect kCompressorSetupRect{321, 461, 405, 521};

// List areas and scroll bars. The playlist bar's bounds are inclusive.
constexpr Rect kPlaylistArea{12, 61, 602, 454};
constexpr Rect kStackScrollRect{971, 106, 986, 418};
constexpr int kPlaylistBarX1 = 608, kPlaylistBarX2 = 621, kPlaylistBarY1 = 61, kPlaylistBarY2 = 451;

// The notice box's lower part, out to the window's edges: the link click.
constexpr int kNoticeLinkLeft = 648, kNoticeLinkTop = 490;

// One call per loop pass while a button is down.
void dispatchMouse();
