#pragma once
// Pixel checks on the framebuffer for drawing tests.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>

namespace pixels {

struct Px {
    int x, y, colour;
};
void expectPixels(std::initializer_list<Px> want);
// Every set bit of each glyph is in `ink`, every clear bit is not. UTF-8 in.
::testing::AssertionResult textIs(int x, int y, std::string_view utf8, int ink);

} // namespace pixels
