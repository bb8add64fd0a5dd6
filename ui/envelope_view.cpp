#include "ui/envelope_view.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/layout.h"
#include "platform/random.h"
#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/transport.h"
#include "ui/control_panel.h"
#include "ui/time_display.h"

EnvelopeView envelopeView;

namespace {

constexpr int kX0 = kEnvelopeLeft, kWidth = kEnvelopeWidth;
constexpr int kPanelTop = kCardTop, kBaselineOffset = 54;
// 32767 reaches 39 pixels, the height of the name bar's inside.
constexpr double kValuesPerPixel = 840;
constexpr int kPeakColours[kEnvelopeSlots] = {1, 8, 7};
constexpr int kLevelColour = 24;
// Zoomed songs: everything left of the cut belongs to the song's beginning.
constexpr double kZoomedLeftLimit = 260.78, kZoomedRightStart = 262.55;
constexpr double kHandOverMinX = 277.3;
constexpr double kEmptyPanelSeconds = 1.1;

constexpr int kPanelX1 = 5, kPanelY1 = 461, kPanelX2 = 158, kPanelY2 = 521;
constexpr int kTriggerFace = 30, kTriggerGrey = 24;
constexpr int kPercentRow = 63, kPercentColumn = 54; // pixel (424, 496)
const std::string kUpArrows = std::string(1, char(30)) + "   " + char(30);
const std::string kDownArrows = std::string(1, char(31)) + "   " + char(31);
constexpr double kBlinkPauseSeconds = 2.0;
constexpr float kBlinkLeftPercent = 0.2f;

int rowTop(int slot) {
    return kPanelTop + kCardPitch * slot;
}

PlaylistEntry* entryOf(int slot) {
    const int i = tracks.playPosition + slot;
    if (slot < 0 || slot >= kEnvelopeSlots || i > tracks.playlistCount) return nullptr;
    return playlistSlot(i);
}

int16_t tableValue(const std::vector<int16_t>& table, int slot, int block) {
    const size_t i = envelopeIndex(slot, block);
    return block >= 0 && i < table.size() ? table[i] : 0;
}

void envelopeColumn(int x, int baseline, int slot, int block) {
    const int peak = tableValue(envelopes.peakTable, slot, block);
    const int level = tableValue(envelopes.levelTable, slot, block);
    screen::line(x, baseline, x, baseline - roundEven(peak / kValuesPerPixel), kPeakColours[slot]);
    screen::line(x, baseline, x, baseline - roundEven(level / kValuesPerPixel), kLevelColour);
}

void zoomCut(int baseline) {
    screen::fillBox(kX0 + 263, baseline - 39, kX0 + 269, baseline, 4);
    screen::line(kX0 + 266, baseline - 39, kX0 + 266, baseline, 15);
}

// Shading steps each colour index down by three, into the darker shade of its ramp.
void darken(int x1, int x2, int y1, int y2) {
    x1 = std::max(x1, kX0);
    x2 = std::min(x2, kX0 + kWidth);
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            screen::setPixel(x, y, screen::pixel(x, y) - 3);
}

void envelopeHint(int slot) {
    // The slot being read says so whenever its row is drawn, not only when
    // the decoder is next looked at: a quick decode ends before that.
    if (decoder.decodeSlot == slot + 1 && decoder.lameOn != 0) {
        drawWorkingLabel(slot);
        return;
    }
    const int top = rowTop(slot);
    const char* text = "Hüllkurve: LAME.exe in den Arbeitsordner.";
    int boxX = 26, textX = 36;
    if (decoder.lameAvailable != 0) {
        text = decoder.lameOn != 0 ? "Hüllkurve bald vorhanden. LAME ist aktiv."
                                   : "Hüllkurve: LAME aktivieren.";
        boxX = 56;
        textX = 66;
    }
    screen::fillBox(boxX, top + 20, 526, top + 35, 27 + slot);
    screen::textAt(textX, top + 25, screen::cp437(text), 21 + slot);
}

void printPercents(int colour) {
    const int foreground = screen::fb.foreground, background = screen::fb.background;
    screen::setColors(colour, kTriggerFace);
    screen::locate(kPercentRow, kPercentColumn);
    screen::print(screen::pictureText("##", 100.0 * triggers.leftTriggerPercent) + "% " +
                  screen::pictureText("##", 100.0 * triggers.rightTriggerPercent) + "%");
    screen::setColors(foreground, background);
}

// Decoration only; seeded from the clock so a virtual clock repeats it.
rng::Pattern decorationRandom() {
    return rng::Pattern(uint32_t(std::llround(std::fabs(timing::now()) * 1000)) + 7);
}

} // namespace

float zoomFactor(int32_t lengthMs) {
    if (envelopeView.zoomLevel == 0 || envelopeView.zoomReference <= 0 ||
        !(lengthMs > envelopeView.zoomMinLength))
        return 1.0f;
    return float(lengthMs) / float(envelopeView.zoomReference);
}

void drawEnvelopeRow(int slot) {
    PlaylistEntry* e = entryOf(slot);
    if (!e) return;
    const int baseline = rowTop(slot) + kBaselineOffset;
    const bool zoomed = zoomFactor(e->lengthMs) != 1.0f;
    screen::lock();
    if (envelopes.envelopePresent[size_t(slot)] != 0) {
        const int32_t n = envelopes.blockCount[size_t(slot)];
        int previousX = -1;
        for (int b = 0; b <= n; ++b) {
            const double f = n > 0 ? double(b) / n : 0;
            const int x = roundEven(kX0 + kWidth * zoomedFraction(f, e->lengthMs));
            envelopeColumn(x, baseline, slot, b);
            // Short songs have fewer blocks than pixels: no gaps between them.
            if (n < kWidth && previousX >= 0)
                for (int between = previousX + 1; between < x; ++between)
                    envelopeColumn(between, baseline, slot, b);
            previousX = x;
        }
        if (zoomed) zoomCut(baseline);
        drawTriggerOverlay(slot);
    } else {
        if (zoomed) zoomCut(baseline);
        envelopeHint(slot);
    }
    if (decoder.lameOn == 0) {
        defaultEntryTriggers(slot);
        drawTriggerOverlay(slot);
    }
    screen::unlock();
}

void drawTriggerOverlay(int slot) {
    if (tracks.playlistTop != tracks.playPosition) return;
    const PlaylistEntry* e = entryOf(slot);
    if (!e) return;
    const int top = rowTop(slot), y1 = top + 15, y2 = top + 53;
    const double len = e->lengthMs;
    const double z = zoomFactor(e->lengthMs);
    const bool zoomed = z != 1.0;
    auto leftPart = [&](double dx) { return zoomed ? std::min(dx, kZoomedLeftLimit) : dx; };

    if (transport.autoPlay == 1 && e->leftTrigger * z > 0.002)
        darken(kX0, roundEven(kX0 + leftPart(z * e->leftTrigger * kWidth)), y1, y2);

    const double cue = envelopes.startCue[size_t(slot)];
    if (cue > 0) {
        const double xs = leftPart(cue * z * kWidth);
        // A cue set by hand starts with a fade-in: the edge slants back by its length.
        const double cueMs = cue * len;
        const double slant = envelopes.startCueManual[size_t(slot)] == 1 && cueMs > 0
                                 ? xs * std::min(cueMs, 1500.0) / cueMs
                                 : 0;
        for (int y = y1; y <= top + 51; y += 3)
            screen::line(kX0, y, roundEven(kX0 + xs - (y - y1) / 37.0 * slant), y, kLevelColour);
    }

    const double fz = 1 - (1 - e->rightTrigger) * z;
    if (fz < 0.998) {
        const double from = zoomed && fz < 0.455 ? kX0 + kZoomedRightStart : kX0 + kWidth * fz;
        darken(roundEven(from), kX0 + kWidth, y1, y2);
    }

    if (transport.autoPlay == 1 && slot < 2 && len > 0) {
        double h = e->rightTrigger;
        if (const PlaylistEntry* next = entryOf(slot + 1)) {
            const size_t n = size_t(slot + 1);
            const double nextCue = envelopes.envelopePresent[n] != 0 ? envelopes.startCue[n] : 0;
            h -= (next->leftTrigger - nextCue) * next->lengthMs / len;
        }
        const double x = kX0 + kWidth - (1 - h) * z * kWidth;
        if (x > kHandOverMinX) {
            const int xi = roundEven(x);
            screen::line(xi - 1, y1, xi - 1, y2, 7, 0xAAAA);
            screen::line(xi, y1, xi, y2, 8, 0x5555);
            screen::line(xi + 1, y1, xi + 1, y2, 7, 0xAAAA);
        }
    }
}

void drawNoEnvelopePanel() {
    envelopeView.nextEmptyPanelTime = timing::now() + kEmptyPanelSeconds;
    rng::Pattern random = decorationRandom();
    screen::lock();
    screen::fillBox(kPanelX1, kPanelY1, kPanelX2, kPanelY2, 28);
    screen::box(kPanelX1, kPanelY1, kPanelX2, kPanelY2, 0);
    for (int v = -40; v <= 110; v += 2) {
        const int r = roundEven(random.unit() * 20 + 10);
        screen::line(v + 46, 520, v + 46, 520 - r, 27);
        screen::line(v + 47, 520, v + 47, 520 - roundEven(0.7 * r), 27);
    }
    screen::textAt(35, 471, "KEINE DATEN", 24);
    if (decoder.lameAvailable == 0) {
        screen::textAt(25, 485, "BITTE LAME.EXE", 22);
        screen::textAt(17, 499, "in Arbeitsordner", 22);
    } else if (decoder.lameOn == 0) {
        screen::textAt(19, 488, "LAME einschalten", 22);
    }
    screen::unlock();
}

void drawTriggerButton() {
    const Rect& r = kTriggerRect;
    const int colour = decoder.lameOn == 0 || transport.autoPlay == 0 ? kTriggerGrey : 0;
    screen::lock();
    screen::fillBox(r.x1, r.y1, r.x2, r.y2, kTriggerFace);
    screen::box(r.x1 + 1, r.y1 + 1, r.x2, r.y2, 27);
    screen::box(r.x1 + 1, r.y1 + 1, r.x2 - 1, r.y2 - 1, 0);
    screen::textAt(r.x1 + 7, r.y1 + 10, "TRIGGER", colour);
    printPercents(colour);
    screen::textAt(r.x1 + 14, r.y1 + 22, kUpArrows, colour);
    screen::textAt(r.x1 + 14, r.y1 + 48, kDownArrows, colour);
    screen::unlock();
}

void drawLameButton() {
    const Rect& r = kLameRect;
    const bool on = decoder.lameOn != 0;
    screen::lock();
    screen::fillBox(r.x1, r.y1, r.x2, r.y2, 30);
    screen::box(r.x1 + 1, r.y1, r.x2, r.y2, 25);
    screen::box(r.x1 + 1, r.y1, r.x2 - 1, r.y2, 0);
    screen::textAt(r.x1 + 11, r.y1 + 10, "LAME", on ? 0 : 27);
    if (decoder.lameAvailable != 0) {
        screen::textAt(r.x1 + 11, r.y1 + 30, " AN", on ? 0 : 27);
        screen::textAt(r.x1 + 16, r.y1 + 44, "AUS", on ? 27 : 0);
    }
    screen::unlock();
}

void serviceTriggerBlink() {
    // A pause wants both triggers low; a high left trigger blinks as a warning.
    const bool warn = transport.pauseSeconds > kBlinkPauseSeconds &&
                      triggers.leftTriggerPercent > kBlinkLeftPercent && transport.autoPlay != 0 &&
                      decoder.lameOn != 0;
    if (!warn) {
        if (envelopeView.triggerBlinkActive) {
            envelopeView.triggerBlinkActive = false;
            drawTriggerButton();
        }
        return;
    }
    envelopeView.triggerBlinkActive = true;
    const double now = timing::now();
    if (!(now > envelopeView.triggerBlinkTime)) return;
    envelopeView.triggerBlink = !envelopeView.triggerBlink;
    const int p = envelopeView.triggerBlink ? 1 : 0;
    envelopeView.triggerBlinkTime = now + p + 1.0; // 2 s dark, 1 s grey
    const int colour = kTriggerGrey - kTriggerGrey * p;
    printPercents(colour);
    screen::textAt(kTriggerRect.x1 + 14, kTriggerRect.y1 + 48, kDownArrows, colour);
}

void drawWorkingLabel(int slot) {
    const int r = kCardTop + kCardPitch * slot;
    screen::fillBox(26, r + 19, 526, r + 44, 221);
    screen::box(26, r + 19, 526, r + 44, 8);
    screen::box(27, r + 20, 525, r + 43, 7);
    screen::textAt(66, r + 27, screen::cp437("Hüllkurve wird gelesen. LAME arbeitet..."), 0);
}

void drawStaleBand(int slot) {
    const int top = kCardTop + kCardPitch * slot;
    for (int y = top + 14; y <= top + 38; y += 2)
        for (int x = kX0; x <= kX0 + kWidth; x += 2) {
            screen::setPixel(x, y, 7);
            screen::setPixel(x + 1, y + 1, 8);
        }
}
