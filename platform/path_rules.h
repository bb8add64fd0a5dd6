#pragma once
// How this platform writes paths: its separator, what makes a path absolute,
// where a path's folder ends. The one place that knows; the shared code asks
// it. No state.
#include <cstddef>
#include <string>
#include <string_view>

namespace pathrules {

// The separator a folder ends with here.
char separator();
// Whether `c` separates folders here.
bool isSeparator(char c);
// A path from a root, as the dialogs and the list files give them.
bool isAbsolute(std::string_view path);
// Where the file name begins: one past the last separator, 0 when none.
size_t nameStart(std::string_view path);
// The folder part with its separator ("" when none), and the name after it.
std::string folderOf(std::string_view path);
std::string nameOf(std::string_view path);
// `folder` ending in one separator (an empty one stays empty).
std::string asFolder(std::string folder);

} // namespace pathrules
