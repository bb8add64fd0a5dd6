#pragma once
// The framebuffer's own pixel helpers, shared by the files of the screen
// service (the raster and the text console); nothing outside it uses them.
#include <cstddef>
#include <cstdint>

namespace screen::raster {

uint8_t colourIndex(int colour);
bool inside(int x, int y);
// Where pixel (x, y) is in the frame; the caller has checked it is inside.
size_t offset(int x, int y);
void plot(int x, int y, uint8_t colour);
// The frame changed: the backend presents it again.
void touch();
// A clipped horizontal run, the building block of fills.
void span(int x1, int x2, int y, uint8_t colour);

} // namespace screen::raster
