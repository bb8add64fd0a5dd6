#pragma once
// The scrambling of song names in the list and session files: the names are
// not readable as they stand, and each reader restores them. No state.
#include <string>
#include <string_view>

// The file name without its extension, each character followed by one random
// capital, and by a second one when it lies between "G" and "n" (exclusive).
std::string scrambleName(std::string_view fileName);
// The name back, with ".MP3" appended whatever the extension was.
std::string unscrambleName(std::string_view line);
