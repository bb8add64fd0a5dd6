#include "ui/compressor_view.h"

#include <algorithm>
#include <string>

#include "platform/rounding.h"
#include "platform/screen.h"
#include "playback/compressor.h"

namespace {

// Button geometry.
constexpr int kY0 = 461, kY1 = 521;
constexpr int kSwitchX0 = 222, kSwitchX1 = 320, kSetupX0 = 321, kSetupX1 = 405;
constexpr int kBarX0 = 227, kBarX1 = 315, kBarLength = 88, kBarTop = 505, kBarBottom = 514;

void outlinedBox(int x0, int x1) {
    screen::fillBox(x0, kY0, x1, kY1, 30);
    screen::box(x0 + 1, kY0 + 1, x1, kY1, 27);
    screen::box(x0 + 1, kY0 + 1, x1 - 1, kY1 - 1, 0);
}

int tickMarkX(int k) {
    return roundEven(kBarX0 + k * kBarLength * 250 / 1000.0);
}

void drawCurvePicture() {
    screen::fillBox(366, 487, 396, 513, 29);
    for (int v = 0; v <= 18000; v += 4) {
        const int y = roundEven(513 - thresholdAt(v) * 4.2 / 1200);
        if (v > 15000 || y < 483) break;
        const int x = roundEven(366 + v / 510.0);
        if (y > 487 && x < 401) {
            screen::setPixel(x, y, 1);
            screen::setPixel(x + 1, y, 1);
            screen::setPixel(x, y - 1, 1);
        }
    }
    screen::line(366, 513, 396, 513, 23);
    screen::line(366, 487, 366, 513, 23);
}

} // namespace

void drawCompressorBars() {
    screen::fillBox(kBarX0, kBarBottom, kBarX1, kBarTop, 27);
    const int reductionX = roundEven(kBarX0 + kBarLength * compressor.gain / 1001.0f);
    screen::fillBox(reductionX, kBarBottom, kBarX1, kBarTop, compressor.barColour);
    if (compressor.duckFactor < 1.0f)
        screen::fillBox(roundEven(kBarX0 + kBarLength * compressor.duckFactor), 508, kBarX1, 511,
                        12);
    for (int k = 1; k <= 3; ++k)
        screen::line(tickMarkX(k), 513, tickMarkX(k), 507, 1);
    // Characters 16 and 17 of the built-in font are the right and left triangles.
    const std::string left(1, char(17)), right(1, char(16));
    if (compressor.lastUp >= 1) screen::textAt(231, 507, left, 25);
    if (compressor.lastDown >= 1) screen::textAt(239, 507, right, 25);
    if (compressor.lastUp == 2) screen::textAt(227, 507, left, 24);
    if (compressor.lastDown == 2) screen::textAt(243, 507, right, 24);
}

void drawCompressorButton() {
    const Compressor& c = compressor;
    outlinedBox(kSwitchX0, kSwitchX1);
    const int switchText = c.compressorOn != 0 ? 0 : 8;
    screen::textAt(231, 471, "KOMPRESSOR", switchText);
    // ANGLEICHEN takes the second line while it is on.
    if (c.matchOn != 0)
        screen::textAt(231, 488, "ANGLEICHEN", c.compressorOn != 0 ? 2 : 8);
    else
        screen::textAt(231, 488, screen::cp437("LAUTSTÄRKE"), switchText);

    outlinedBox(kSetupX0, kSetupX1);
    screen::textAt(330, 471, "Setup:" + std::to_string(c.setupNumber), 0);
    static const char* const kTempoNames[3] = {"SLOW", "MEDI", "FAST"};
    const char* tempoName =
        c.setupNumber == 0 ? "OFF" : kTempoNames[std::clamp<int>(c.tempoIndex, 0, 2)];
    screen::textAt(330, 488, tempoName, 0);
    screen::textAt(330, 506, "RMS", 0);
    drawCurvePicture();

    screen::fillBox(kBarX0, kBarBottom, kBarX1, kBarTop, 28);
    screen::box(kBarX0 - 1, kBarBottom + 1, kBarX1 + 1, kBarTop - 1, 0);
}
