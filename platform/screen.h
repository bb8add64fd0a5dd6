#pragma once
// The one 8-bit framebuffer every screen is drawn into: pixels as palette
// indices, the 256-entry palette, the last drawn point and the text cursor.
// Written only through these functions; backends read `screen::fb` to present
// or save it.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace screen {

constexpr int kWidth = 1000;
constexpr int kHeight = 527;
constexpr uint16_t kSolid = 0xFFFF;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Framebuffer {
    int width = kWidth;
    int height = kHeight;
    std::vector<uint8_t> pixels; // width * height palette indices, row-major
    std::array<Rgb, 256> palette{};
    int lastX = 0, lastY = 0;         // end of the last line, for lineTo
    int cursorRow = 1, cursorCol = 1; // text cursor, cells of 8 x 8, from 1
    uint8_t foreground = 15, background = 0;
    int lockDepth = 0;       // > 0 holds back presenting
    uint64_t generation = 0; // bumped on every change, so a backend knows to present
};

extern Framebuffer fb;

// Sizes the framebuffer (the main window or the small refusal window), fills it
// with colour 0, loads the default VGA palette and homes the text cursor.
void open(int width, int height);
std::array<Rgb, 256> defaultPalette();

void setPalette(int index, int r, int g, int b);
// Fills the window with the background colour and homes the text cursor.
void clear();

// Pattern bits are used from the most significant one, one per pixel, restarting
// with every call; a set bit draws the pixel.
void line(int x1, int y1, int x2, int y2, int colour, uint16_t pattern = kSolid);
void lineTo(int x2, int y2, int colour, uint16_t pattern = kSolid);
void box(int x1, int y1, int x2, int y2, int colour, uint16_t pattern = kSolid);
void fillBox(int x1, int y1, int x2, int y2, int colour);
void circle(int cx, int cy, int radius, int colour);
void disc(int cx, int cy, int radius, int colour);
void setPixel(int x, int y, int colour);
// Colour index at (x, y); -1 outside the window.
int pixel(int x, int y);

// Code page 437 text at a pixel position, background left as it is.
void textAt(int x, int y, std::string_view cp437, int colour);

// Text cursor. Rows and columns count from 1; printing paints each cell in the
// background colour, wraps at the right edge and scrolls at the bottom.
void setColors(int foreground, int background);
void locate(int row, int column);
void print(std::string_view cp437);
void printLine(std::string_view cp437 = {});
// A number the way the text cursor writes it: a blank or a minus sign, the
// digits, a trailing blank.
std::string numberText(double value);
// A number through a numeric picture of '#' digits, right-aligned; a value that
// does not fit is written whole behind a '%'.
std::string pictureText(std::string_view picture, double value);

// Drawing between lock and unlock appears at once; locks nest.
void lock();
void unlock();

// Converts UTF-8 source text to code page 437; characters without a glyph become '?'.
std::string cp437(std::string_view utf8);
// The other way, for text typed into the window that names a file.
std::string utf8(std::string_view cp437);

} // namespace screen
