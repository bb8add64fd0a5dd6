// The text console of the screen: glyphs of the 8 x 8 font at a cursor that
// wraps and scrolls, and text placed by pixel.
#include <algorithm>

#include "platform/font.h"
#include "platform/screen.h"
#include "platform/screen_raster.h"

namespace screen {
namespace {

using namespace raster;

constexpr int kCell = 8;

void drawGlyph(int x, int y, unsigned char code, uint8_t colour) {
    if (x <= -kCell || y <= -kCell || x >= fb.width || y >= fb.height) return;
    for (int row = 0; row < kCell; ++row) {
        const uint8_t bits = font::kGlyphs[code][row];
        for (int col = 0; col < kCell; ++col)
            if (bits & (0x80 >> col)) plot(x + col, y + row, colour);
    }
}

int textColumns() {
    return std::max(fb.width / kCell, 1);
}

int textRows() {
    return std::max(fb.height / kCell, 1);
}

// Moves the text area up one row; the strip below the last full row stays.
void scrollUp() {
    const size_t rowBytes = static_cast<size_t>(fb.width) * kCell;
    const size_t areaBytes = rowBytes * size_t(textRows());
    uint8_t* pixels = fb.pixels.data();
    if (areaBytes > rowBytes) std::copy(pixels + rowBytes, pixels + areaBytes, pixels);
    std::fill(pixels + (areaBytes - rowBytes), pixels + areaBytes, fb.background);
}

void nextRow() {
    fb.cursorCol = 1;
    if (++fb.cursorRow > textRows()) {
        scrollUp();
        fb.cursorRow = textRows();
    }
}

} // namespace

using namespace raster;

void textAt(int x, int y, std::string_view cp437, int colour) {
    const uint8_t c = colourIndex(colour);
    long long left = x;
    for (char ch : cp437) {
        if (left >= fb.width) break;
        if (left > -kCell) drawGlyph(static_cast<int>(left), y, static_cast<unsigned char>(ch), c);
        left += kCell;
    }
    touch();
}

void setColors(int foreground, int background) {
    fb.foreground = colourIndex(foreground);
    fb.background = colourIndex(background);
}

void locate(int row, int column) {
    fb.cursorRow = std::clamp(row, 1, textRows());
    fb.cursorCol = std::clamp(column, 1, textColumns());
}

void print(std::string_view cp437) {
    for (char ch : cp437) {
        // The wrap waits for the next character, so a text that exactly fills
        // the last row does not scroll the screen.
        if (fb.cursorCol > textColumns()) nextRow();
        const int x = (fb.cursorCol - 1) * kCell, y = (fb.cursorRow - 1) * kCell;
        for (int row = 0; row < kCell; ++row)
            span(x, x + kCell - 1, y + row, fb.background);
        drawGlyph(x, y, static_cast<unsigned char>(ch), fb.foreground);
        ++fb.cursorCol;
    }
    touch();
}

void printLine(std::string_view cp437) {
    print(cp437);
    nextRow();
    touch();
}

} // namespace screen
