#pragma once
// The window's fixed layout: the rectangles and positions that drawing and hit
// tests share, each defined once. State-free, so every layer may use it.

struct Rect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool contains(int x, int y) const { return x > x1 && x < x2 && y > y1 && y < y2; }
};

// Button rectangles (x1, y1, x2, y2).
constexpr Rect kPlayRect{4, 3, 64, 53};
constexpr Rect kPauseRect{83, 3, 143, 53};
constexpr Rect kStopToStartRect{162, 3, 222, 53};
constexpr Rect kStopToNextRect{233, 3, 293, 53};
constexpr Rect kBlendeRect{325, 3, 419, 53};
constexpr Rect kAutoPlayRect{426, 3, 491, 53};
constexpr Rect kBlendRect{498, 3, 559, 53};
constexpr Rect kPauseSecondsRect{566, 3, 626, 53};
constexpr Rect kZoomRect{492, 461, 547, 501};
constexpr Rect kSaveRect{492, 504, 547, 521};
constexpr Rect kVolumeRect{554, 461, 625, 501};
constexpr Rect kShuffleRect{554, 504, 625, 521};
constexpr Rect kLameRect{158, 461, 213, 521};
constexpr Rect kCompressorRect{222, 461, 405, 521};
constexpr Rect kTriggerRect{416, 461, 486, 521};
// Tabs 1 to 5 (index 0 unused), y 24 to 56.
constexpr Rect kTabRects[6] = {{},
                               {648, 24, 706, 56},
                               {716, 24, 771, 56},
                               {781, 24, 836, 56},
                               {846, 24, 901, 56},
                               {911, 24, 966, 56}};

// Stack panel.
constexpr int kStackLeft = 644, kStackTop = 106, kStackWidth = 342, kStackHeight = 312;
constexpr int kStackRight = kStackLeft + kStackWidth, kStackBottom = kStackTop + kStackHeight;
constexpr int kStackRowHeight = 15, kStackRows = 20, kStackNameChars = 33;
// Playlist panel.
constexpr int kPlaylistX0 = 4, kPlaylistY0 = 61, kPlaylistTextX = 12;

// The playlist's cards: three in the current view, from the panel's top.
constexpr int kCardTop = 61, kCardPitch = 76;
// The envelope strip of each card and the progress bar under it: their left
// edge and width in pixels, where the analysis maps clicks to song positions.
constexpr int kEnvelopeLeft = 12, kEnvelopeWidth = 590;

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

// List areas and scroll bars.
constexpr Rect kPlaylistArea{12, 61, 602, 454};
constexpr Rect kStackScrollRect{971, 106, 986, 418};
// The playlist bar's track as drawn (its outline included); a click counts
// inside the outline: x from X1 to X2 and y above Y1 up to Y2, inclusive.
constexpr Rect kPlaylistBarTrack{607, 60, 622, 452};
constexpr int kPlaylistBarX1 = kPlaylistBarTrack.x1 + 1, kPlaylistBarX2 = kPlaylistBarTrack.x2 - 1,
              kPlaylistBarY1 = kPlaylistBarTrack.y1 + 1, kPlaylistBarY2 = kPlaylistBarTrack.y2 - 1;

// The notice box's lower part, out to the window's edges: the link click.
constexpr int kNoticeLinkLeft = 648, kNoticeLinkTop = 490;

// The fade indicator, which also takes the "Nachklicken" clicks.
constexpr int kIndicatorX1 = 339, kIndicatorY1 = 62, kIndicatorX2 = 496, kIndicatorY2 = 109;
// The box of the pause countdown that stops the player.
constexpr int kStopBoxX1 = 341, kStopBoxY1 = 250, kStopBoxX2 = 544, kStopBoxY2 = 317;
// Abort box ("Abbruch ?") in the stack area; a click strictly inside it aborts.
constexpr int kAbortX1 = 664, kAbortY1 = 286, kAbortX2 = 860, kAbortY2 = 336;
// Notice box, from the stack panel's origin (644, 106) and size (342, 326).
constexpr int kNoticeLeft = 641, kNoticeTop = 460, kNoticeRight = 991, kNoticeBottom = 523;
