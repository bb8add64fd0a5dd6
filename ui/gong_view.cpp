#include "ui/gong_view.h"

#include <cmath>

#include "platform/clock.h"
#include "platform/layout.h"
#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/gongs.h"
#include "ui/control_panel.h"
#include "ui/time_display.h"

namespace {

constexpr int kGongTab = 5;
constexpr int kPanelX = kStackLeft; // controls are placed from the panel's left edge
constexpr int kCardPitch = 83;
constexpr int kFaceColour = 30, kFieldColour = 15, kCardColour = 27;
constexpr int kPlayingColour = 10, kPausedColour = 14;

using Field = GongSpan;
constexpr Field kPlay = kGongPlaySpan, kStop = kGongStopSpan, kTime = kGongTimeSpan,
                kVolume = kGongVolumeSpan, kDuck = kGongDuckSpan, kLoad = kGongLoadSpan;

int rowTop(int i) {
    return 143 + kCardPitch * i;
}

void raisedBox(int x1, int y1, int x2, int y2, int face) {
    screen::fillBox(x1, y1, x2, y2, face);
    screen::box(x1, y1, x2, y2, 0);
    screen::line(x1 + 1, y2 - 1, x1 + 1, y1 + 1, 15);
    screen::lineTo(x2 - 1, y1 + 1, 15);
}

void fieldBox(const Field& f, int top, int face) {
    raisedBox(kPanelX + f.from, top, kPanelX + f.to, top + 32, face);
}

// Text centred in a field.
void centred(const Field& f, int y, const std::string& text, int colour) {
    const int width = f.to - f.from;
    screen::textAt(kPanelX + f.from + (width - 8 * int(text.size())) / 2 + 1, y, text, colour);
}

void drawPlayButton(const GongPlayer& p, int g, int top) {
    fieldBox(kPlay, top, kFaceColour);
    const int x = kPanelX + kPlay.from + 9;
    const int iconColour = p.path.empty() ? 8 : 0;
    if (p.playing != 0) {
        screen::fillBox(x, top + 8, x + 4, top + 24, iconColour);
        screen::fillBox(x + 9, top + 8, x + 13, top + 24, iconColour);
    } else {
        for (int k = 0; k <= 14; ++k) // a triangle pointing right
            screen::line(x + k, top + 8 + k / 2, x + k, top + 24 - k / 2, iconColour);
        if (p.posMs > 0) screen::fillBox(x, top + 27, x + 14, top + 28, 4); // paused mid-way
    }
    screen::textAt(kPanelX + kPlay.from + 32, top + 12, std::to_string(g + 1), iconColour);
}

void drawCard(int i) {
    const int g = gongs.bank + i;
    const GongPlayer& p = gongs.player[size_t(g)];
    const int top = 106 + kCardPitch * i;
    screen::lock();
    screen::fillBox(651, top, 979, top + 73, kCardColour);
    screen::box(651, top, 979, top + 73, 0);

    const int nameFace = p.playing != 0 ? kPlayingColour
                         : p.posMs > 0  ? kPausedColour
                                        : kFieldColour;
    screen::fillBox(657, top + 8, 973, top + 29, nameFace);
    screen::box(657, top + 8, 973, top + 29, 0);
    screen::textAt(663, top + 15, gongNameText(p), p.path.empty() ? 8 : 0);

    const int row = rowTop(i);
    drawPlayButton(p, g, row);

    fieldBox(kStop, row, kFaceColour);
    const int stopX = kPanelX + (kStop.from + kStop.to) / 2;
    screen::fillBox(stopX - 7, row + 9, stopX + 7, row + 23, p.path.empty() ? 8 : 0);

    fieldBox(kTime, row, kFieldColour);
    const bool hasFile = !p.path.empty();
    centred(kTime, row + 5, gongTimeText(p.posMs, hasFile), 0);
    centred(kTime, row + 19, gongTimeText(p.lengthMs, hasFile), 8);

    // The bar's top edge falls 0 to 22 pixels as the volume falls from 1000 to 100.
    fieldBox(kVolume, row, kFieldColour);
    const int drop = roundEven((25000.0 - 25.0 * p.volume) / 1000.0);
    screen::fillBox(kPanelX + kVolume.from + 2, row + drop + 1, kPanelX + kVolume.to - 2, row + 31,
                    1);

    fieldBox(kDuck, row, kFaceColour);
    centred(kDuck, row + 5, "DUCK", 0);
    centred(kDuck, row + 19, std::to_string(gongDuckDb(p.duck)) + "dB", 1);

    fieldBox(kLoad, row, kFaceColour);
    centred(kLoad, row + 12, "LOAD", p.playing != 0 ? 8 : 0); // locked while it plays
    screen::unlock();
}

void drawSwitch(int x1, const char* upper, const char* lower, int lowerColour) {
    raisedBox(x1, 65, x1 + 55, 102, kFaceColour);
    const Field f{x1 - kPanelX, x1 + 55 - kPanelX};
    centred(f, 73, upper, 0);
    centred(f, 88, lower, lowerColour);
}

// The two switches above the cards, bounds included.
constexpr Rect kTempoSwitch{861, 65, 916, 102}, kBankSwitch{922, 65, 977, 102};
bool onSwitch(const Rect& r, int x, int y) {
    return x >= r.x1 && x <= r.x2 && y >= r.y1 && y <= r.y2;
}
// A card's name box, from the card's top (cards are 83 pixels apart from y 106).
constexpr int kNameX1 = 657, kNameX2 = 973, kNameTop = 8, kNameBottom = 29;

// The card whose button row holds y, as a player index; -1 for none.
int gongAtRow(int y) {
    for (int i = 0; i < kGongsShown; ++i) {
        const int top = 143 + 83 * i;
        if (y >= top && y <= top + 32) return gongs.bank + i;
    }
    return -1;
}

} // namespace

GongSpot gongControlAt(int x, int y) {
    if (onSwitch(kTempoSwitch, x, y)) return {GongControl::Tempo};
    if (onSwitch(kBankSwitch, x, y)) return {GongControl::Bank};
    for (int i = 0; i < kGongsShown; ++i) {
        const int top = 106 + 83 * i;
        if (x > kNameX1 && x < kNameX2 && y > top + kNameTop && y < top + kNameBottom)
            return {GongControl::Name, gongs.bank + i};
    }
    const int g = gongAtRow(y);
    if (g < 0) return {};
    const std::pair<GongSpan, GongControl> fields[] = {
        {kGongPlaySpan, GongControl::Play},  {kGongStopSpan, GongControl::Stop},
        {kGongTimeSpan, GongControl::Times}, {kGongVolumeSpan, GongControl::Volume},
        {kGongDuckSpan, GongControl::Duck},  {kGongLoadSpan, GongControl::Load}};
    for (const auto& [span, control] : fields)
        if (span.contains(x)) return {control, g};
    return {};
}

std::string gongTimeText(int32_t ms, bool hasFile) {
    if (ms == 0 && !hasFile) return "--:--";
    return timing::minutesSeconds(ms);
}

std::string gongNameText(const GongPlayer& p) {
    if (p.path.empty()) return "Lade eine MP3 via LOAD-Button";
    std::string name = p.name.size() > 4 ? p.name.substr(0, p.name.size() - 4) : std::string();
    name = screen::cp437(name);
    if (name.size() > 38) name = name.substr(0, 35) + "...";
    return name;
}

int gongDuckDb(float duck) {
    return int(std::floor(20.0 * std::log10(double(duck) + 0.01)));
}

void drawGongPanel() {
    screen::lock();
    controlPanel.rightTab = kGongTab;
    drawTabRow();
    // The stack's strip below the list lies inside this panel's area.
    screen::fillBox(kStackLeft - 4, 56, kStackRight + 4, 443, 58);
    screen::fillBox(kStackLeft - 4, 56, kStackRight + 4, 436, 7);
    screen::box(kStackLeft - 4, 56, kStackRight + 4, 436, 24);
    screen::box(kStackLeft - 3, 57, kStackRight + 3, 435, 20);
    screen::box(kStackLeft - 2, 58, kStackRight + 2, 434, 23);
    screen::box(kStackLeft - 1, 59, kStackRight + 1, 433, 25);

    screen::textAt(652, 66, "Acht PLAYER mit DUCKING.", 0);
    screen::textAt(652, 79, "MP3 bleibt bis neu LOAD.", 0);
    screen::textAt(652, 92, "Gongs, Jingles, Tusch ...", 0);
    drawSwitch(861, "TEMPO", gongs.duckTempo == 1 ? "FAST" : "SLOW", gongs.duckTempo == 1 ? 4 : 0);
    drawSwitch(922, "BANK", gongs.bank == 0 ? "1-4" : "5-8", 1);
    for (int i = 0; i < kGongsShown; ++i)
        drawCard(i);
    screen::unlock();
}

void drawGongCard(int g) {
    if (controlPanel.rightTab != kGongTab) return;
    const int i = g - gongs.bank;
    if (i >= 0 && i < kGongsShown) drawCard(i);
}

void drawGongTabMarker(int colour) {
    // Where the tab's second label line would be; the GONG tab has none.
    const Rect& r = kTabRects[kGongTab];
    screen::fillBox(r.x1 + 9, r.y1 + 19, r.x1 + 40, r.y1 + 26, colour);
}
