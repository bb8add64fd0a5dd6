#include "platform/png.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/files.h"

namespace png {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Guards the reader against absurd sizes in a damaged header.
constexpr uint64_t kMaxPixels = 1u << 26;

void putU32(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

uint32_t getU32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void putChunk(std::string& out, const char type[4], const std::string& data) {
    putU32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.append(type, 4);
    out += data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + start),
                            static_cast<uInt>(out.size() - start));
    putU32(out, static_cast<uint32_t>(crc));
}

// Rows with filter type 0 in front of each; a fixed compression level keeps
// the bytes the same for the same picture, which golden files rely on.
bool encode(int width, int height, int colourType, const std::string& plte,
            const std::vector<uint8_t>& samples, int bytesPerPixel, std::string& out) {
    const size_t rowBytes = size_t(width) * size_t(bytesPerPixel);
    std::string raw;
    raw.reserve((rowBytes + 1) * size_t(height));
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(samples.data()) + size_t(y) * rowBytes, rowBytes);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::string header;
    putU32(header, static_cast<uint32_t>(width));
    putU32(header, static_cast<uint32_t>(height));
    header += static_cast<char>(8); // bit depth
    header += static_cast<char>(colourType);
    header += std::string(3, '\0'); // deflate, adaptive filters, not interlaced

    out.assign(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
    putChunk(out, "IHDR", header);
    if (!plte.empty()) putChunk(out, "PLTE", plte);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return true;
}

// Written beside the target and renamed over it, so a reader never sees half a file.
bool writeFile(const std::string& path, const std::string& bytes) {
    return files::writeFileAtomically(path, bytes);
}

int paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes the per-row filters in place; `data` holds (1 + rowBytes) * height bytes.
bool unfilter(const std::vector<uint8_t>& data, size_t rowBytes, int height, int bpp,
              std::vector<uint8_t>& out) {
    out.assign(rowBytes * size_t(height), 0);
    const size_t step = size_t(bpp);
    for (size_t y = 0; y < size_t(height); ++y) {
        const uint8_t filter = data[y * (rowBytes + 1)];
        const uint8_t* in = &data[y * (rowBytes + 1) + 1];
        uint8_t* row = &out[y * rowBytes];
        const uint8_t* above = y > 0 ? &out[(y - 1) * rowBytes] : nullptr;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= step ? row[i - step] : 0;
            const int b = above ? above[i] : 0;
            const int c = above && i >= step ? above[i - step] : 0;
            int predicted;
            switch (filter) {
            case 0:
                predicted = 0;
                break;
            case 1:
                predicted = a;
                break;
            case 2:
                predicted = b;
                break;
            case 3:
                predicted = (a + b) / 2;
                break;
            case 4:
                predicted = paeth(a, b, c);
                break;
            default:
                return false;
            }
            row[i] = static_cast<uint8_t>(in[i] + predicted);
        }
    }
    return true;
}

bool inflateAll(const std::string& packed, std::vector<uint8_t>& raw) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = raw.data();
    stream.avail_out = static_cast<uInt>(raw.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool complete = result == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    return complete;
}

} // namespace

bool writeFramebuffer(const std::string& path, const screen::Framebuffer& fb) {
    if (fb.width <= 0 || fb.height <= 0 || fb.pixels.size() != size_t(fb.width) * size_t(fb.height))
        return false;
    std::string plte;
    for (const screen::Rgb& c : fb.palette) {
        plte += static_cast<char>(c.r);
        plte += static_cast<char>(c.g);
        plte += static_cast<char>(c.b);
    }
    std::string bytes;
    return encode(fb.width, fb.height, 3, plte, fb.pixels, 1, bytes) && writeFile(path, bytes);
}

bool writeRgb(const std::string& path, const Image& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != size_t(image.width) * size_t(image.height) * 3)
        return false;
    std::string bytes;
    return encode(image.width, image.height, 2, {}, image.rgb, 3, bytes) && writeFile(path, bytes);
}

bool read(const std::string& path, Image& out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 8 || std::memcmp(p, kSignature, 8) != 0) return false;

    uint32_t width = 0, height = 0;
    int colourType = -1;
    std::vector<screen::Rgb> palette;
    std::string packed;
    bool ended = false;
    for (size_t pos = 8; !ended;) {
        if (pos + 12 > bytes.size()) return false;
        const uint32_t length = getU32(p + pos);
        if (length > bytes.size() - pos - 12) return false;
        const unsigned char* type = p + pos + 4;
        const unsigned char* data = p + pos + 8;
        const uLong crc = crc32(0, type, length + 4);
        if (crc != getU32(data + length)) return false;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13) return false;
            width = getU32(data);
            height = getU32(data + 4);
            colourType = data[9];
            if (data[8] != 8 || (colourType != 2 && colourType != 3) || data[10] != 0 ||
                data[11] != 0 || data[12] != 0)
                return false;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            if (length % 3 != 0 || length > 768) return false;
            for (uint32_t i = 0; i < length; i += 3)
                palette.push_back({data[i], data[i + 1], data[i + 2]});
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            packed.append(reinterpret_cast<const char*>(data), length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        }
        pos += 12 + length;
    }
    if (width == 0 || height == 0 || uint64_t{width} * height > kMaxPixels) return false;
    if (colourType == 3 && palette.empty()) return false;

    const int bpp = colourType == 2 ? 3 : 1;
    const size_t rowBytes = size_t(width) * size_t(bpp);
    std::vector<uint8_t> raw((rowBytes + 1) * height);
    std::vector<uint8_t> samples;
    if (!inflateAll(packed, raw) ||
        !unfilter(raw, rowBytes, static_cast<int>(height), bpp, samples))
        return false;

    Image image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    if (colourType == 2) {
        image.rgb = std::move(samples);
    } else {
        image.rgb.resize(samples.size() * 3);
        for (size_t i = 0; i < samples.size(); ++i) {
            if (samples[i] >= palette.size()) return false;
            const screen::Rgb& c = palette[samples[i]];
            image.rgb[i * 3] = c.r;
            image.rgb[i * 3 + 1] = c.g;
            image.rgb[i * 3 + 2] = c.b;
        }
    }
    out = std::move(image);
    return true;
}

} // namespace png
