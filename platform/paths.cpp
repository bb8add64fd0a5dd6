#include "platform/paths.h"

#include "platform/files.h"
#include "platform/path_rules.h"

Paths paths;

void derivePaths(const std::string& programFolder) {
    paths.programFolder = programFolder.empty() ? files::executableFolder() : programFolder;
    paths.programFolder = pathrules::asFolder(paths.programFolder);
    paths.tempFolder = files::tempFolder();
    paths.lamePath = files::findTool(paths.programFolder, "lame");
}
