// Code page 437, the font's order: texts from UTF-8 into it (with the nearest
// glyph for what the font lacks) and back.
#include <string>

#include "platform/font.h"
#include "platform/screen.h"

namespace screen {
namespace {

// Unicode code point of every code page 437 code (0x01-0x1F and 0x7F as the
// symbols their glyphs show).
constexpr char32_t kUnicode[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642,
    0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC, 0x0020, 0x0021, 0x0022, 0x0023,
    0x0024, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F, 0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053,
    0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B,
    0x006C, 0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302, 0x00C7, 0x00FC, 0x00E9, 0x00E2,
    0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2,
    0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566,
    0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0,
    0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A,
    0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Other spellings of the arrow marks that source texts may use.
struct Alias {
    char32_t unicode;
    unsigned char code;
};
constexpr Alias kAliases[] = {{0x25B6, 16}, {0x25B8, 16}, {0x25C0, 17},
                              {0x25C2, 17}, {0x25B4, 30}, {0x25BE, 31}};

bool hasGlyph(unsigned char code) {
    if (code == 0 || code == ' ' || code == 0xFF) return true; // blank by design
    for (uint8_t row : font::kGlyphs[code])
        if (row) return true;
    return false;
}

char codeFor(char32_t unicode) {
    for (int code = 0x80; code < 256; ++code)
        if (kUnicode[code] == unicode)
            return hasGlyph(static_cast<unsigned char>(code)) ? static_cast<char>(code) : '?';
    for (int code = 1; code < 0x20; ++code)
        if (kUnicode[code] == unicode) return static_cast<char>(code);
    if (unicode == 0x2302) return 0x7F;
    for (const Alias& alias : kAliases)
        if (alias.unicode == unicode) return static_cast<char>(alias.code);
    return '?';
}

// What the font lacks is shown by its nearest plain form: a file name full of
// typographic dashes, quotes and foreign letters stays readable.
std::string nearestFor(char32_t unicode) {
    // Base letters of U+00C0 to U+00FF and U+0100 to U+017F.
    static constexpr std::string_view kLatin1 =
        "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";
    static constexpr std::string_view kLatinA =
        "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlL"
        "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
    if (unicode >= 0xC0 && unicode <= 0xFF) return std::string(1, kLatin1[unicode - 0xC0]);
    if (unicode >= 0x100 && unicode <= 0x17F) return std::string(1, kLatinA[unicode - 0x100]);
    switch (unicode) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212:
        return "-";
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x201B:
    case 0x2032:
    case 0x00B4:
    case 0x0060:
        return "'";
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x201F:
    case 0x2033:
        return "\"";
    case 0x2039:
        return "<";
    case 0x203A:
        return ">";
    case 0x2026:
        return "...";
    case 0x20AC:
        return "EUR";
    case 0x00A9:
        return "(c)";
    case 0x00AE:
        return "(R)";
    case 0x2122:
        return "TM";
    case 0x00A0:
    case 0x2002:
    case 0x2003:
    case 0x2009:
    case 0x202F:
        return " ";
    default:
        return "?";
    }
}

} // namespace

std::string utf8(std::string_view cp437) {
    std::string out;
    for (char c : cp437) {
        const char32_t u = kUnicode[static_cast<unsigned char>(c)];
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string cp437(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        int length = 0;
        char32_t point = 0, minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, point = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, point = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, point = lead & 0x07, minimum = 0x10000;
        }
        int taken = 1;
        bool valid = length > 0 && i + size_t(length) <= utf8.size();
        for (; valid && taken < length; ++taken) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + size_t(taken)]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            point = (point << 6) | (next & 0x3F);
        }
        if (valid && (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)))
            valid = false;
        // A broken sequence costs one '?' and resumes at the first byte that
        // cannot belong to it.
        const char code = valid ? codeFor(point) : '?';
        if (valid && code == '?' && point != U'?')
            out += nearestFor(point);
        else
            out += code;
        i += size_t(valid ? length : std::max(taken, 1));
    }
    return out;
}

} // namespace screen
