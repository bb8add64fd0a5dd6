#pragma once
// The three information pages of the right panel's INFO tabs: an overview,
// the compressor's adaptive tempo, and the keys. Owns no state; selects the
// right tab it draws.

constexpr int kFirstInfoTab = 2, kLastInfoTab = 4;

// Draws the page of tab 2, 3 or 4 over the right panel, with the tab row.
void drawInfoPage(int tab);
