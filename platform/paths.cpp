#include "platform/paths.h"

#include <stdlib.h>
#include <unistd.h>

#include "platform/files.h"

Paths paths;

void derivePaths(const std::string& programFolder) {
    paths.programFolder = programFolder.empty() ? files::executableFolder() : programFolder;
    if (!paths.programFolder.empty() && paths.programFolder.back() != '/')
        paths.programFolder += '/';
    paths.tempFolder = files::tempFolder();
    paths.lamePath = files::findTool(paths.programFolder, "lame");
}

std::string makeTempFile(const std::string& prefix, const std::string& suffix) {
    std::string name = paths.tempFolder + prefix + "XXXXXX" + suffix;
    const int fd = mkstemps(name.data(), int(suffix.size()));
    if (fd < 0) return {};
    close(fd);
    return name;
}
