#pragma once
// The user's operations on the two lists beyond the primitives of the track
// tables: selecting, inserting and reordering, deleting, sorting, shuffling
// and the duplicates switch. Owns the stack anchor and the sort order flags;
// written only here. Drawing is asked for through redraw requests; refusals
// that need the screen or the transport are returned to the caller.
#include <cstdint>

struct ListOps {
    int32_t stackAnchor = 0;     // slot of the last plainly clicked stack entry; 0 none
    int32_t anchorState = 0;     // the mark a Shift-click range receives
    uint8_t nameOrderFlag = 0;   // 0: the next name sort is ascending ("ABC")
    uint8_t lengthOrderFlag = 0; // 0: the next length sort is ascending ("1:23")
    int32_t insertTarget = 0;    // the playlist slot last Ctrl-clicked
};

extern ListOps listOps;

// Marks every stack entry; grey ones only when duplicates are allowed (notice 62 otherwise).
void selectAll();
// The arrow button: the selected stack entries move to the end of the playlist.
void sendToPlaylist();
// Clears every stack mark and every playlist selection.
void clearSelections();

// A plain click on stack row i: toggles its mark (a grey entry with DOUB off
// is refused with notice 35).
void selectStackEntry(int i);
// A Shift-click on stack row i: the range from the anchor takes the anchor state.
void selectStackRange(int i);
// A Ctrl-click on stack row i: a grey entry stops being a duplicate (notice 37).
void clearDuplicateMark(int i);

enum class PlaylistClick { Done, Refused };
// A click on playlist slot i, with or without Shift. The playing song never
// gets selected; Refused asks the caller for the refusal mark (the song is
// close to its end point).
PlaylistClick selectPlaylistSong(int i, bool shift, bool currentStarted, bool inCurrentArea);
// Ctrl- or Alt-click on playlist slot t: the stack selection goes in behind it,
// or the selected playlist songs move behind it. Refused (notice 80) when the
// stack has no room to hold the moved songs meanwhile.
PlaylistClick insertOrReorder(int t, bool currentStarted);
// The stack's ENTF: the grey entries, or, when there are none, the selected ones.
void deleteFromStack();
// Sorts the stack by name or length in the direction of its order flag and
// toggles the flag; fewer than 5 entries are left alone (false). Keeps the
// music going between the steps of a long sort.
bool sortStack(bool byName);
void shuffleStack();
// Shuffles the playlist from the fourth song on; false when too few follow.
bool shufflePlaylist();
void toggleDuplicates();
// The endless rotation: the current song and everything after it move to the
// top, the songs already played follow in their order. The playlist view
// keeps showing the same songs. Returns how far the songs moved (0: none).
int rotatePlaylistToCurrent();
