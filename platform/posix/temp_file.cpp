// Unique temporary files on POSIX systems: mkstemps in the temporary folder.
#include <stdlib.h>
#include <unistd.h>

#include "platform/paths.h"

std::string makeTempFile(const std::string& prefix, const std::string& suffix) {
    std::string name = paths.tempFolder + prefix + "XXXXXX" + suffix;
    const int fd = mkstemps(name.data(), int(suffix.size()));
    if (fd < 0) return {};
    close(fd);
    return name;
}
