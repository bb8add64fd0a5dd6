#pragma once
// The 8 x 8 bitmap font, 256 glyphs indexed by code page 437; row 0 on top,
// bit 7 is the leftmost pixel.
#include <cstdint>

namespace font {
extern const uint8_t kGlyphs[256][8];
}
