// Draws the program's desktop icon in its own look and palette: a playlist
// card with its loudness envelope under the PLAY button of the control panel.
// Drawn at 64 x 64 and doubled, so the pixels stay as sharp as in the window.
// Usage: klangkelter_icon OUT.png
#include <cmath>
#include <cstdio>

#include "app/startup.h"
#include "platform/png.h"
#include "platform/screen.h"

namespace {

constexpr int kSize = 64, kScale = 2;

void drawIcon() {
    screen::fillBox(0, 0, kSize - 1, kSize - 1, 23); // the playlist side
    screen::box(0, 0, kSize - 1, kSize - 1, 0);

    // A playlist card: its frame and the envelope band, peaks over levels.
    screen::fillBox(3, 36, 60, 60, 36);
    screen::fillBox(5, 40, 58, 57, 38);
    for (int x = 6; x <= 57; ++x) {
        const double t = (x - 6) / 51.0;
        const double swell = 0.55 + 0.45 * std::sin(3.14159 * t);
        const int peak = int(std::lround(16 * swell * (0.7 + 0.3 * std::fabs(std::sin(x * 1.7)))));
        screen::line(x, 56, x, 56 - peak, 1);
        screen::line(x, 56, x, 56 - int(std::lround(peak * 0.6)), 24);
    }
    screen::box(3, 36, 60, 60, 0);

    // The PLAY button: face, light and dark edges, the triangle.
    screen::fillBox(8, 3, 55, 32, 30);
    screen::box(9, 4, 55, 32, 27);
    screen::box(9, 4, 54, 31, 0);
    for (int i = 1; i <= 16; ++i)
        screen::line(24 + i, 10 + i / 2, 24 + i, 26 - i / 2, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: klangkelter_icon OUT.png\n");
        return 2;
    }
    screen::open(kSize, kSize);
    setProgramPalette();
    drawIcon();

    screen::Framebuffer icon;
    icon.width = kSize * kScale;
    icon.height = kSize * kScale;
    icon.palette = screen::fb.palette;
    icon.pixels.resize(size_t(icon.width) * size_t(icon.height));
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x)
            icon.pixels[size_t(y) * size_t(icon.width) + size_t(x)] =
                uint8_t(screen::pixel(x / kScale, y / kScale));
    if (!png::writeFramebuffer(argv[1], icon)) {
        std::fprintf(stderr, "klangkelter_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
