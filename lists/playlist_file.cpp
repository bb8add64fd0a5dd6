#include "lists/playlist_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "lists/import.h"
#include "lists/name_scramble.h"
#include "lists/tracks.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/path_rules.h"
#include "platform/rounding.h"
#include "texts/notices.h"

namespace {

constexpr std::string_view kHeader = "PLAYLIST/Spielliste Klangkelter";
constexpr std::string_view kFoldersHeader = "Folders/Ordner";
constexpr std::string_view kFilesHeader = "Files/Dateien";
constexpr int kMinSongsSaved = 6;
// No path the system can open is longer; a longer line is not one of ours.
constexpr size_t kMaxPathBytes = 4096;

// A line end inside a folder name would break the file's layout; the folder
// is then simply not found when read back.
std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, '?');
    return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view lastComponent(std::string_view path) {
    return path.substr(pathrules::nameStart(path));
}

// Walks the file's lines; past the end every line reads as empty.
class Lines {
  public:
    explicit Lines(const std::vector<std::string>& lines) : lines_(lines) {}
    size_t remaining() const { return lines_.size() - next_; }
    const std::string& take() {
        static const std::string empty;
        return remaining() == 0 ? empty : lines_[next_++];
    }

  private:
    const std::vector<std::string>& lines_;
    size_t next_ = 0;
};

// A count or index: blanks skipped, the leading number rounded (halves to
// even), 0 without one. Far beyond any table it is cut down, which changes
// no decision.
int64_t number(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return 0;
    text.remove_prefix(start);
    if (text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec != std::errc() || !std::isfinite(value)) return 0;
    return roundEven(std::clamp(value, -1e9, 1e9));
}

bool acceptedFolderLine(const std::string& line) {
    return pathrules::isAbsolute(line) && line.size() <= kMaxPathBytes &&
           line.find('\0') == std::string::npos;
}

// The song's name as it stands on disk, or empty when the folder slot holds
// no folder or the folder no such song.
std::string songOnDisk(int64_t folderSlot, const std::string& name) {
    if (folderSlot < 1 || folderSlot > tracks.folderCount) return {};
    // A name that reaches into another folder is no song of this one.
    if (pathrules::nameStart(name) != 0) return {};
    const std::string found = findListedFile(tracks.folderTable[size_t(folderSlot)] + name);
    return found.empty() ? found : std::string(lastComponent(found));
}

void showInvalid() {
    notices.noticeNumber = 0;
    showNotice(notice::kListInvalid);
}

PlaylistLoad refuseFile(PlaylistLoad load) {
    load.invalid = true;
    showInvalid();
    return load;
}

} // namespace

bool playlistWorthSaving() {
    return tracks.playlistCount >= 1 &&
           tracks.playlistCount >= tracks.playPosition + kMinSongsSaved - 1;
}

std::string playlistFileText() {
    std::string text;
    auto line = [&text](std::string_view s) {
        text.append(s);
        text += "\r\n";
    };
    line(kHeader);
    line(kFoldersHeader);
    const int folders = std::clamp<int>(tracks.folderCount, 0, kMaxFolders);
    line(std::to_string(folders));
    for (int i = 1; i <= folders; ++i)
        line(oneLine(tracks.folderTable[size_t(i)]));
    line(kFilesHeader);
    const int first = std::max<int>(tracks.playPosition, 1);
    const int last = std::min<int>(tracks.playlistCount, maxTracks);
    line(std::to_string(std::max(last - first + 1, 0)));
    for (int i = first; i <= last; ++i) {
        const PlaylistEntry& e = tracks.playlist[size_t(i)];
        line(scrambleName(trackName(e)));
        line(std::to_string(e.folderIndex));
    }
    return text;
}

std::string findListedFile(const std::string& path) {
    if (path.size() < 7 || !pathrules::isAbsolute(path) || path.find('\0') != std::string::npos)
        return {};
    const std::string_view name = lastComponent(path);
    if (name.empty() || name.size() > size_t(nameWidth)) return {};
    std::string onDisk = files::resolveCase(path);
    if (!files::exists(onDisk) || !sameIgnoringCase(lastComponent(onDisk), name)) return {};
    return onDisk;
}

PlaylistLoad loadPlaylistFileInto(const std::string& path, bool (*betweenSongs)()) {
    PlaylistLoad load;
    if (tracks.stackCount >= maxTracks) {
        showNotice(notice::kStackFull);
        load.stackFull = true;
        return load;
    }
    const std::string onDisk = findListedFile(path);
    if (onDisk.empty()) {
        load.existenceFailed = true;
        return load;
    }
    std::vector<std::string> all;
    Lines in(all);
    if (!files::readLines(onDisk, all) || in.take() != kHeader || in.take() != kFoldersHeader)
        return refuseFile(load);
    // The whole file is read before the folder table changes: a refused
    // list leaves the table as it found it.
    const int64_t folders = number(in.take());
    if (folders < 1 || folders > kMaxFolders) return refuseFile(load);
    std::vector<std::string> folderLines;
    for (int64_t i = 0; i < folders; ++i) {
        std::string folder = in.take();
        if (!acceptedFolderLine(folder)) {
            hooks::requestRedraw(hooks::Redraw::StackView);
            return refuseFile(load);
        }
        folder = pathrules::asFolder(folder);
        folderLines.push_back(std::move(folder));
    }
    in.take(); // the "Files/Dateien" header
    const int64_t songs = number(in.take());
    if (songs < 1) return refuseFile(load);
    struct Listed {
        std::string name;
        int64_t folderLine; // 1 = the first folder line
    };
    std::vector<Listed> listed;
    while (int64_t(listed.size()) < songs && in.remaining() >= 2) {
        std::string name = unscrambleName(in.take());
        listed.push_back({std::move(name), number(in.take())});
    }

    // Only the folders the songs name take a slot, an equal one already in
    // the table is shared; songs naming no folder line find nothing.
    std::vector<std::string> named;
    for (const Listed& song : listed)
        if (song.folderLine >= 1 && song.folderLine <= folders)
            named.push_back(folderLines[size_t(song.folderLine - 1)]);
    if (!makeRoomForFolders(named)) {
        showNotice(notice::kFolderTableFull);
        hooks::requestRedraw(hooks::Redraw::StackView);
        return load;
    }
    std::vector<int> slotOfLine(size_t(folders) + 1, 0);
    for (const Listed& song : listed)
        if (song.folderLine >= 1 && song.folderLine <= folders &&
            slotOfLine[size_t(song.folderLine)] == 0)
            slotOfLine[size_t(song.folderLine)] =
                claimFolder(folderLines[size_t(song.folderLine - 1)]).slot;

    beginImportRun(importRun.importFolder);
    bool stopped = false;
    for (const Listed& listedSong : listed) {
        const int folderSlot = listedSong.folderLine >= 1 && listedSong.folderLine <= folders
                                   ? slotOfLine[size_t(listedSong.folderLine)]
                                   : 0;
        const std::string song = songOnDisk(folderSlot, listedSong.name);
        load.existenceFailed = song.empty();
        if (song.empty()) {
            ++load.missing;
        } else {
            examineImportName(song, folderSlot);
            if (tracks.stackCount >= maxTracks) {
                showNotice(notice::kStackFull);
                load.stackFull = true;
                stopped = true;
                break;
            }
        }
        if (betweenSongs && betweenSongs()) {
            load.aborted = true;
            stopped = true;
            break;
        }
        hooks::keepMusicGoing();
    }
    if (!stopped && int64_t(listed.size()) < songs)
        load.invalid = true; // cut short: what was read stays

    hooks::requestRedraw(hooks::Redraw::StackView);
    if (load.missing > 0) {
        notices.noticeNumber = load.missing;
        showNotice(notice::kListInvalid);
    } else if (load.invalid) {
        showInvalid();
    }
    if (!load.stackFull) announceImportRun(importRun.duplicatesAllowed == 0);
    return load;
}
