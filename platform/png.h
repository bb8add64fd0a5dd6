#pragma once
// Palette PNG files of the framebuffer: screenshots and golden images.
#include <string>

#include "platform/screen.h"

namespace png {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // width * height * 3
};

// Writes the framebuffer as an 8-bit palette PNG; false when the file cannot be written.
bool writeFramebuffer(const std::string& path, const screen::Framebuffer& fb);
// Writes an RGB image (diff images of the golden tests).
bool writeRgb(const std::string& path, const Image& image);
// Reads a PNG written by this module (palette or RGB, 8 bit, not interlaced).
bool read(const std::string& path, Image& out);

} // namespace png
