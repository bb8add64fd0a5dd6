#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "platform/png.h"
#include "platform/screen.h"

namespace {

namespace fs = std::filesystem;

class Png : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kk-png-test-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string file(const char* name) const { return (dir / name).string(); }
    fs::path dir;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void fillWithEveryColour() {
    screen::open(screen::kWidth, screen::kHeight);
    for (int y = 0; y < screen::kHeight; ++y)
        for (int x = 0; x < screen::kWidth; ++x)
            screen::setPixel(x, y, (x * 7 + y * 13) % 256);
    screen::setPalette(200, 1, 2, 3);
}

TEST_F(Png, FramebufferRoundTripsThroughThePalette) {
    fillWithEveryColour();
    const std::string path = file("shot.png");
    ASSERT_TRUE(png::writeFramebuffer(path, screen::fb));

    png::Image image;
    ASSERT_TRUE(png::read(path, image));
    ASSERT_EQ(image.width, 1000);
    ASSERT_EQ(image.height, 527);
    ASSERT_EQ(image.rgb.size(), 1000u * 527u * 3u);
    for (size_t i = 0; i < screen::fb.pixels.size(); ++i) {
        const screen::Rgb& c = screen::fb.palette[screen::fb.pixels[i]];
        ASSERT_EQ(image.rgb[i * 3], c.r) << i;
        ASSERT_EQ(image.rgb[i * 3 + 1], c.g) << i;
        ASSERT_EQ(image.rgb[i * 3 + 2], c.b) << i;
    }
}

TEST_F(Png, FramebufferFileIsAPalettePngAndDeterministic) {
    fillWithEveryColour();
    ASSERT_TRUE(png::writeFramebuffer(file("a.png"), screen::fb));
    ASSERT_TRUE(png::writeFramebuffer(file("b.png"), screen::fb));
    const std::string a = slurp(file("a.png"));
    EXPECT_EQ(a, slurp(file("b.png")));
    ASSERT_GT(a.size(), 41u + 768u);
    EXPECT_EQ(a.substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(a.substr(12, 4), "IHDR");
    EXPECT_EQ(a[24], 8); // bit depth
    EXPECT_EQ(a[25], 3); // palette
    EXPECT_EQ(a.substr(33, 8), std::string("\0\0\x03\0PLTE", 8));
    // Palette entry 200 as set above.
    EXPECT_EQ(a.substr(41 + 200 * 3, 3), "\x01\x02\x03");
    // Nothing but the two pictures is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST_F(Png, RgbRoundTripAndReplacingAnExistingFile) {
    png::Image image;
    image.width = 3;
    image.height = 2;
    image.rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252, 0, 0, 0, 255, 128, 64};
    const std::string path = file("diff.png");
    std::ofstream(path) << "old";
    ASSERT_TRUE(png::writeRgb(path, image));
    png::Image back;
    ASSERT_TRUE(png::read(path, back));
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.rgb, image.rgb);
    EXPECT_EQ(slurp(path)[25], 2);
}

TEST_F(Png, WritingIntoAMissingFolderFails) {
    screen::open(20, 10);
    EXPECT_FALSE(png::writeFramebuffer(file("no/such/folder/x.png"), screen::fb));
    png::Image image{1, 1, {1, 2, 3}};
    EXPECT_FALSE(png::writeRgb(file("no/such/folder/y.png"), image));
    png::Image wrongSize{2, 2, {1, 2, 3}};
    EXPECT_FALSE(png::writeRgb(file("z.png"), wrongSize));
}

// A hand-made file whose rows use each of the five filters, as other encoders write them.
std::string chunk(const char* type, const std::string& data) {
    std::string out;
    for (int shift : {24, 16, 8, 0})
        out += static_cast<char>(data.size() >> shift);
    std::string body = std::string(type, 4) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size());
    out += body;
    for (int shift : {24, 16, 8, 0})
        out += static_cast<char>(crc >> shift);
    return out;
}

int paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

TEST_F(Png, ReaderUndoesAllFiveFilters) {
    const int width = 4, height = 5, bpp = 3, rowBytes = width * bpp;
    std::vector<uint8_t> rgb(rowBytes * height);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 37 + (i / 5) * 11);
    std::string raw;
    for (int y = 0; y < height; ++y) {
        const int filter = y; // rows 0..4 use filters 0..4
        raw += static_cast<char>(filter);
        for (int i = 0; i < rowBytes; ++i) {
            const int a = i >= bpp ? rgb[y * rowBytes + i - bpp] : 0;
            const int b = y > 0 ? rgb[(y - 1) * rowBytes + i] : 0;
            const int c = y > 0 && i >= bpp ? rgb[(y - 1) * rowBytes + i - bpp] : 0;
            const int predicted[5] = {0, a, b, (a + b) / 2, paeth(a, b, c)};
            raw += static_cast<char>(rgb[y * rowBytes + i] - predicted[filter]);
        }
    }
    uLongf packedSize = compressBound(raw.size());
    std::string packed(packedSize, '\0');
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                       reinterpret_cast<const Bytef*>(raw.data()), raw.size()),
              Z_OK);
    packed.resize(packedSize);
    const std::string header = std::string("\0\0\0\x04\0\0\0\x05\x08\x02\0\0\0", 13);
    // The data split over two IDAT chunks, as large files are.
    const std::string bytes = std::string("\x89PNG\r\n\x1A\n") + chunk("IHDR", header) +
                              chunk("IDAT", packed.substr(0, 7)) + chunk("IDAT", packed.substr(7)) +
                              chunk("IEND", "");
    const std::string path = file("filters.png");
    std::ofstream(path, std::ios::binary) << bytes;

    png::Image image;
    ASSERT_TRUE(png::read(path, image));
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_EQ(image.rgb, rgb);

    // A damaged checksum is refused.
    std::string damaged = bytes;
    damaged[30] ^= 1;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    EXPECT_FALSE(png::read(path, image));
    EXPECT_FALSE(png::read(file("missing.png"), image));
}

} // namespace
