// What every platform's path rules share; the separator and the roots are
// each platform's own (posix/ and win32/path_roots.cpp).
#include "platform/path_rules.h"

namespace pathrules {

size_t nameStart(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i)
        if (isSeparator(path[i - 1])) return i;
    return 0;
}

std::string folderOf(std::string_view path) {
    return std::string(path.substr(0, nameStart(path)));
}

std::string nameOf(std::string_view path) {
    return std::string(path.substr(nameStart(path)));
}

std::string asFolder(std::string folder) {
    if (!folder.empty() && !isSeparator(folder.back())) folder += separator();
    return folder;
}

} // namespace pathrules
