#include "ui/transport_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/triggers.h"
#include "platform/clock.h"
#include "platform/layout.h"
#include "platform/screen.h"
#include "playback/crossfade.h"

void drawCountdownBox() {
    screen::fillBox(331, 160, 554, 327, 7);
    screen::box(331, 160, 554, 327, 0);
    screen::textAt(350, 170, "PAUSE       SEC", 0);
    screen::textAt(350, 190, "PAUSE abbrechen:", 0);
    screen::textAt(350, 200, "Klick", 0);
    if (triggers.leftTriggerPercent > 0.16f || triggers.rightTriggerPercent > 0.16f) {
        screen::textAt(350, 216, "Tipp:", 8);
        screen::textAt(350, 226, "beide TRIGGER", 8);
        screen::textAt(350, 236, "minimieren.", 8);
    }
    screen::fillBox(kStopBoxX1, kStopBoxY1, kStopBoxX2, kStopBoxY2, 12);
    screen::box(kStopBoxX1, kStopBoxY1, kStopBoxX2, kStopBoxY2, 0);
    screen::textAt(418, 270, "STOPP:", 15);
    screen::textAt(394, 290, "Hier klicken", 15);
}

void drawCountdownSeconds() {
    const int left = std::max(0, int(std::floor(crossFade.nextStartTime - timing::now())));
    char text[16];
    std::snprintf(text, sizeof text, "%4d ", left);
    screen::fillBox(390, 169, 429, 178, 7);
    screen::textAt(350 + 5 * 8, 170, text, 0);
}

void drawPlayLabel() {
    screen::fillBox(19, 156, 63, 170, 53);
    screen::textAt(22, 160, "Play", 0);
}

void drawRefusedSign() {
    screen::disc(350, 350, 30, 4);
    screen::circle(350, 350, 30, 0);
    for (int d = -1; d <= 1; ++d) {
        screen::line(329 + d, 329, 371 + d, 371, 15);
        screen::line(371 + d, 329, 329 + d, 371, 15);
    }
}
