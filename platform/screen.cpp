// The raster of the screen: the palette, lines, boxes, circles and pixels of
// the one framebuffer.
#include "platform/screen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/screen_raster.h"

namespace screen {

Framebuffer fb;

namespace raster {

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

} // namespace raster

using namespace raster;

namespace {

uint8_t expand6(int v) {
    return static_cast<uint8_t>((v << 2) | (v >> 4));
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

void lock() {
    ++fb.lockDepth;
}

void unlock() {
    if (fb.lockDepth > 0) --fb.lockDepth;
}

} // namespace screen
