#!/usr/bin/env python3
"""Converts an 8 x 8 PSF console font with a Unicode table into the C++ glyph
table of platform/font.cpp, indexed by code page 437.

Usage: tools/psf2cp437.py [font.psf.gz] [output.cpp]
Defaults: /usr/share/consolefonts/Uni2-VGA8.psf.gz and platform/font.cpp next
to this script. Codes without a glyph in the font are listed on stderr and
left blank.
"""
import gzip
import os
import struct
import sys

DEFAULT_FONT = "/usr/share/consolefonts/Uni2-VGA8.psf.gz"
PACKAGE = "console-setup-linux"

# Code page 437 as Unicode. 0x01-0x1F and 0x7F are the graphic symbols the
# VGA ROM shows for them, not control characters; code 0 stays blank.
CP437 = [0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
         0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
         0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
         0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC]
CP437 += list(range(0x20, 0x7F))
CP437 += [0x2302]
CP437 += [
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
]
assert len(CP437) == 256

# Console fonts often know the triangles only under their geometric names.
ALTERNATES = {0x25BA: [0x25B6, 0x25B8], 0x25C4: [0x25C0, 0x25C2]}


def read_psf(data):
    """Returns (glyph bitmaps, {code point: glyph index}) of a PSF1 or PSF2 font."""
    if data[:2] == b"\x36\x04":
        mode, charsize = data[2], data[3]
        count = 512 if mode & 0x01 else 256
        has_table = bool(mode & 0x06)
        offset, width = 4, 8
        glyphs = [data[offset + i * charsize: offset + (i + 1) * charsize] for i in range(count)]
        table = {}
        if has_table:
            pos = offset + count * charsize
            for index in range(count):
                in_sequence = False
                while True:
                    (value,) = struct.unpack_from("<H", data, pos)
                    pos += 2
                    if value == 0xFFFF:
                        break
                    if value == 0xFFFE:
                        in_sequence = True
                    elif not in_sequence:
                        table.setdefault(value, index)
        return glyphs, table, charsize, width
    if data[:4] == b"\x72\xb5\x4a\x86":
        (_, headersize, flags, count, charsize, height, width) = struct.unpack_from("<7I", data, 4)
        glyphs = [data[headersize + i * charsize: headersize + (i + 1) * charsize]
                  for i in range(count)]
        table = {}
        if flags & 0x01:
            pos = headersize + count * charsize
            for index in range(count):
                end = data.index(b"\xff", pos)
                entry = data[pos:end]
                pos = end + 1
                single = entry.split(b"\xfe")[0]  # sequences after 0xFE are combinations
                for ch in single.decode("utf-8"):
                    table.setdefault(ord(ch), index)
        return glyphs, table, height, width
    raise SystemExit("not a PSF font")


# The console font draws these four as arrows; the program uses them as solid
# triangles (list marks, scroll hints), so they are drawn here by hand.
TRIANGLES = {
    16: bytes([0x80, 0xE0, 0xF8, 0xFE, 0xF8, 0xE0, 0x80, 0x00]),  # right
    17: bytes([0x02, 0x0E, 0x3E, 0xFE, 0x3E, 0x0E, 0x02, 0x00]),  # left
    30: bytes([0x00, 0x18, 0x3C, 0x7E, 0xFF, 0xFF, 0x00, 0x00]),  # up
    31: bytes([0x00, 0xFF, 0xFF, 0x7E, 0x3C, 0x18, 0x00, 0x00]),  # down
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    font_path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_FONT
    out_path = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "platform", "font.cpp")
    with open(font_path, "rb") as f:
        raw = f.read()
    data = gzip.decompress(raw) if raw[:2] == b"\x1f\x8b" else raw
    glyphs, table, height, width = read_psf(data)
    if height != 8 or width != 8:
        raise SystemExit(f"expected an 8 x 8 font, got {width} x {height}")

    missing = []
    rows = []
    for code, point in enumerate(CP437):
        if code == 0:
            bitmap = bytes(8)
        elif code in TRIANGLES:
            bitmap = TRIANGLES[code]
        else:
            found = next((p for p in [point] + ALTERNATES.get(point, []) if p in table), None)
            if found is None:
                missing.append(code)
                bitmap = bytes(8)
            else:
                bitmap = glyphs[table[found]][:8]
        name = "blank" if code == 0 else f"U+{point:04X}"
        if code in TRIANGLES:
            name += " (drawn by hand)"
        if code in missing:
            name += " (not in the font)"
        body = ", ".join(f"0x{b:02X}" for b in bitmap)
        rows.append(f"    {{{body}}}, // {code:3d} {name}")

    lines = [
        "// Generated by tools/psf2cp437.py from " + os.path.basename(font_path) + " of the",
        "// Debian package " + PACKAGE + " (" + font_path + "); do not edit.",
        "// One glyph per code page 437 code, looked up through the font's Unicode table.",
        '#include "platform/font.h"',
        "",
        "namespace font {",
        "",
        "const uint8_t kGlyphs[256][8] = {",
        *rows,
        "};",
        "",
        "} // namespace font",
        "",
    ]
    with open(out_path, "w", encoding="ascii") as f:
        f.write("\n".join(lines))
    if missing:
        print("no glyph for code page 437 codes: " + " ".join(str(c) for c in missing),
              file=sys.stderr)
    print(f"wrote {out_path}: 256 glyphs, {len(missing)} missing", file=sys.stderr)


if __name__ == "__main__":
    main()
