#pragma once
// The user's operations on the two lists that go beyond the primitives of the
// track tables: selecting and clearing selections. No state of their own;
// they write the track tables.

// Marks every stack entry; grey ones only when duplicates are allowed (notice 62 otherwise).
void selectAll();
// The arrow button: the selected stack entries move to the end of the playlist.
void sendToPlaylist();
// Clears every stack mark and every playlist selection.
void clearSelections();
