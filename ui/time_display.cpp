#include "ui/time_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "analysis/envelope.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/layout.h"
#include "platform/mci.h"
#include "platform/random.h"
#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"

TimeDisplay timeDisplay;

namespace {

constexpr int kPanelTop = kCardTop, kBarOffset = 54;
constexpr int kBarLeft = kEnvelopeLeft, kBarWidth = kEnvelopeWidth,
              kBarRight = kBarLeft + kBarWidth;
constexpr int kSmallRowsTop = kPanelTop + 128, kSmallRowPitch = 34, kScrolledRowPitch = 33;
constexpr int kLargeRows = 3, kCurrentViewRows = 8, kScrolledViewRows = 12;
constexpr double kBarPeriodSeconds = 0.33, kStripPeriodSeconds = 0.05;
// Every song but the large ones is assumed to hand over 3 s before its end.
constexpr double kAssumedFadeMs = 3000;

// The running strip at the lower left: one column per 50 ms block, the
// playing block under the cursor at x = 36.
constexpr int kStripX1 = 5, kStripY1 = 461, kStripX2 = 158, kStripY2 = 521;
constexpr int kStripBase = 520, kStripCeiling = 462, kStripCursorX = 36;
constexpr int kStripFirst = -30, kStripLast = 121, kStripMarkerOffset = 30;
constexpr double kStripFullScale = 32700, kStripHeight = 59;

bool blank(const PlaylistEntry& e) {
    const std::string name = trackName(e);
    return name.find_first_not_of(' ') == std::string::npos;
}

PlaylistEntry* songAt(int slot) {
    return slot <= tracks.playlistCount ? playlistSlot(slot) : nullptr;
}

bool currentViewShown() {
    return tracks.playlistTop == tracks.playPosition;
}

int barY(int r) {
    return kPanelTop + kCardPitch * r + kBarOffset;
}

// A fade has started the next song once the channel it opens on plays.
bool incomingPlays() {
    const int in = transport.inChannel & 1;
    return in != (transport.currentChannel & 1) && transport.channelOpen[in] == 1;
}

// The bookkeeping keeps the current song's position; the incoming one is asked for.
double positionOf(int r, const PlaylistEntry& song) {
    if (r == 0) return song.positionMs;
    return mciCommand("pos", transport.channelAlias[transport.inChannel & 1]);
}

int audibleSlot() {
    return incomingPlays() ? 1 : 0;
}

bool stripHasEnvelope(int slot) {
    const PlaylistEntry* song = songAt(tracks.playPosition + slot);
    return song && envelopes.envelopePresent[size_t(slot)] != 0 && !envelopes.peakTable.empty();
}

// Decoration only; seeded from the clock so a virtual clock repeats it.
rng::Pattern decorationRandom() {
    return rng::Pattern(uint32_t(std::llround(std::fabs(timing::now()) * 1000)) + 1);
}

void timeField(int x1, int y1, int x2, int y2, int boxColour, int textX, int textY,
               const std::string& text) {
    screen::fillBox(x1, y1, x2, y2, boxColour);
    screen::textAt(textX, textY, text, 31);
}

std::string clockText(double secondsOfDay) {
    long long s = (long long)std::floor(secondsOfDay);
    s = (s % 86400 + 86400) % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

// Seconds a song plays before the next one takes over. The three cards know
// their trigger and the start cue of their slot; the others are estimated.
double playSeconds(const PlaylistEntry& e, int cardSlot) {
    // A song still waiting for its analysis has no trigger yet: estimate it.
    if (cardSlot < 0 || cardSlot >= kLargeRows || e.rightTrigger <= 0)
        return (e.lengthMs - kAssumedFadeMs) / 1000;
    double s = e.lengthMs * e.rightTrigger / 1000;
    const double cue = envelopes.startCue[size_t(cardSlot)];
    if (cardSlot > 0 && cue > 0) s -= e.lengthMs * cue / 1000;
    return s;
}

void endClockAt(int x, int y, int boxColour, double secondsOfDay) {
    screen::fillBox(x, y, x + 111, y + 6, boxColour);
    screen::textAt(x, y, "ENDs @" + clockText(secondsOfDay), 25);
}

void stripColumn(int x, int slot, int block) {
    const size_t i = envelopeIndex(slot, block);
    auto height = [](int16_t v) { return roundEven(v / kStripFullScale * kStripHeight); };
    screen::line(x, kStripBase, x, kStripBase - height(envelopes.peakTable[i]), 1);
    screen::line(x, kStripBase, x, kStripBase - height(envelopes.levelTable[i]), 24);
}

void stripMarker(int m, const int colours[3], const uint16_t patterns[3]) {
    if (!(m > 1 && m < 149)) return;
    for (int i = 0; i < 3; ++i)
        screen::line(m + 4 + i, kStripBase, m + 4 + i, kStripCeiling, colours[i], patterns[i]);
}

// A card before any song: a made-up waveform under the empty name bar.
void drawEmptyCard(int row, rng::Pattern& random) {
    const int y = kPanelTop + kCardPitch * row;
    screen::fillBox(9, y, 606, y + 68, 35 + row);
    screen::fillBox(11, y + 14, 603, y + 54, 37 + row);
    screen::box(11, y + 14, 603, y + 54, 25);
    screen::textAt(16, y + 4, "MP3", 8);
    screen::textAt(16, y + 59, "#" + std::to_string(row + 1), 8);
    screen::fillBox(553, y + 2, 600, y + 10, 8);
    screen::textAt(557, y + 3, "00:00", 29);
    const int middle = y + 34;
    for (int c = 1; c <= 2000; ++c) {
        // The last columns fade out like the end of a song.
        const double full = c > 1930 ? std::max(0.0, 28 - 0.4 * (c - 1930)) : 28;
        const int half = roundEven(random.unit() * full / 2);
        const int x = kBarLeft + c * kBarWidth / 2000;
        screen::line(x, middle - half, x, middle + half, 36 + row);
    }
}

void drawEmptyRow(int row) {
    const int y = kSmallRowsTop + kSmallRowPitch * row;
    screen::fillBox(9, y, 606, y + 24, 38);
    screen::textAt(16, y + 3, "MP3", 8);
    screen::textAt(16, y + 15, "#" + std::to_string(row + 1), 8);
    screen::fillBox(553, y + 2, 600, y + 10, 0);
    screen::textAt(557, y + 3, "00:00", 29);
}

} // namespace

std::string shortTime(double ms) {
    std::string s = timing::minutesSeconds(ms);
    if (s[0] == '0') s[0] = ' ';
    return s;
}

double zoomedFraction(double f, int32_t lengthMs) {
    const double z = zoomFactor(lengthMs);
    if (z == 1.0) return f;
    double g = 0.45;
    if (z * f < 0.445) g = z * f;
    if (1 - (1 - f) * z > 0.455) g = 1 - (1 - f) * z;
    return g;
}

void drawProgress(int r) {
    if (r < 0 || r > 1 || !currentViewShown()) return;
    const double now = timing::now();
    if (now < timeDisplay.nextBarTime[r]) return;
    timeDisplay.nextBarTime[r] = now + kBarPeriodSeconds;
    const PlaylistEntry* song = songAt(tracks.playPosition + r);
    if (!song) return;
    const double len = song->lengthMs, pos = positionOf(r, *song);
    if (len > 0 && pos > 0) {
        const int y = barY(r);
        const float f = float(std::clamp(zoomedFraction(pos / len, song->lengthMs), 0.0, 1.0));
        if (timeDisplay.barJumped == 1 || f < timeDisplay.barFraction[r]) {
            screen::line(kBarLeft, y, kBarRight, y, 8);
            screen::fillBox(kBarLeft, y, kBarRight, y + 2, 35);
            timeDisplay.barJumped = 0;
        }
        screen::fillBox(kBarLeft, y, roundEven(kBarLeft + kBarWidth * double(f)), y + 2, 40);
        timeDisplay.barFraction[r] = f;
    }
    drawTicks(r);
    drawTimes(r);
}

void drawTicks(int r) {
    if (r < 0 || r > 1 || !currentViewShown()) return;
    const PlaylistEntry* song = songAt(tracks.playPosition + r);
    if (!song || song->lengthMs < 2000) return;
    const int32_t len = song->lengthMs;
    const bool zoomed = zoomFactor(len) != 1.0f;
    int32_t step = 1000;
    if (envelopeView.zoomLevel == 0 && len > 1200000)
        step = 60000;
    else if (envelopeView.zoomLevel == 0 && len > 600000)
        step = 30000;
    const int y0 = barY(r);
    screen::lock();
    // Long songs step from their first step, so that the steps meet the marks.
    for (int32_t t = step > 1000 ? step : 1000; t <= len; t += step) {
        const double g = zoomedFraction(double(t) / len, len);
        if (zoomed && g > 0.44 && g < 0.46) continue; // the collapsed middle
        const int x = roundEven(kBarLeft + kBarWidth * g);
        if (len < 60000) screen::line(x, y0 - 3, x, y0 + 2, 3);
        if (len > 120000 && len < 600000 && t % 5000 == 0) {
            screen::fillBox(x - 1, y0 - 2, x + 1, y0, 14);
            screen::line(x, y0 - 2, x, y0, 0);
        }
        if (len < 600000 && t % 10000 == 0) {
            screen::fillBox(x - 1, y0 - 5, x + 1, y0, 14);
            screen::line(x, y0 - 3, x, y0, 0);
        }
        if (len < 1800000 && t % 60000 == 0) {
            screen::fillBox(x - 3, y0 - 5, x + 3, y0, 14);
            screen::fillBox(x - 1, y0 - 3, x + 1, y0, 0);
            screen::box(x - 4, y0 - 6, x + 4, y0, 0);
        }
        if (t % 600000 == 0) {
            screen::fillBox(x - 4, y0 - 7, x + 4, y0, 12);
            screen::line(x, y0 - 3, x, y0, 0);
        }
    }
    screen::unlock();
}

void drawTimes(int r) {
    if (r < 0 || r > 1 || !currentViewShown()) return;
    const PlaylistEntry* song = songAt(tracks.playPosition + r);
    if (!song) return;
    const int y = kPanelTop + kCardPitch * r;
    const double len = song->lengthMs;
    timeField(504, y + 58, 551, y + 66, 21, 505, y + 59, shortTime(positionOf(r, *song)));
    timeField(554, y + 58, 601, y + 66, 21, 557, y + 59, shortTime(len * song->rightTrigger));
    timeField(553, y + 2, 600, y + 10, 0, 557, y + 3, shortTime(len));
}

void drawCardPosition(int r) {
    if (r < 0 || r > 1) return;
    const bool plays =
        r == 0 ? transport.channelOpen[0] == 1 || transport.channelOpen[1] == 1 : incomingPlays();
    if (!plays) {
        if (r == 0) drawTicks(0);
        return;
    }
    // The card was just painted over: the bar cannot wait for its period.
    timeDisplay.nextBarTime[r] = 0;
    drawProgress(r);
}

void drawEndClock() {
    const double now = timing::now();
    if (now < timeDisplay.nextEndClockTime) return;
    timeDisplay.nextEndClockTime = std::floor(now) + 1;
    if (tracks.playlistTop == 0 || tracks.playPosition > tracks.playlistCount) return;

    const PlaylistEntry* current = songAt(tracks.playPosition);
    const bool playing = currentChannelOpen();
    const double elapsed = playing && current ? current->positionMs / 1000.0 : 0;
    const bool currentView = currentViewShown();
    double a = 0;
    // Scrolled down: the songs above the view play first.
    for (int slot = tracks.playPosition; slot < tracks.playlistTop; ++slot) {
        const PlaylistEntry* e = songAt(slot);
        if (!e || blank(*e)) continue;
        if (e->lengthMs == 0) return; // no prediction past a song of unknown length
        a += playSeconds(*e, slot - tracks.playPosition);
    }

    const double today = timing::timeOfDay();
    const int rows = currentView ? kCurrentViewRows : kScrolledViewRows;
    screen::lock();
    for (int row = 0; row < rows; ++row) {
        const PlaylistEntry* e = songAt(tracks.playlistTop + row);
        if (!e) break;
        if (blank(*e)) continue;
        const bool large = currentView && row < kLargeRows;
        a += playSeconds(*e, large ? row : -1);
        const double end = today + a - elapsed;
        if (large)
            endClockAt(74, kPanelTop + kCardPitch * row + 59, 35 + row, end);
        else if (currentView)
            endClockAt(74, kSmallRowsTop + kSmallRowPitch * row + 15, 38, end);
        else
            endClockAt(74, kPanelTop + kScrolledRowPitch * row + 15, 39, end);
    }
    screen::unlock();
}

void drawEnvelopeStrip() {
    const int slot = audibleSlot();
    if (!stripHasEnvelope(slot)) {
        drawNoEnvelopePanel();
        return;
    }
    const PlaylistEntry& song = *songAt(tracks.playPosition + slot);
    const int32_t n = envelopes.blockCount[size_t(slot)];
    const double len = song.lengthMs, pos = positionOf(slot, song);
    const int b = len > 0 ? int(std::floor(n * pos / len)) : 0;

    screen::lock();
    if (pos < 1000) screen::fillBox(kStripX1, kStripY1, kStripX2, kStripY2, 28);
    screen::box(kStripX1, kStripY1, kStripX2, kStripY2, 0);
    for (int k = kStripFirst; k <= kStripLast; ++k) {
        const int block = b + k, x = kStripCursorX + k;
        if (block <= 0) continue;
        screen::line(x, kStripBase, x, kStripCeiling, 28);
        // Past the song's end the strip stays empty.
        if (block <= n) stripColumn(x, slot, block);
    }

    static const int kFadeColours[3] = {25, 23, 25};
    static const uint16_t kSolid3[3] = {screen::kSolid, screen::kSolid, screen::kSolid};
    stripMarker(roundEven(n * song.rightTrigger - b + kStripMarkerOffset), kFadeColours, kSolid3);

    const PlaylistEntry* next = songAt(tracks.playPosition + slot + 1);
    if (next && !blank(*next) && len > 0) {
        const double cue = slot + 1 < kEnvelopeSlots ? envelopes.startCue[size_t(slot + 1)] : 0;
        const double start = song.rightTrigger - (next->leftTrigger - cue) * next->lengthMs / len;
        static const int kNextColours[3] = {19, 19, 19};
        static const uint16_t kDashes[3] = {0x5555, 0xAAAA, 0x5555};
        stripMarker(roundEven(n * start - b + kStripMarkerOffset), kNextColours, kDashes);
    }

    screen::line(35, kStripBase, 37, kStripCeiling, 20);
    screen::line(37, kStripBase, 35, kStripCeiling, 20);
    screen::unlock();
}

void drawEnvelopeStripWhenDue() {
    const double now = timing::now();
    if (now < timeDisplay.nextStripTime) return;
    timeDisplay.nextStripTime = now + kStripPeriodSeconds;
    // The empty panel keeps its own slower pace.
    if (!stripHasEnvelope(audibleSlot()) && now < envelopeView.nextEmptyPanelTime) return;
    drawEnvelopeStrip();
}

void drawEmptyPanel() {
    rng::Pattern random = decorationRandom();
    screen::lock();
    for (int row = 0; row < kLargeRows; ++row)
        drawEmptyCard(row, random);
    drawTicks(0);
    for (int row = kLargeRows; row < kCurrentViewRows; ++row)
        drawEmptyRow(row);
    screen::unlock();
}
