#include "lists/name_scramble.h"

#include <algorithm>

#include "platform/random.h"
#include "platform/rounding.h"

namespace {

// Bytes, not characters: a UTF-8 umlaut is scrambled byte by byte and read
// back the same way.
int fillers(unsigned char c) {
    return (c > 'G' ? 1 : 0) + (c < 'n' ? 1 : 0);
}

} // namespace

std::string scrambleName(std::string_view fileName) {
    std::string_view name = fileName;
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    name.remove_suffix(std::min<size_t>(4, name.size()));
    std::string out;
    for (char ch : name) {
        // A line end inside a name would break the file's line layout; the
        // name is then simply not found when read back.
        out += ch == '\n' || ch == '\r' ? '?' : ch;
        for (int k = 0; k < fillers((unsigned char)ch); ++k)
            out += char(roundEven(rng::unit() * 20 + 65));
    }
    return out;
}

std::string unscrambleName(std::string_view line) {
    std::string out;
    for (size_t i = 0; i < line.size();) {
        const unsigned char c = (unsigned char)line[i];
        out += char(c);
        i += 1 + size_t(fillers(c));
    }
    return out + ".MP3";
}
