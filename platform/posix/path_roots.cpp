// Paths here: '/' separates, and a path from the root starts with it.
#include "platform/path_rules.h"

namespace pathrules {

char separator() {
    return '/';
}

bool isSeparator(char c) {
    return c == '/';
}

bool isAbsolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

} // namespace pathrules
