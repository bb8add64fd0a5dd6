#include "ui/list_views.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "lists/length_probe.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/preview.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"
#include "ui/time_display.h"

ListViews listViews;

namespace {

constexpr int L = kStackLeft, T = kStackTop, R = kStackRight, B = kStackBottom;
constexpr int kStackScrollX = R - 15;
constexpr int kPlaylistThumbBottomMax = 450;
constexpr int kCurrentRowPitch = 34, kScrolledRowPitch = 33;
constexpr int kCardNameChars = 66;

// Pixel positions round half to even like every computed value of the screen.
std::string withoutExtension(const std::string& name) {
    return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

bool blank(const std::string& s) {
    return s.find_first_not_of(' ') == std::string::npos;
}

// --- Stack panel -----------------------------------------------------------

struct TopButton {
    int x1, x2, colour;
    const char* upper;
    int upperX;
    const char* lower;
    int lowerX;
};

constexpr int kTopButtonY1 = T - 40, kTopButtonY2 = T - 6;
constexpr int kTopLabelY1 = 74, kTopLabelY2 = 86;
constexpr TopButton kTopButtons[] = {
    {649, 697, 29, "", 0, "", 0}, // the send arrow, drawn by drawSendArrow
    {702, 770, 29, "AUSWAHL", 709, "ALLE", 709},
    {783, 827, 30, "SAVE", 789, "LIST", 789},
    {829, 873, 31, "LOAD", 835, "LIST", 835},
    {878, 928, 31, "LOAD", 887, "1xMP3", 884},
    {930, 982, 31, "LOAD", 940, "MP3s", 940},
};

void drawSendArrow(int colour) {
    // Head: tip at (654, 79), 72 to 87 high at x = 666.
    for (int x = 654; x <= 666; ++x) {
        int d = x - 654;
        screen::line(x, 79 - (7 * d + 6) / 12, x, 79 + (8 * d + 6) / 12, colour);
    }
    screen::fillBox(667, 76, 683, 83, colour);
    // The tail flares like fletching.
    for (int x = 684; x <= 689; ++x) {
        int k = x - 683;
        screen::line(x, 76 - k, x, 83 + k, colour);
    }
}

void drawTopButtons() {
    for (const TopButton& b : kTopButtons) {
        screen::fillBox(b.x1, kTopButtonY1, b.x2, kTopButtonY2, b.colour);
        screen::box(b.x1, kTopButtonY1, b.x2, kTopButtonY2, 0);
        screen::box(b.x1 + 1, kTopButtonY1 + 1, b.x2 - 1, kTopButtonY2 - 1, 8);
        screen::textAt(b.upperX, kTopLabelY1, b.upper, 0);
        screen::textAt(b.lowerX, kTopLabelY2, b.lower, 0);
    }
    drawSendArrow(listViews.anyStackSelected ? 2 : 8);
}

// A name longer than the row keeps its start and its end, where numbering
// and titles usually sit.
std::string stackRowName(const StackEntry& e) {
    std::string name = screen::cp437(withoutExtension(trackName(e)));
    if (name.size() > size_t(kStackNameChars))
        name = name.substr(0, 12) + "..." + name.substr(name.size() - 18);
    return name;
}

void drawStackRows(int first) {
    for (int i = first; i <= first + kStackRows - 1 && i <= tracks.stackCount; ++i) {
        const StackEntry& e = tracks.stack[size_t(i)];
        int r = i - first + 1;
        int colour = e.duplicateFlag == 1 ? 8 : 0;
        if (e.stackMark == kMarkSelected)
            screen::fillBox(L + 5, T + 15 * r - 8, L + 8 * kStackNameChars + 15, T + 15 * r + 5, 3);
        screen::textAt(L + 9, T + 15 * r - 5, stackRowName(e), colour);
        screen::textAt(L + 283, T + 15 * r - 5, lengthText(e.lengthMs), colour);
    }
}

void drawStackScrollBar(int first) {
    int count = tracks.stackCount;
    int top = first == 1 ? T : std::max(T, roundEven(T + double(first) / count * kStackHeight));
    int bottom = std::min(B, roundEven(T + double(kStackRows + first) / count * kStackHeight + 5));
    screen::fillBox(kStackScrollX, T, R, B, 30);
    screen::box(kStackScrollX, T, R, B, 0);
    screen::box(kStackScrollX + 1, T + 1, R - 1, B - 1, 24);
    screen::box(kStackScrollX + 2, T + 2, R - 2, B - 2, 26);
    screen::fillBox(974, top, 983, bottom, 28);
    screen::box(974, top, 983, bottom, 0);
    screen::box(975, top + 1, 982, bottom - 1, 0);
}

// A pointer from the foot (just above its digit) to the tip: a shaft three
// lines thick and two barbs.
void drawHintArrow(int digitX, int tipX, int tipY) {
    const int footX = digitX + 3, footY = T + 68;
    for (int j = 0; j < 3; ++j)
        screen::line(footX + j, footY, tipX + j, tipY, 0);
    double angle = std::atan2(double(footY - tipY), double(footX - tipX));
    for (double side : {-0.5, 0.5}) {
        int x = roundEven(tipX + 1 + 9 * std::cos(angle + side));
        int y = roundEven(tipY + 9 * std::sin(angle + side));
        screen::line(tipX + 1, tipY, x, y, 0);
        screen::line(tipX + 2, tipY, x + 1, y, 0);
    }
}

struct HintArrow {
    int digitX, tipX;
    const char* digit;
};
constexpr int kHintDigitY = T + 72, kHintTipY = T + 30;
constexpr HintArrow kHintArrows[] = {
    {R - 95, R - 95 + 10, "1"},   // up to the load buttons
    {R - 198, R - 198 - 20, "2"}, // up-left to AUSWAHL ALLE
    {R - 269, R - 269 - 26, "3"}, // up-left to the send arrow
};

void drawEmptyStackHints() {
    for (const HintArrow& a : kHintArrows) {
        drawHintArrow(a.digitX, a.tipX, kHintTipY);
        screen::textAt(a.digitX, kHintDigitY, a.digit, 0);
    }
    const int hintY = T + 95;
    screen::textAt(L + 32, hintY, "1x Klick  auf LOAD = MP3s in Stapel.", 0);
    screen::textAt(L + 32, hintY + 14, "3x Klick  auf LOAD = shuffle & play.", 0);
    screen::line(L + 12, hintY + 39, R - 12, hintY + 39, 24);
}

constexpr int kBarButtonY1 = B + 7, kBarButtonY2 = B + 23, kBarLabelY = B + 12;
constexpr int kNameSortX = L + 23, kLengthSortX = L + 73, kShuffleX = L + 123, kDeleteX = L + 173,
              kDoubX = L + 223, kCountX = L + 323;

void barButton(int centre, int halfWidth) {
    screen::fillBox(centre - halfWidth, kBarButtonY1, centre + halfWidth, kBarButtonY2, 29);
    screen::box(centre - halfWidth, kBarButtonY1, centre + halfWidth, kBarButtonY2, 0);
}

void drawStackButtonBar() {
    screen::fillBox(L - 4, B + 5, R + 4, B + 25, 27);
    screen::box(L - 4, B + 5, R + 4, B + 25, 23);

    struct Plain {
        int centre, labelOffset;
        const char* label;
    };
    const Plain plain[] = {
        {kNameSortX, -12, listOps.nameOrderFlag == 0 ? "ABC" : "CBA"},
        {kLengthSortX, -16, listOps.lengthOrderFlag == 0 ? "1:23" : "3:21"},
        {kShuffleX, -16, "SHUF"},
        {kDeleteX, -16, "ENTF"},
    };
    for (const Plain& p : plain) {
        barButton(p.centre, 23);
        screen::textAt(p.centre + p.labelOffset, kBarLabelY, p.label, 0);
    }

    barButton(kDoubX, 23);
    if (tracks.allowDuplicates) {
        screen::textAt(kDoubX - 15, kBarLabelY + 1, "DOUB", 30);
        screen::textAt(kDoubX - 16, kBarLabelY, "DOUB", 5);
    } else {
        screen::textAt(kDoubX - 16, kBarLabelY, "DOUB", 8);
    }

    drawVorhButton();
    barButton(kCountX, 20);
    screen::textAt(kCountX - 14, kBarLabelY, std::to_string(tracks.stackCount), 0);
}

// --- Playlist panel --------------------------------------------------------

const PlaylistEntry* shownSong(int slot) {
    if (slot < 1 || slot > tracks.playlistCount || slot >= kTrackSlots) return nullptr;
    const PlaylistEntry& e = tracks.playlist[size_t(slot)];
    return blank(trackName(e)) ? nullptr : &e;
}

std::string playlistName(const PlaylistEntry& e) {
    std::string name = screen::cp437(withoutExtension(trackName(e)));
    if (name.size() > size_t(kCardNameChars)) name.resize(size_t(kCardNameChars));
    return name;
}

void drawMessageLines(int y, std::initializer_list<std::pair<int, const char*>> lines) {
    for (const auto& [gap, line] : lines) {
        y += gap;
        screen::textAt(104, y, screen::cp437(line), 0);
    }
}

void drawEmptyPlaylist() {
    screen::fillBox(85, 120, 520, 340, 31);
    screen::box(85, 120, 520, 340, 29);
    screen::box(86, 121, 519, 339, 0);
    screen::box(87, 122, 518, 338, 24);
    const int firstY = 135;

    if (tracks.stackCount == 0) {
        drawMessageLines(firstY, {{0, "SPIELLISTE ist momentan leer."},
                                  {16, "(1) Lade neue MP3s immer via STAPEL, siehe rechts"},
                                  {16, "(2) Gewünschte MP3s anklicken oder AUSWAHL ALLE."},
                                  {13, "    Klicken ähnlich wie im WINDOWS-EXPLORER."},
                                  {16, "(3) Der Pfeil-Button holt dann die MP3s"},
                                  {13, "    hierher in die Spielliste."},
                                  {24, "STAPEL: MP3s laden und zwischenspeichern,"},
                                  {13, "ohne die Spielliste zu stören."},
                                  {48, "INFO-Tabs (rechts) beachten!"},
                                  {24, "KLANGKELTER Kombination aus PLAYER und KOMPRESSOR."}});
        return;
    }

    std::vector<const char*> lines;
    if (tracks.playlistTop != 0) lines.push_back("Alle MP3s wurden gespielt.");
    bool anyFree = false;
    for (int i = 1; i <= tracks.stackCount; ++i)
        anyFree = anyFree || tracks.stack[size_t(i)].duplicateFlag != 1;
    if (anyFree) {
        if (tracks.playlistTop == 0) lines.push_back("Spielliste ist momentan leer.");
        lines.push_back("Im STAPEL sind noch freie MP3s.");
        lines.push_back("Oder lade neue MP3s mittels LOAD.");
    } else {
        lines.push_back("Im STAPEL sind keine freien MP3s mehr.");
        lines.push_back("Lade neue MP3s mittels LOAD ... siehe rechts.");
    }
    int y = firstY;
    for (const char* line : lines) {
        screen::textAt(104, y, screen::cp437(line), 0);
        y += 16;
    }
}

// Songs that came in without a length (a failed probe at import, an old
// session file) get another try once they are in view.
void fillMissingLengths() {
    int last = std::min(tracks.playlistTop + 11, kTrackSlots - 1);
    for (int slot = std::max(tracks.playlistTop, 1); slot <= last; ++slot) {
        PlaylistEntry& e = tracks.playlist[size_t(slot)];
        if (blank(trackName(e)) || e.lengthMs != 0) continue;
        e.lengthMs = probeLength(fullPath(e), kProbeAlias);
        timing::sleepMs(2);
    }
}

void drawHeaderButtons(int y) {
    struct Header {
        int x1, x2, labelX;
        std::string label;
    };
    const Header headers[] = {
        {258, 329, 270, "[ENTF]"},
        {344, 454, 356, std::string("POSITION ") + char(30) + char(31)},
        {469, 600, 486, std::string("ZUM STAPEL ") + char(16)},
    };
    for (const Header& h : headers) {
        screen::fillBox(h.x1, y + 14, h.x2, y + 23, 43);
        screen::textAt(h.labelX + 1, y + 16, h.label, 9);
        screen::textAt(h.labelX, y + 15, h.label, 1);
    }
}

void drawLengthBox(const PlaylistEntry& e, int y) {
    if (e.lengthMs == 0) return;
    screen::fillBox(553, y + 2, 600, y + 10, 0);
    screen::textAt(557, y + 3, lengthText(e.lengthMs), 31);
}

void drawCard(int k, int slot, const PlaylistEntry& e) {
    const int y = kPlaylistY0 + kCardPitch * k;
    screen::fillBox(9, y, 606, y + 68, 35 + k);
    screen::fillBox(11, y + 14, 603, y + 54, 37 + k);
    screen::box(11, y + 14, 603, y + 54, 0);
    const std::string name = playlistName(e);
    screen::textAt(16, y + 4, name, 27);
    screen::textAt(15, y + 3, name, 0);
    screen::textAt(16, y + 59, "#" + std::to_string(slot), 8);
    drawLengthBox(e, y);
    if (e.playlistSelected == 1) drawHeaderButtons(y + 42);
    drawEnvelopeRow(k);
    if (k < 2) drawCardPosition(k);
}

void drawSongRow(int slot, const PlaylistEntry& e, int y) {
    screen::fillBox(9, y, 606, y + 24, 38);
    screen::textAt(16, y + 3, playlistName(e), 0);
    screen::textAt(16, y + 15, "#" + std::to_string(slot), 8);
    if (e.playlistSelected == 1) drawHeaderButtons(y);
    drawLengthBox(e, y);
}

// Returns the last slot the view covers.
int drawCurrentView() {
    const int top = tracks.playlistTop;
    for (int k = 0; k < 3; ++k)
        if (const PlaylistEntry* e = shownSong(top + k)) drawCard(k, top + k, *e);
    for (int slot = top + 3; slot <= top + 7; ++slot)
        if (const PlaylistEntry* e = shownSong(slot))
            drawSongRow(slot, *e, kPlaylistY0 + kCurrentRowPitch * (slot - top) + 128);
    return top + 7;
}

int drawScrolledView() {
    const int top = tracks.playlistTop;
    for (int slot = top; slot <= top + 11; ++slot)
        if (const PlaylistEntry* e = shownSong(slot))
            drawSongRow(slot, *e, kPlaylistY0 + kScrolledRowPitch * (slot - top));
    return top + 11;
}

void drawPlaylistScrollBar(int last) {
    const int top = tracks.playlistTop;
    const double n = tracks.playlistCount - tracks.playPosition + 1;
    const double span = kPlaylistThumbBottomMax - kPlaylistY0;
    int thumbTop =
        std::max(kPlaylistY0, roundEven(kPlaylistY0 + (top - tracks.playPosition) / n * span));
    int thumbBottom =
        std::min(kPlaylistThumbBottomMax, roundEven(thumbTop + (last - top + 1) / n * span + 1));
    // The thumb never shrinks below 5 pixels; at the end it sits on the bottom.
    if (thumbBottom < thumbTop + 5) {
        thumbBottom = thumbTop + 5;
        if (thumbBottom > kPlaylistThumbBottomMax) {
            thumbTop = kPlaylistThumbBottomMax - 5;
            thumbBottom = kPlaylistThumbBottomMax;
        }
    }
    const Rect& t = kPlaylistBarTrack;
    screen::fillBox(t.x1, t.y1, t.x2, t.y2, 30);
    screen::box(t.x1, t.y1, t.x2, t.y2, 0);
    screen::box(kPlaylistBarX1, kPlaylistBarY1, kPlaylistBarX2, kPlaylistBarY2, 24);
    screen::box(609, 62, 620, 450, 26);
    screen::fillBox(609, thumbTop, 620, thumbBottom, 28);
    screen::box(610, thumbTop, 619, thumbBottom, 0);
    screen::box(611, thumbTop + 1, 618, thumbBottom - 1, 0);
}

} // namespace

// --- Interfaces ------------------------------------------------------------

void drawVorhButton() {
    if (controlPanel.rightTab != 1) return; // it lives on the stack's strip
    const bool lit = preview.previewMode == 1 && preview.previewBlink == 1;
    const int x1 = kVorhCentre - kStripHalfWidth, x2 = kVorhCentre + kStripHalfWidth;
    screen::fillBox(x1, kBarButtonY1, x2, kBarButtonY2, lit ? 26 : 29);
    screen::box(x1, kBarButtonY1, x2, kBarButtonY2, 0);
    screen::box(x1 + 1, kBarButtonY1 + 1, x2 - 1, kBarButtonY2 - 1, 0);
    const int colour = preview.previewMode == 0 ? 8 : lit ? 10 : 2;
    screen::textAt(kVorhCentre - 16, kBarLabelY, "VORH", colour);
}

void drawStackView() {
    screen::lock();
    controlPanel.rightTab = 1;
    drawTabRow();
    listViews.lockBoxShown = false; // the redraw wipes the import's lock box
    listViews.anyStackSelected = false;
    for (int i = 1; i <= tracks.stackCount; ++i)
        listViews.anyStackSelected =
            listViews.anyStackSelected || tracks.stack[size_t(i)].stackMark == kMarkSelected;

    screen::fillBox(L - 4, T - 50, R + 4, B + 4, 7);
    screen::box(L - 4, T - 50, R + 4, B + 4, 24);
    screen::box(L - 3, T - 49, R + 3, B + 3, 20);
    screen::box(L - 2, T - 48, R + 2, B + 2, 23);
    screen::box(L - 1, T - 47, R + 1, B + 1, 25);

    drawTopButtons();

    screen::fillBox(L, T, R, B, 17);
    screen::box(L, T, R, B, 0);

    // Near the end of the list show at least the last three entries, so a
    // shrunken stack never leaves the view (almost) empty.
    int& first = listViews.stackFirstShown;
    if (tracks.stackCount <= first + 1) first = tracks.stackCount - 2;
    first = std::max(first, 1);

    drawStackRows(first);
    if (tracks.stackCount > 0)
        drawStackScrollBar(first);
    else
        drawEmptyStackHints();
    drawStackButtonBar();
    screen::unlock();
}

void drawPlaylistView() {
    screen::lock();
    screen::fillBox(4, 55, 626, 458, 34);
    screen::box(4, 55, 626, 458, 0);
    screen::box(5, 56, 625, 457, 27);

    if (tracks.playlistTop == 0 || tracks.playlistCount < tracks.playPosition) {
        drawEmptyPanel();
        drawEmptyPlaylist();
        screen::unlock();
        return;
    }

    fillMissingLengths();
    tracks.playPosition = std::max(tracks.playPosition, 1);
    // With only a few songs left the current view shows them all.
    if (tracks.playlistCount - tracks.playPosition < 5) tracks.playlistTop = tracks.playPosition;

    int last = tracks.playlistTop == tracks.playPosition ? drawCurrentView() : drawScrolledView();
    drawPlaylistScrollBar(last);
    screen::unlock();
}

int stackSlotAt(int y) {
    if (y <= T || y >= B) return 0;
    int row = std::min(kStackRows, roundEven((y - T + 2) / 15.0));
    int slot = listViews.stackFirstShown + row - 1;
    return slot >= 1 && slot <= tracks.stackCount ? slot : 0;
}

int playlistSlotAt(int y) {
    if (y <= kPlaylistY0 || y >= 454) return 0;
    const double dy = y - kPlaylistY0;
    int slot;
    if (tracks.playlistTop != tracks.playPosition)
        slot = roundEven(tracks.playlistTop + (dy - 12) / kScrolledRowPitch);
    else if (dy < 228)
        slot = roundEven(tracks.playPosition + (dy - 38) / kCardPitch);
    else
        slot = roundEven(tracks.playPosition + (dy - 138) / kCurrentRowPitch);
    return slot >= 1 && slot <= tracks.playlistCount ? slot : 0;
}

std::string lengthText(int32_t lengthMs) {
    // The time of day of the length, so an hour or more wraps to its minutes.
    long long seconds = std::llrint(std::abs(double(lengthMs)) / 1000.0);
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60 % 60, seconds % 60);
    std::string result = text;
    return result == "00:00" ? "--:--" : result;
}
