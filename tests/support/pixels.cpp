#include "tests/support/pixels.h"

#include <string>

#include "platform/font.h"
#include "platform/screen.h"

namespace pixels {

void expectPixels(std::initializer_list<Px> want) {
    for (Px p : want)
        EXPECT_EQ(screen::pixel(p.x, p.y), p.colour) << "at " << p.x << ", " << p.y;
}

::testing::AssertionResult textIs(int x, int y, std::string_view utf8, int ink) {
    const std::string text = screen::cp437(utf8);
    for (size_t i = 0; i < text.size(); ++i)
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 8; ++col) {
                const int px = x + 8 * int(i) + col, py = y + row;
                const bool set =
                    font::kGlyphs[static_cast<unsigned char>(text[i])][row] & (0x80 >> col);
                if (set != (screen::pixel(px, py) == ink))
                    return ::testing::AssertionFailure()
                           << "\"" << utf8 << "\" char " << i << " at (" << px << ", " << py
                           << "): colour " << screen::pixel(px, py) << ", ink " << ink;
            }
    return ::testing::AssertionSuccess();
}

} // namespace pixels
