#include "platform/screen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/font.h"

namespace screen {

Framebuffer fb;

namespace {

constexpr int kCell = 8;

uint8_t expand6(int v) {
    return static_cast<uint8_t>((v << 2) | (v >> 4));
}

uint8_t colourIndex(int colour) {
    return static_cast<uint8_t>(colour & 0xFF);
}

bool inside(int x, int y) {
    return x >= 0 && y >= 0 && x < fb.width && y < fb.height;
}

// Where pixel (x, y) is in the frame; the caller has checked it is inside.
size_t offset(int x, int y) {
    return size_t(y) * size_t(fb.width) + size_t(x);
}

void plot(int x, int y, uint8_t colour) {
    if (inside(x, y)) fb.pixels[offset(x, y)] = colour;
}

void touch() {
    ++fb.generation;
}

// A clipped horizontal run, the building block of fills.
void span(int x1, int x2, int y, uint8_t colour) {
    if (y < 0 || y >= fb.height) return;
    x1 = std::max(x1, 0);
    x2 = std::min(x2, fb.width - 1);
    if (x1 > x2) return;
    std::fill_n(fb.pixels.data() + offset(x1, y), x2 - x1 + 1, colour);
}

bool patternBit(uint16_t pattern, long long i) {
    return (pattern >> (15 - i % 16)) & 1;
}

// Bresenham in closed form: pixel i of the line lies i steps along the major
// axis, with the minor offset rounded from the exact slope (halves away from
// the start, the same pixels as the usual error-stepping loop). Being able to jump
// to any i lets a line that runs far outside the window cost only the pixels
// inside, while the pattern keeps counting from the true start. Returns the
// number of pixels of the line so outlines can continue the pattern.
long long drawLine(int x1, int y1, int x2, int y2, uint8_t colour, uint16_t pattern,
                   long long patternStart) {
    const long long dx = static_cast<long long>(x2) - x1;
    const long long dy = static_cast<long long>(y2) - y1;
    // Solid vertical lines are most of what the envelopes draw, many times a second.
    if (dx == 0 && pattern == 0xFFFF) {
        if (x1 >= 0 && x1 < fb.width) {
            const int top = std::max(std::min(y1, y2), 0);
            const int bottom = std::min(std::max(y1, y2), fb.height - 1);
            uint8_t* p = fb.pixels.data() + static_cast<size_t>(x1);
            for (int y = top; y <= bottom; ++y)
                p[offset(0, y)] = colour;
        }
        return std::llabs(dy) + 1;
    }
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const long long minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const long long majorStart = xMajor ? x1 : y1;
    const long long minorStart = xMajor ? y1 : x1;
    const long long limit = xMajor ? fb.width : fb.height;

    // Steps whose major coordinate lies inside the window.
    long long first = 0, last = major;
    if (majorStep > 0) {
        first = std::max(first, -majorStart);
        last = std::min(last, limit - 1 - majorStart);
    } else {
        first = std::max(first, majorStart - (limit - 1));
        last = std::min(last, majorStart);
    }
    // Window-sized lines fit 64 bits; a line between the extremes of int
    // needs 128 (a software division, worth avoiding for the many short
    // lines of the envelopes).
    const bool small = major < (1LL << 30);
    for (long long i = first; i <= last; ++i) {
        if (!patternBit(pattern, patternStart + i)) continue;
        const long long along = majorStart + majorStep * i;
        long long offset = 0;
        if (minor != 0)
            offset = small
                         ? (2 * i * minor + major) / (2 * major)
                         : static_cast<long long>((__int128{2} * i * minor + major) / (2 * major));
        const long long across = minorStart + minorStep * offset;
        if (across < 0 || across >= (xMajor ? fb.height : fb.width)) continue;
        if (xMajor)
            plot(static_cast<int>(along), static_cast<int>(across), colour);
        else
            plot(static_cast<int>(across), static_cast<int>(along), colour);
    }
    return major + 1;
}

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

// Trailing zeros and a lone point are dropped, as the text cursor prints them;
// so is the zero before the point.
std::string trimmedDecimal(std::string text) {
    const size_t exponent = text.find_first_of("eE");
    std::string tail;
    if (exponent != std::string::npos) {
        tail = text.substr(exponent);
        text.resize(exponent);
    }
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    if (text.rfind("0.", 0) == 0) text.erase(0, 1);
    for (char& c : tail)
        c = static_cast<char>(c == 'e' ? 'E' : c);
    return text + tail;
}

// Unicode code point of every code page 437 code (0x01-0x1F and 0x7F as the
// symbols their glyphs show).
constexpr char32_t kUnicode[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642,
    0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC, 0x0020, 0x0021, 0x0022, 0x0023,
    0x0024, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F, 0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053,
    0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B,
    0x006C, 0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302, 0x00C7, 0x00FC, 0x00E9, 0x00E2,
    0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2,
    0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566,
    0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0,
    0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A,
    0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Other spellings of the arrow marks that source texts may use.
struct Alias {
    char32_t unicode;
    unsigned char code;
};
constexpr Alias kAliases[] = {{0x25B6, 16}, {0x25B8, 16}, {0x25C0, 17},
                              {0x25C2, 17}, {0x25B4, 30}, {0x25BE, 31}};

bool hasGlyph(unsigned char code) {
    if (code == 0 || code == ' ' || code == 0xFF) return true; // blank by design
    for (uint8_t row : font::kGlyphs[code])
        if (row) return true;
    return false;
}

char codeFor(char32_t unicode) {
    for (int code = 0x80; code < 256; ++code)
        if (kUnicode[code] == unicode)
            return hasGlyph(static_cast<unsigned char>(code)) ? static_cast<char>(code) : '?';
    for (int code = 1; code < 0x20; ++code)
        if (kUnicode[code] == unicode) return static_cast<char>(code);
    if (unicode == 0x2302) return 0x7F;
    for (const Alias& alias : kAliases)
        if (alias.unicode == unicode) return static_cast<char>(alias.code);
    return '?';
}

// What the font lacks is shown by its nearest plain form: a file name full of
// typographic dashes, quotes and foreign letters stays readable.
std::string nearestFor(char32_t unicode) {
    // Base letters of U+00C0 to U+00FF and U+0100 to U+017F.
    static constexpr std::string_view kLatin1 =
        "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";
    static constexpr std::string_view kLatinA =
        "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlL"
        "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
    if (unicode >= 0xC0 && unicode <= 0xFF) return std::string(1, kLatin1[unicode - 0xC0]);
    if (unicode >= 0x100 && unicode <= 0x17F) return std::string(1, kLatinA[unicode - 0x100]);
    switch (unicode) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212:
        return "-";
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x201B:
    case 0x2032:
    case 0x00B4:
    case 0x0060:
        return "'";
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x201F:
    case 0x2033:
        return "\"";
    case 0x2039:
        return "<";
    case 0x203A:
        return ">";
    case 0x2026:
        return "...";
    case 0x20AC:
        return "EUR";
    case 0x00A9:
        return "(c)";
    case 0x00AE:
        return "(R)";
    case 0x2122:
        return "TM";
    case 0x00A0:
    case 0x2002:
    case 0x2003:
    case 0x2009:
    case 0x202F:
        return " ";
    default:
        return "?";
    }
}

} // namespace

std::array<Rgb, 256> defaultPalette() {
    static constexpr uint8_t kEga[16][3] = {
        {0x00, 0x00, 0x00}, {0x00, 0x00, 0xAA}, {0x00, 0xAA, 0x00}, {0x00, 0xAA, 0xAA},
        {0xAA, 0x00, 0x00}, {0xAA, 0x00, 0xAA}, {0xAA, 0x55, 0x00}, {0xAA, 0xAA, 0xAA},
        {0x55, 0x55, 0x55}, {0x55, 0x55, 0xFF}, {0x55, 0xFF, 0x55}, {0x55, 0xFF, 0xFF},
        {0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xFF, 0x55}, {0xFF, 0xFF, 0xFF}};
    static constexpr int kGreys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
    // Each ring walks the hue circle blue, magenta, red, yellow, green, cyan;
    // the numbers pick which of the ring's five steps feeds R, G and B.
    static constexpr uint8_t kHues[24][3] = {
        {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},
        {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},
        {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4}};
    static constexpr int kRingSteps[9][5] = {
        {0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
        {0, 7, 14, 21, 28},  {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
        {0, 4, 8, 12, 16},   {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16}};

    std::array<Rgb, 256> palette{};
    for (int i = 0; i < 16; ++i)
        palette[size_t(i)] = {kEga[i][0], kEga[i][1], kEga[i][2]};
    for (int i = 0; i < 16; ++i)
        palette[size_t(16 + i)] = {expand6(kGreys[i]), expand6(kGreys[i]), expand6(kGreys[i])};
    for (int ring = 0; ring < 9; ++ring)
        for (int hue = 0; hue < 24; ++hue) {
            const int* steps = kRingSteps[ring];
            palette[size_t(32 + ring * 24 + hue)] = {expand6(steps[kHues[hue][0]]),
                                                     expand6(steps[kHues[hue][1]]),
                                                     expand6(steps[kHues[hue][2]])};
        }
    // 248-255 stay black.
    return palette;
}

void open(int width, int height) {
    fb.width = std::max(width, 1);
    fb.height = std::max(height, 1);
    fb.pixels.assign(size_t(fb.width) * size_t(fb.height), 0);
    fb.palette = defaultPalette();
    fb.lastX = fb.lastY = 0;
    fb.cursorRow = fb.cursorCol = 1;
    fb.foreground = 15;
    fb.background = 0;
    touch();
}

void setPalette(int index, int r, int g, int b) {
    if (index < 0 || index > 255) return;
    auto channel = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
    fb.palette[size_t(index)] = {channel(r), channel(g), channel(b)};
    touch();
}

void clear() {
    std::fill(fb.pixels.begin(), fb.pixels.end(), fb.background);
    fb.cursorRow = fb.cursorCol = 1;
    touch();
}

void line(int x1, int y1, int x2, int y2, int colour, uint16_t pattern) {
    drawLine(x1, y1, x2, y2, colourIndex(colour), pattern, 0);
    fb.lastX = x2;
    fb.lastY = y2;
    touch();
}

void lineTo(int x2, int y2, int colour, uint16_t pattern) {
    line(fb.lastX, fb.lastY, x2, y2, colour, pattern);
}

void box(int x1, int y1, int x2, int y2, int colour, uint16_t pattern) {
    const uint8_t c = colourIndex(colour);
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (left == right || top == bottom) {
        drawLine(left, top, right, bottom, c, pattern, 0);
    } else {
        // Clockwise from the top left corner, each corner drawn once, the
        // pattern running on around the outline.
        long long n = 0;
        n += drawLine(left, top, right, top, c, pattern, n);
        n += drawLine(right, top + 1, right, bottom, c, pattern, n);
        n += drawLine(right - 1, bottom, left, bottom, c, pattern, n);
        if (bottom - top > 1) drawLine(left, bottom - 1, left, top + 1, c, pattern, n);
    }
    fb.lastX = x2;
    fb.lastY = y2;
    touch();
}

void fillBox(int x1, int y1, int x2, int y2, int colour) {
    const uint8_t c = colourIndex(colour);
    const int top = std::max(std::min(y1, y2), 0);
    const int bottom = std::min(std::max(y1, y2), fb.height - 1);
    for (int y = top; y <= bottom; ++y)
        span(std::min(x1, x2), std::max(x1, x2), y, c);
    fb.lastX = x2;
    fb.lastY = y2;
    touch();
}

// Midpoint circle: one octant is stepped, the other seven mirrored.
template <typename Emit> static void midpointCircle(int radius, Emit emit) {
    long long x = radius, y = 0, error = 1 - static_cast<long long>(radius);
    while (x >= y) {
        emit(x, y);
        ++y;
        if (error < 0) {
            error += 2 * y + 1;
        } else {
            --x;
            error += 2 * (y - x) + 1;
        }
    }
}

static bool offWindow(int cx, int cy, int radius) {
    return static_cast<long long>(cx) + radius < 0 || static_cast<long long>(cy) + radius < 0 ||
           static_cast<long long>(cx) - radius >= fb.width ||
           static_cast<long long>(cy) - radius >= fb.height;
}

// True when the whole window lies well inside the circle: its outline is then
// invisible, and a huge radius need not be stepped through.
static bool windowWithin(int cx, int cy, int radius) {
    if (radius < 2) return false;
    auto far = [](long long centre, int size) {
        return std::max(std::llabs(centre), std::llabs(centre - (size - 1)));
    };
    const __int128 dx = far(cx, fb.width), dy = far(cy, fb.height);
    const __int128 inner = radius - 2;
    return dx * dx + dy * dy < inner * inner;
}

void circle(int cx, int cy, int radius, int colour) {
    touch();
    if (radius < 0 || offWindow(cx, cy, radius) || windowWithin(cx, cy, radius)) return;
    const uint8_t c = colourIndex(colour);
    midpointCircle(radius, [&](long long x, long long y) {
        const long long points[8][2] = {{x, y},   {y, x},   {-y, x}, {-x, y},
                                        {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (const auto& p : points) {
            const long long px = cx + p[0], py = cy + p[1];
            if (px >= 0 && py >= 0 && px < fb.width && py < fb.height)
                plot(static_cast<int>(px), static_cast<int>(py), c);
        }
    });
}

void disc(int cx, int cy, int radius, int colour) {
    touch();
    if (radius < 0 || offWindow(cx, cy, radius)) return;
    const uint8_t c = colourIndex(colour);
    if (windowWithin(cx, cy, radius)) {
        std::fill(fb.pixels.begin(), fb.pixels.end(), c);
        return;
    }
    // Spans between mirrored outline points, so the disc covers exactly the
    // circle of the same radius and everything within it.
    auto run = [&](long long halfWidth, long long dy) {
        for (long long row : {cy + dy, cy - dy}) {
            if (row < 0 || row >= fb.height) continue;
            const long long a = std::max<long long>(cx - halfWidth, 0);
            const long long b = std::min<long long>(cx + halfWidth, fb.width - 1);
            if (a <= b) span(static_cast<int>(a), static_cast<int>(b), static_cast<int>(row), c);
        }
    };
    midpointCircle(radius, [&](long long x, long long y) {
        run(x, y);
        run(y, x);
    });
}

void setPixel(int x, int y, int colour) {
    plot(x, y, colourIndex(colour));
    touch();
}

int pixel(int x, int y) {
    if (!inside(x, y)) return -1;
    return fb.pixels[offset(x, y)];
}

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

std::string numberText(double value) {
    if (value == 0) value = 0; // no "-0"
    const char* sign = value < 0 ? "-" : " ";
    const double magnitude = std::fabs(value);
    char digits[64];
    if (magnitude == std::floor(magnitude) && magnitude < 1e15)
        std::snprintf(digits, sizeof digits, "%.0f", magnitude);
    else
        std::snprintf(digits, sizeof digits, "%.7G", magnitude);
    std::string text = sign;
    text += std::isfinite(magnitude) ? trimmedDecimal(digits) : digits;
    return text + ' ';
}

std::string pictureText(std::string_view picture, double value) {
    // The field is the run of '#' (with at most one '.'); text around it is copied.
    const size_t start = picture.find_first_of("#.");
    if (start == std::string_view::npos) return std::string(picture);
    size_t end = start;
    int before = 0, after = 0;
    bool point = false;
    for (; end < picture.size(); ++end) {
        if (picture[end] == '#')
            ++(point ? after : before);
        else if (picture[end] == '.' && !point)
            point = true;
        else
            break;
    }
    const int width = before + (point ? 1 + after : 0);

    char digits[400];
    if (point) {
        std::snprintf(digits, sizeof digits, "%.*f", after, value);
        // The digit before the point may be left out when there is no room.
        if (before == 0 && (digits[0] == '0' || (digits[0] == '-' && digits[1] == '0'))) {
            std::string text = digits;
            text.erase(text[0] == '-' ? 1 : 0, 1);
            std::snprintf(digits, sizeof digits, "%s", text.c_str());
        }
    } else {
        double rounded = std::nearbyint(value); // halves to even
        if (rounded == 0) rounded = 0;
        std::snprintf(digits, sizeof digits, "%.0f", rounded);
    }
    std::string field = digits;
    if (static_cast<int>(field.size()) > width)
        field = "%" + field;
    else
        field.insert(0, size_t(width) - field.size(), ' ');
    return std::string(picture.substr(0, start)) + field + std::string(picture.substr(end));
}

void lock() {
    ++fb.lockDepth;
}

void unlock() {
    if (fb.lockDepth > 0) --fb.lockDepth;
}

std::string utf8(std::string_view cp437) {
    std::string out;
    for (char c : cp437) {
        const char32_t u = kUnicode[static_cast<unsigned char>(c)];
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string cp437(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        int length = 0;
        char32_t point = 0, minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, point = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, point = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, point = lead & 0x07, minimum = 0x10000;
        }
        int taken = 1;
        bool valid = length > 0 && i + size_t(length) <= utf8.size();
        for (; valid && taken < length; ++taken) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + size_t(taken)]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            point = (point << 6) | (next & 0x3F);
        }
        if (valid && (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)))
            valid = false;
        // A broken sequence costs one '?' and resumes at the first byte that
        // cannot belong to it.
        const char code = valid ? codeFor(point) : '?';
        if (valid && code == '?' && point != U'?')
            out += nearestFor(point);
        else
            out += code;
        i += size_t(valid ? length : std::max(taken, 1));
    }
    return out;
}

} // namespace screen
