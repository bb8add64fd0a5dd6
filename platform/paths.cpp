#include "platform/paths.h"

#include "platform/files.h"

Paths paths;

void derivePaths(const std::string& programFolder) {
    paths.programFolder = programFolder.empty() ? files::executableFolder() : programFolder;
    if (!paths.programFolder.empty() && paths.programFolder.back() != '/')
        paths.programFolder += '/';
    paths.tempFolder = files::tempFolder();
    paths.lamePath = files::findTool(paths.programFolder, "lame");
    paths.lameBufferFile = paths.tempFolder + "000-LAME-Puffer.wav";
    paths.autosaveFile = paths.programFolder + "KLANGKELTER-Spielliste-Autosave.sav";
}
