#include "lists/import.h"

#include <cctype>
#include <string_view>

#include "lists/length_probe.h"
#include "lists/tracks.h"
#include "texts/notices.h"

ImportRun importRun;

namespace {

bool alreadyListed(std::string_view name) {
    for (int i = 0; i <= tracks.stackCount; ++i)
        if (sameMp3(trackName(tracks.stack[size_t(i)]), name)) return true;
    for (int i = 0; i <= tracks.playlistCount; ++i)
        if (sameMp3(trackName(tracks.playlist[size_t(i)]), name)) return true;
    return false;
}

bool hasMp3Extension(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".mp3";
}

} // namespace

void beginImportRun(const std::string& folder) {
    importRun.importFolder = folder;
    importRun.duplicatesFound = false;
    importRun.lengthRefused = false;
    importRun.added = false;
    importRun.aborted = false;
}

void examineImportName(const std::string& name, int folderSlot) {
    if (name.empty() || !hasMp3Extension(name) || name.size() > size_t(nameWidth)) return;
    int16_t duplicate = alreadyListed(name) ? 1 : 0;
    if (duplicate) importRun.duplicatesFound = true;
    if (duplicate && importRun.duplicatesAllowed == 0) return;
    int32_t lengthMs = probeLength(tracks.folderTable[size_t(folderSlot)] + name, kProbeAlias);
    if (appendStackEntry(name, lengthMs, folderSlot, duplicate))
        importRun.added = true;
    else
        importRun.lengthRefused = true;
}

void announceImportRun(bool doubOff) {
    notices.importFoundDuplicates = importRun.duplicatesFound;
    notices.importRefusedLength = importRun.lengthRefused;
    if (importRun.lengthRefused) {
        showNotice(notice::kImportRefusedLength);
    } else if (importRun.duplicatesFound) {
        showNotice(doubOff ? notice::kAlreadyLoaded : notice::kDuplicatesLoaded);
    }
}
