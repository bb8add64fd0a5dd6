// Paths on Windows: '\' separates ('/' is taken as well), and a path from a
// root starts with a drive ("C:\") or a server ("\\server\share\").
#include "platform/path_rules.h"

namespace pathrules {

char separator() {
    return '\\';
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool isAbsolute(std::string_view path) {
    const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
                       path[1] == ':' && isSeparator(path[2]);
    const bool server = path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1]);
    return drive || server;
}

} // namespace pathrules
