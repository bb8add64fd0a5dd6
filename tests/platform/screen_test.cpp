#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>
#include <utility>

#include "platform/font.h"
#include "platform/screen.h"

namespace {

using screen::fb;
using Points = std::set<std::pair<int, int>>;

class Screen : public ::testing::Test {
  protected:
    void SetUp() override { screen::open(screen::kWidth, screen::kHeight); }
};

// Every pixel of the window with the given colour.
Points pixelsOf(int colour) {
    Points found;
    for (size_t i = 0; i < fb.pixels.size(); ++i)
        if (fb.pixels[i] == colour) found.insert({int(i % fb.width), int(i / fb.width)});
    return found;
}

size_t countOf(int colour) {
    return std::count(fb.pixels.begin(), fb.pixels.end(), static_cast<uint8_t>(colour));
}

// Checks the 8 x 8 cell at (x, y) against a glyph: set bits in `ink`, the rest `paper`.
void expectGlyph(int x, int y, unsigned char code, int ink, int paper) {
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 8; ++col) {
            const bool set = font::kGlyphs[code][row] & (0x80 >> col);
            ASSERT_EQ(screen::pixel(x + col, y + row), set ? ink : paper)
                << "glyph " << int(code) << " row " << row << " col " << col;
        }
}

TEST_F(Screen, OpenClearsToColourZeroWithDefaultsAndHomeCursor) {
    fb.cursorRow = 9;
    screen::open(400, 300);
    EXPECT_EQ(fb.width, 400);
    EXPECT_EQ(fb.height, 300);
    EXPECT_EQ(fb.pixels.size(), 400u * 300u);
    EXPECT_EQ(countOf(0), 400u * 300u);
    EXPECT_EQ(fb.cursorRow, 1);
    EXPECT_EQ(fb.cursorCol, 1);
    EXPECT_EQ(fb.foreground, 15);
    EXPECT_EQ(fb.background, 0);
    EXPECT_EQ(fb.palette, screen::defaultPalette());
}

TEST_F(Screen, DefaultPaletteIsTheVgaPalette) {
    const auto p = screen::defaultPalette();
    using screen::Rgb;
    EXPECT_EQ(p[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(p[1], (Rgb{0x00, 0x00, 0xAA}));
    EXPECT_EQ(p[6], (Rgb{0xAA, 0x55, 0x00}));
    EXPECT_EQ(p[7], (Rgb{0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(p[9], (Rgb{0x55, 0x55, 0xFF}));
    EXPECT_EQ(p[15], (Rgb{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(p[16], (Rgb{0, 0, 0}));
    EXPECT_EQ(p[20], (Rgb{56, 56, 56}));    // grey step 14
    EXPECT_EQ(p[25], (Rgb{130, 130, 130})); // grey step 32
    EXPECT_EQ(p[31], (Rgb{255, 255, 255}));
    // One hue from each of the nine rings.
    EXPECT_EQ(p[32], (Rgb{0, 0, 255}));
    EXPECT_EQ(p[57], (Rgb{158, 125, 255}));
    EXPECT_EQ(p[88], (Rgb{255, 182, 182}));
    EXPECT_EQ(p[116], (Rgb{113, 113, 0}));
    EXPECT_EQ(p[144], (Rgb{56, 113, 56}));
    EXPECT_EQ(p[172], (Rgb{81, 113, 113}));
    EXPECT_EQ(p[180], (Rgb{65, 0, 65}));
    EXPECT_EQ(p[223], (Rgb{32, 40, 65}));
    EXPECT_EQ(p[237], (Rgb{60, 65, 44}));
    EXPECT_EQ(p[247], (Rgb{44, 48, 65}));
    for (int i = 248; i < 256; ++i)
        EXPECT_EQ(p[i], (Rgb{0, 0, 0})) << i;
}

TEST_F(Screen, SetPaletteChangesOneEntryAndBumpsGeneration) {
    const uint64_t before = fb.generation;
    screen::setPalette(40, 10, 255, 300);
    EXPECT_EQ(fb.palette[40], (screen::Rgb{10, 255, 255}));
    EXPECT_EQ(fb.palette[41], screen::defaultPalette()[41]);
    EXPECT_GT(fb.generation, before);
}

TEST_F(Screen, LinePatternsUseTheHighBitFirstAndRepeat) {
    screen::line(10, 20, 29, 20, 4, 0x5555);
    screen::line(10, 21, 29, 21, 5, 0xAAAA);
    screen::line(10, 22, 29, 22, 6, 0x8001);
    for (int x = 10; x <= 29; ++x) {
        const int i = x - 10;
        EXPECT_EQ(screen::pixel(x, 20), i % 2 ? 4 : 0) << x;
        EXPECT_EQ(screen::pixel(x, 21), i % 2 ? 0 : 5) << x;
        EXPECT_EQ(screen::pixel(x, 22), (i == 0 || i == 15 || i == 16) ? 6 : 0) << x;
    }
    EXPECT_EQ(countOf(4), 10u);
}

TEST_F(Screen, LineIsBresenhamWithBothEndsAndPatternFromTheStart) {
    screen::line(0, 0, 6, 2, 9);
    EXPECT_EQ(pixelsOf(9), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}}));
    screen::line(100, 50, 102, 44, 10);
    EXPECT_EQ(
        pixelsOf(10),
        (Points{{100, 50}, {100, 49}, {101, 48}, {101, 47}, {101, 46}, {102, 45}, {102, 44}}));
    // Drawn backwards, only the first pixel of the pattern lands on the start.
    screen::line(60, 30, 50, 30, 11, 0x8000);
    EXPECT_EQ(pixelsOf(11), (Points{{60, 30}}));
    EXPECT_EQ(fb.lastX, 50);
    EXPECT_EQ(fb.lastY, 30);
    screen::line(7, 7, 7, 7, 12);
    EXPECT_EQ(pixelsOf(12), (Points{{7, 7}}));
}

TEST_F(Screen, LineToContinuesFromTheLastEnd) {
    screen::line(10, 10, 20, 10, 3);
    screen::lineTo(20, 30, 3);
    EXPECT_EQ(screen::pixel(20, 25), 3);
    EXPECT_EQ(screen::pixel(20, 30), 3);
    EXPECT_EQ(screen::pixel(20, 31), 0);
    EXPECT_EQ(countOf(3), 11u + 20u);
    screen::lineTo(10, 30, 4);
    EXPECT_EQ(screen::pixel(15, 30), 4);
    EXPECT_EQ(fb.lastX, 10);
    EXPECT_EQ(fb.lastY, 30);
}

TEST_F(Screen, BoxOutlineAndFillWithCornersInAnyOrder) {
    screen::box(50, 40, 40, 30, 2);
    for (auto [x, y] :
         Points{{40, 30}, {50, 30}, {40, 40}, {50, 40}, {45, 30}, {40, 35}, {50, 35}, {45, 40}})
        EXPECT_EQ(screen::pixel(x, y), 2) << x << "," << y;
    EXPECT_EQ(screen::pixel(45, 35), 0);
    EXPECT_EQ(countOf(2), 40u);

    screen::fillBox(70, 40, 60, 30, 3);
    EXPECT_EQ(countOf(3), 121u);
    EXPECT_EQ(screen::pixel(65, 35), 3);
    EXPECT_EQ(screen::pixel(59, 35), 0);
    EXPECT_EQ(screen::pixel(71, 35), 0);
    EXPECT_EQ(screen::pixel(65, 29), 0);
    EXPECT_EQ(screen::pixel(65, 41), 0);
}

TEST_F(Screen, BoxPatternRunsOnAroundTheOutline) {
    // Clockwise from the top left: top 0-4, right side 5-6, bottom 7-10, left side 11.
    screen::box(0, 0, 4, 2, 7, 0xAAAA);
    EXPECT_EQ(pixelsOf(7), (Points{{0, 0}, {2, 0}, {4, 0}, {4, 2}, {2, 2}, {0, 2}}));
    screen::box(10, 10, 13, 12, 8, 0xC000);
    EXPECT_EQ(pixelsOf(8), (Points{{10, 10}, {11, 10}}));
    // Two rows high: six outline pixels, no left side to draw.
    screen::box(20, 20, 22, 21, 9, 0x8300);
    EXPECT_EQ(pixelsOf(9), (Points{{20, 20}}));
}

// The error-stepping form of Bresenham's algorithm, to compare against.
Points steppedLine(int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    Points out;
    for (;;) {
        out.insert({x0, y0});
        if (x0 == x1 && y0 == y1) return out;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

TEST_F(Screen, LinesMatchTheSteppedAlgorithmInEveryDirection) {
    uint32_t seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % range);
    };
    for (int n = 0; n < 300; ++n) {
        const int x0 = 20 + next(40), y0 = 20 + next(40), x1 = 20 + next(40), y1 = 20 + next(40);
        std::fill(fb.pixels.begin(), fb.pixels.end(), 0);
        screen::line(x0, y0, x1, y1, 1);
        ASSERT_EQ(pixelsOf(1), steppedLine(x0, y0, x1, y1))
            << x0 << "," << y0 << " - " << x1 << "," << y1;
    }
}

TEST_F(Screen, CircleAndDisc) {
    screen::circle(100, 100, 10, 5);
    for (auto [x, y] : Points{{110, 100}, {90, 100}, {100, 110}, {100, 90}})
        EXPECT_EQ(screen::pixel(x, y), 5) << x << "," << y;
    EXPECT_EQ(screen::pixel(100, 100), 0);
    EXPECT_EQ(screen::pixel(111, 100), 0);
    const Points ring = pixelsOf(5);

    screen::disc(100, 100, 10, 6);
    const Points filled = pixelsOf(6);
    for (const auto& p : ring)
        EXPECT_TRUE(filled.count(p)) << p.first << "," << p.second;
    EXPECT_EQ(screen::pixel(100, 100), 6);
    EXPECT_EQ(screen::pixel(111, 100), 0);
    EXPECT_EQ(screen::pixel(100, 89), 0);
    // Every row of the disc is one unbroken run.
    for (int y = 90; y <= 110; ++y) {
        int first = -1, last = -1, count = 0;
        for (int x = 85; x <= 115; ++x)
            if (screen::pixel(x, y) == 6) {
                if (first < 0) first = x;
                last = x;
                ++count;
            }
        EXPECT_EQ(count, last - first + 1) << y;
    }

    screen::circle(300, 300, 0, 8);
    EXPECT_EQ(pixelsOf(8), (Points{{300, 300}}));
}

// For each height y of the first octant the midpoint rule keeps the largest x
// whose midpoint (x - 1/2, y) still lies inside the circle.
TEST_F(Screen, CirclesFollowTheMidpointRuleAtEveryRadius) {
    for (int r = 1; r <= 60; ++r) {
        Points expected;
        for (int y = 0;; ++y) {
            int x = r;
            while (x > 0 && (2 * x - 1) * (2 * x - 1) + 4 * y * y >= 4 * r * r)
                --x;
            if (x < y) break;
            for (int sx : {-1, 1})
                for (int sy : {-1, 1}) {
                    expected.insert({200 + sx * x, 200 + sy * y});
                    expected.insert({200 + sy * y, 200 + sx * x});
                }
        }
        std::fill(fb.pixels.begin(), fb.pixels.end(), 0);
        screen::circle(200, 200, r, 1);
        ASSERT_EQ(pixelsOf(1), expected) << "radius " << r;
    }
}

TEST_F(Screen, EverythingClipsToTheWindow) {
    screen::line(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1);
    screen::line(-1000000000, 0, 1000000000, 0, 2);
    screen::line(-50, 600, 2000, 700, 3);
    screen::box(-100, -100, 5000, 5000, 4);
    screen::fillBox(990, 520, 1200, 900, 5);
    screen::circle(-5, -5, 10, 6);
    screen::circle(500, 263, INT_MAX, 6);
    screen::disc(2000, 2000, 5, 7);
    screen::setPixel(-1, 0, 8);
    screen::setPixel(1000, 0, 8);
    EXPECT_EQ(screen::pixel(0, 0), 2);
    EXPECT_EQ(screen::pixel(999, 0), 2);
    EXPECT_EQ(screen::pixel(500, 500), 1);
    EXPECT_EQ(screen::pixel(999, 526), 5);
    EXPECT_EQ(screen::pixel(4, 0), 6); // (-5,-5) + (9,5) lies on the outline
    EXPECT_EQ(countOf(3), 0u);
    EXPECT_EQ(countOf(7), 0u);
    EXPECT_EQ(countOf(8), 0u);
    EXPECT_EQ(screen::pixel(-1, 0), -1);
    EXPECT_EQ(screen::pixel(0, 527), -1);
    screen::textAt(-4, -3, "AB", 9);
    screen::textAt(996, 523, "AB", 9);
    EXPECT_EQ(screen::pixel(0, 0), font::kGlyphs['A'][3] & 0x08 ? 9 : 2);
    screen::disc(500, 263, INT_MAX, 10);
    EXPECT_EQ(countOf(10), 1000u * 527u);

    // Solid vertical lines take a shorter way; they clip the same.
    screen::line(7, INT_MAX, 7, INT_MIN, 11);
    screen::line(-1, 0, -1, 100, 12);
    screen::line(1000, 0, 1000, 100, 12);
    screen::line(998, 600, 998, 526, 13);
    EXPECT_EQ(countOf(11), 527u);
    EXPECT_EQ(countOf(12), 0u);
    EXPECT_EQ(countOf(13), 1u);
}

TEST_F(Screen, TextAtDrawsGlyphsWithTransparentBackground) {
    screen::fillBox(90, 40, 200, 60, 3);
    const std::string text = {'A', char(132), char(16), char(17), char(30), char(31)};
    screen::textAt(100, 50, text, 14);
    for (size_t i = 0; i < text.size(); ++i)
        expectGlyph(100 + 8 * int(i), 50, static_cast<unsigned char>(text[i]), 14, 3);
    EXPECT_EQ(screen::pixel(99, 50), 3);
    EXPECT_EQ(screen::pixel(148, 50), 3);
}

TEST_F(Screen, PrintPaintsCellsAtRowAndColumn) {
    screen::setColors(14, 1);
    screen::locate(3, 5);
    screen::print("Hi");
    expectGlyph(32, 16, 'H', 14, 1);
    expectGlyph(40, 16, 'i', 14, 1);
    EXPECT_EQ(screen::pixel(31, 16), 0);
    EXPECT_EQ(screen::pixel(48, 16), 0);
    EXPECT_EQ(screen::pixel(32, 24), 0);
    EXPECT_EQ(fb.cursorRow, 3);
    EXPECT_EQ(fb.cursorCol, 7);
    screen::printLine("!");
    EXPECT_EQ(fb.cursorRow, 4);
    EXPECT_EQ(fb.cursorCol, 1);
    screen::print(" ");
    expectGlyph(0, 24, ' ', 14, 1);
}

TEST_F(Screen, PrintWrapsAtTheRightEdge) {
    screen::setColors(15, 2);
    screen::locate(2, 124);
    screen::print("abc");
    expectGlyph(984, 8, 'a', 15, 2);
    expectGlyph(992, 8, 'b', 15, 2);
    expectGlyph(0, 16, 'c', 15, 2);
    EXPECT_EQ(fb.cursorRow, 3);
    EXPECT_EQ(fb.cursorCol, 2);
}

TEST_F(Screen, PrintScrollsTheTextAreaAtTheBottom) {
    screen::setColors(15, 4);
    screen::setPixel(3, 8, 9);    // top of text row 2
    screen::setPixel(3, 523, 10); // strip below the last full row
    screen::locate(65, 1);
    screen::print(std::string(125, 'x'));
    EXPECT_EQ(screen::pixel(3, 8), 9) << "a full last row must not scroll yet";
    EXPECT_EQ(fb.cursorRow, 65);

    screen::print("T");
    EXPECT_EQ(screen::pixel(3, 0), 9);
    EXPECT_EQ(screen::pixel(3, 8), 0);
    EXPECT_EQ(screen::pixel(3, 523), 10);
    expectGlyph(0, 504, 'x', 15, 4);
    expectGlyph(0, 512, 'T', 15, 4);
    for (int x = 8; x < 1000; ++x)
        ASSERT_EQ(screen::pixel(x, 512), 4) << x;
    EXPECT_EQ(fb.cursorRow, 65);
    EXPECT_EQ(fb.cursorCol, 2);

    screen::printLine();
    for (int y = 512; y < 520; ++y)
        for (int x = 0; x < 1000; ++x)
            ASSERT_EQ(screen::pixel(x, y), 4) << x << "," << y;
    EXPECT_EQ(screen::pixel(3, 0), 0);
    expectGlyph(0, 504, 'T', 15, 4);
    EXPECT_EQ(fb.cursorRow, 65);
    EXPECT_EQ(fb.cursorCol, 1);
}

TEST_F(Screen, ClearFillsWithBackgroundAndHomesTheCursor) {
    screen::setColors(15, 4);
    screen::locate(10, 10);
    screen::clear();
    EXPECT_EQ(countOf(4), 1000u * 527u);
    EXPECT_EQ(fb.cursorRow, 1);
    EXPECT_EQ(fb.cursorCol, 1);
}

TEST_F(Screen, NumbersPrintLikeTheTextCursor) {
    EXPECT_EQ(screen::numberText(5), " 5 ");
    EXPECT_EQ(screen::numberText(-3), "-3 ");
    EXPECT_EQ(screen::numberText(0), " 0 ");
    EXPECT_EQ(screen::numberText(-0.0), " 0 ");
    EXPECT_EQ(screen::numberText(2.5), " 2.5 ");
    EXPECT_EQ(screen::numberText(0.5), " .5 ");
    EXPECT_EQ(screen::numberText(-0.25), "-.25 ");
    EXPECT_EQ(screen::numberText(1.0 / 3), " .3333333 ");
    EXPECT_EQ(screen::numberText(1234.5678), " 1234.568 ");
    EXPECT_EQ(screen::numberText(306000), " 306000 ");
}

TEST_F(Screen, NumericPictureRightAlignsRoundsAndMarksOverflow) {
    EXPECT_EQ(screen::pictureText("##", 5), " 5");
    EXPECT_EQ(screen::pictureText("##", 12), "12");
    EXPECT_EQ(screen::pictureText("##", 123), "%123");
    EXPECT_EQ(screen::pictureText("##", -5), "-5");
    EXPECT_EQ(screen::pictureText("##", -12), "%-12");
    EXPECT_EQ(screen::pictureText("##", 7.5), " 8");
    EXPECT_EQ(screen::pictureText("##", 6.5), " 6");
    EXPECT_EQ(screen::pictureText("##", 0.4), " 0");
    EXPECT_EQ(screen::pictureText("###", 42), " 42");
    EXPECT_EQ(screen::pictureText("##.#", 3.14), " 3.1");
}

TEST_F(Screen, LocksNestAndNeverGoNegative) {
    screen::unlock();
    EXPECT_EQ(fb.lockDepth, 0);
    screen::lock();
    screen::lock();
    screen::unlock();
    EXPECT_EQ(fb.lockDepth, 1);
    screen::unlock();
    EXPECT_EQ(fb.lockDepth, 0);
}

TEST_F(Screen, DrawingBumpsGeneration) {
    uint64_t g = fb.generation;
    screen::setPixel(1, 1, 1);
    EXPECT_GT(fb.generation, g);
    g = fb.generation;
    screen::print("a");
    EXPECT_GT(fb.generation, g);
}

TEST(ScreenText, Cp437ConvertsUmlautsAndSymbols) {
    EXPECT_EQ(screen::cp437("Länge Größe ÄÖÜß"), "L\x84nge Gr\x94\xE1"
                                                 "e \x8E\x99\x9A\xE1");
    EXPECT_EQ(screen::cp437("Übung ü"), "\x9A"
                                        "bung \x81");
    EXPECT_EQ(screen::cp437("►◄▲▼⌂"), "\x10\x11\x1E\x1F\x7F");
    EXPECT_EQ(screen::cp437("½°█"), "\xAB\xF8\xDB");
    EXPECT_EQ(screen::cp437("plain ASCII 123"), "plain ASCII 123");
}

// File names as users have them: typographic punctuation and letters the
// font lacks are shown by their nearest plain forms.
TEST(ScreenText, Cp437ShowsWhatTheFontLacksByItsNearestMatch) {
    EXPECT_EQ(screen::cp437("Song – “Live” — ‘n’ …"), "Song - \"Live\" - 'n' ...");
    EXPECT_EQ(screen::cp437("Ørsted Łódź ÃÕãõ Šťž"), "Orsted L\xA2" "dz AOao Stz");
    EXPECT_EQ(screen::cp437("5 € ™"), "5 EUR TM");
}

TEST(ScreenText, Cp437MarksWhatItCannotShow) {
    EXPECT_EQ(screen::cp437("日本"), "??");
    EXPECT_EQ(screen::cp437("∞≡"), "??") << "code page 437 has them, the font does not";
    EXPECT_EQ(screen::cp437("a\xFF"
                            "b"),
              "a?b");
    EXPECT_EQ(screen::cp437("a\xC3"), "a?");
    EXPECT_EQ(screen::cp437("\xC0\xAF"), "?"); // overlong '/'
    EXPECT_EQ(screen::cp437("\xC3("), "?(");
}

} // namespace
