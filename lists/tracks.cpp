#include "lists/tracks.h"

#include <algorithm>
#include <cctype>

#include "lists/length_probe.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "texts/notices.h"

TrackLists tracks;

namespace {
void ignoreRemoval(int) {}
void (*removalHandler)(int) = ignoreRemoval;
void ignoreOrderChange() {}
void (*orderChangeHandler)() = ignoreOrderChange;
} // namespace

void setOrderChangeHandler(void (*handler)()) {
    orderChangeHandler = handler ? handler : ignoreOrderChange;
}

void playlistOrderChanged() {
    tracks.staleCheckDue = true;
    orderChangeHandler();
}

void setRemovalHandler(void (*handler)(int removalCode)) {
    removalHandler = handler ? handler : ignoreRemoval;
}

std::string padName(std::string_view name) {
    std::string padded(name.substr(0, size_t(nameWidth)));
    padded.resize(size_t(nameWidth), ' ');
    return padded;
}

static std::string unpadded(const std::string& fileName, int32_t nameLength) {
    return fileName.substr(0, size_t(std::clamp<int32_t>(nameLength, 0, int32_t(fileName.size()))));
}

std::string trackName(const StackEntry& e) {
    return unpadded(e.fileName, e.nameLength);
}
std::string trackName(const PlaylistEntry& e) {
    return unpadded(e.fileName, e.nameLength);
}

static std::string folderOf(int32_t index) {
    return index >= 1 && index <= tracks.folderCount ? tracks.folderTable[size_t(index)]
                                                     : std::string();
}

std::string fullPath(const StackEntry& e) {
    return folderOf(e.folderIndex) + trackName(e);
}
std::string fullPath(const PlaylistEntry& e) {
    return folderOf(e.folderIndex) + trackName(e);
}

bool sameMp3(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

static void clearStackSlot(int i) {
    tracks.stack[size_t(i)] = StackEntry{};
}
static void clearPlaylistSlot(int i) {
    // positionMs belongs to the slot, not to the song that leaves it.
    int32_t position = tracks.playlist[size_t(i)].positionMs;
    tracks.playlist[size_t(i)] = PlaylistEntry{};
    tracks.playlist[size_t(i)].positionMs = position;
}

// The fields that travel with a song inside the playlist; positionMs stays.
static void movePlaylistSong(int from, int to) {
    auto& a = tracks.playlist[size_t(to)];
    const auto& b = tracks.playlist[size_t(from)];
    a.fileName = b.fileName;
    a.nameLength = b.nameLength;
    a.lengthMs = b.lengthMs;
    a.folderIndex = b.folderIndex;
    a.playlistSelected = b.playlistSelected;
    a.leftTrigger = b.leftTrigger;
    a.rightTrigger = b.rightTrigger;
}

void clearLists() {
    for (int i = 0; i <= maxTracks; ++i) {
        tracks.stack[size_t(i)] = StackEntry{padName(""), 0, 0, 0, 0, 0};
        tracks.playlist[size_t(i)] = PlaylistEntry{padName(""), 0, 0, 0, 0, 0};
    }
    tracks.stackCount = 0;
    tracks.playlistCount = 0;
    tracks.folderCount = 0;
}

// The first slot holding exactly `folder`, 0 when none does.
static int slotHolding(const std::string& folder) {
    for (int i = 1; i <= tracks.folderCount; ++i)
        if (tracks.folderTable[size_t(i)] == folder) return i;
    return 0;
}

static std::array<bool, kMaxFolders + 1> foldersInUse() {
    std::array<bool, kMaxFolders + 1> used{};
    auto mark = [&used](int32_t folder) {
        if (folder >= 1 && folder <= tracks.folderCount) used[size_t(folder)] = true;
    };
    for (int i = 1; i <= tracks.stackCount && i < kTrackSlots; ++i)
        mark(tracks.stack[size_t(i)].folderIndex);
    for (int i = 1; i <= tracks.playlistCount && i < kTrackSlots; ++i)
        mark(tracks.playlist[size_t(i)].folderIndex);
    return used;
}

// Keeps the folders in use, each once, in their order. The spare slots
// beyond the counts follow too, so no stale index points at another folder;
// an index that pointed at nothing points at nothing again.
static void compactFolders() {
    const std::array<bool, kMaxFolders + 1> used = foldersInUse();
    std::array<int32_t, kMaxFolders + 1> moved{};
    int kept = 0;
    for (int f = 1; f <= tracks.folderCount; ++f) {
        if (!used[size_t(f)]) continue;
        int same = 0;
        for (int k = 1; k <= kept && same == 0; ++k)
            if (tracks.folderTable[size_t(k)] == tracks.folderTable[size_t(f)]) same = k;
        if (same == 0) {
            ++kept;
            if (kept != f) tracks.folderTable[size_t(kept)] = tracks.folderTable[size_t(f)];
        }
        moved[size_t(f)] = same != 0 ? same : kept;
    }
    auto follow = [&](int32_t& folder) {
        folder = folder >= 1 && folder <= tracks.folderCount ? moved[size_t(folder)] : 0;
    };
    for (auto& e : tracks.stack)
        follow(e.folderIndex);
    for (auto& e : tracks.playlist)
        follow(e.folderIndex);
    for (int f = kept + 1; f <= tracks.folderCount; ++f)
        tracks.folderTable[size_t(f)].clear();
    tracks.folderCount = kept;
}

bool makeRoomForFolders(const std::vector<std::string>& folders) {
    std::vector<std::string> lacking;
    for (const std::string& f : folders)
        if (slotHolding(f) == 0 && std::find(lacking.begin(), lacking.end(), f) == lacking.end())
            lacking.push_back(f);
    if (tracks.folderCount + int(lacking.size()) <= kMaxFolders) return true;

    // What the table would hold once compacted, and the folders asked for.
    const std::array<bool, kMaxFolders + 1> used = foldersInUse();
    std::vector<std::string> after;
    auto keep = [&after](const std::string& f) {
        if (std::find(after.begin(), after.end(), f) == after.end()) after.push_back(f);
    };
    for (int f = 1; f <= tracks.folderCount; ++f)
        if (used[size_t(f)]) keep(tracks.folderTable[size_t(f)]);
    for (const std::string& f : folders)
        keep(f);
    if (after.size() > size_t(kMaxFolders)) return false;
    compactFolders();
    return true;
}

FolderSlot claimFolder(const std::string& folder) {
    if (int slot = slotHolding(folder)) return {slot, false};
    if (!makeRoomForFolders({folder})) return {};
    tracks.folderTable[size_t(++tracks.folderCount)] = folder;
    return {tracks.folderCount, true};
}

void takeBackFolder(const FolderSlot& folder) {
    if (!folder.added || folder.slot != tracks.folderCount || folder.slot < 1) return;
    tracks.folderTable[size_t(folder.slot)].clear();
    --tracks.folderCount;
}

bool appendStackEntry(std::string_view name, int32_t lengthMs, int folder, int16_t duplicate) {
    if (tracks.stackCount >= maxTracks || name.size() > size_t(nameWidth)) return false;
    int slot = ++tracks.stackCount;
    auto& e = tracks.stack[size_t(slot)];
    e.nameLength = int32_t(name.size());
    e.lengthMs = lengthMs;
    if (!admitTrack(lengthMs)) {
        clearStackSlot(slot);
        --tracks.stackCount;
        return false;
    }
    e.fileName = padName(name);
    e.folderIndex = folder;
    e.duplicateFlag = duplicate;
    e.stackMark = kMarkFree;
    return true;
}

bool appendPlaylistEntry(std::string_view name, int32_t lengthMs, int folder) {
    if (tracks.playlistCount >= maxTracks || name.size() > size_t(nameWidth) ||
        !admitTrack(lengthMs))
        return false;
    PlaylistEntry& e = tracks.playlist[size_t(++tracks.playlistCount)];
    e = PlaylistEntry{};
    e.fileName = padName(name);
    e.nameLength = int32_t(name.size());
    e.lengthMs = lengthMs;
    e.folderIndex = folder;
    return true;
}

static bool matches(const StackEntry& e, StackPredicate which) {
    switch (which) {
    case StackPredicate::Selected:
        return e.stackMark == kMarkSelected;
    case StackPredicate::Sent:
        return e.stackMark == kMarkSent;
    case StackPredicate::Duplicate:
        return e.duplicateFlag == 1;
    }
    return false;
}

void removeStackEntries(StackPredicate which) {
    int count = tracks.stackCount;
    int removed = 0;
    int i = 1;
    while (i <= count - removed) {
        if (!matches(tracks.stack[size_t(i)], which)) {
            ++i;
            continue;
        }
        int run = 0;
        while (i + run <= count - removed && matches(tracks.stack[size_t(i + run)], which))
            ++run;
        for (int j = i; j + run <= count - removed; ++j)
            tracks.stack[size_t(j)] = tracks.stack[size_t(j + run)];
        for (int j = count - removed - run + 1; j <= count - removed; ++j)
            clearStackSlot(j);
        removed += run;
    }
    tracks.stackCount = count - removed;
    if (which == StackPredicate::Sent)
        for (auto& e : tracks.stack)
            if (e.stackMark == kMarkSent) e.stackMark = kMarkFree;
}

static void refuseFullPlaylist() {
    showNotice(notice::kPlaylistFull);
    timing::waitSeconds(0.4);
}

int sendSelectedToPlaylist() {
    if (tracks.playlistCount >= maxTracks) {
        for (int i = 0; i < kTrackSlots; ++i)
            tracks.stack[size_t(i)].stackMark = kMarkFree;
        refuseFullPlaylist();
        return 0;
    }
    int sent = 0;
    for (int i = 1; i <= tracks.stackCount; ++i) {
        auto& s = tracks.stack[size_t(i)];
        if (s.stackMark != kMarkSelected) continue;
        int slot = ++tracks.playlistCount;
        auto& p = tracks.playlist[size_t(slot)];
        p.fileName = s.fileName;
        p.folderIndex = s.folderIndex;
        p.lengthMs = s.lengthMs;
        p.nameLength = s.nameLength;
        p.playlistSelected = 0;
        p.leftTrigger = p.rightTrigger = 0; // the new song's points are not computed yet
        s.stackMark = kMarkSent;
        s.duplicateFlag = 1;
        ++sent;
        if (tracks.playlistCount >= maxTracks && i < tracks.stackCount) {
            for (int j = i + 1; j < kTrackSlots; ++j)
                tracks.stack[size_t(j)].stackMark = kMarkFree;
            refuseFullPlaylist();
            break;
        }
    }
    if (sent > 0) {
        if (tracks.playlistTop == 0) tracks.playlistTop = 1;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
        hooks::requestRedraw(hooks::Redraw::StackView);
    }
    return sent;
}

bool insertSelectedBehind(int target, int removedBefore) {
    int n = 0;
    for (int i = 1; i <= tracks.stackCount; ++i)
        n += tracks.stack[size_t(i)].stackMark == kMarkSelected;
    if (n == 0) return true; // nothing selected: nothing moves
    if (n + tracks.playlistCount > maxTracks) {
        showNotice(notice::kPlaylistFull);
        return false;
    }
    int behind = std::clamp(target - removedBefore, 0, tracks.playlistCount);
    for (int j = tracks.playlistCount; j > behind; --j)
        movePlaylistSong(j, j + n);
    int slot = behind;
    for (int i = 1; i <= tracks.stackCount; ++i) {
        const auto& s = tracks.stack[size_t(i)];
        if (s.stackMark != kMarkSelected) continue;
        auto& p = tracks.playlist[size_t(++slot)];
        p.fileName = s.fileName;
        p.folderIndex = s.folderIndex;
        p.lengthMs = s.lengthMs;
        p.nameLength = s.nameLength;
        p.playlistSelected = 0;
        p.leftTrigger = p.rightTrigger = 0; // the new song's points are not computed yet
    }
    tracks.playlistCount += n;
    // Songs put in before the current one move it down; the place follows
    // the song, or the player would go on with another one.
    if (behind < tracks.playPosition) tracks.playPosition += n;
    removeStackEntries(StackPredicate::Selected);
    playlistOrderChanged();
    return true;
}

void removePlaylistSelection(int mode, bool currentChannelStarted) {
    const int pos = tracks.playPosition;
    if (pos >= 1 && pos < kTrackSlots && currentChannelStarted)
        tracks.playlist[size_t(pos)].playlistSelected = 0;

    int toRemove = 0;
    for (int i = std::max(pos, 1); i <= tracks.playlistCount; ++i)
        toRemove += tracks.playlist[size_t(i)].playlistSelected == 1;
    if (toRemove == 0) return;

    auto selected = [](int i) {
        return i >= 1 && i < kTrackSlots && tracks.playlist[size_t(i)].playlistSelected == 1 ? 1
                                                                                             : 0;
    };
    tracks.removalCode = 100 * selected(pos) + 10 * selected(pos + 1) + selected(pos + 2);

    int count = tracks.playlistCount;
    int removed = 0;
    bool dropped = false;
    int i = std::max(pos, 1);
    while (removed < toRemove && i <= count) {
        if (!selected(i)) {
            ++i;
            continue;
        }
        int run = 0;
        while (i + run <= count && selected(i + run))
            ++run;
        if (mode == kRemoveToStack || mode == kRemoveToStackSelected) {
            for (int k = i; k < i + run; ++k) {
                if (tracks.stackCount >= maxTracks) {
                    dropped = true;
                    continue;
                }
                const auto& p = tracks.playlist[size_t(k)];
                auto& s = tracks.stack[size_t(++tracks.stackCount)];
                s.fileName = p.fileName;
                s.folderIndex = p.folderIndex;
                s.lengthMs = p.lengthMs;
                s.nameLength = p.nameLength;
                s.duplicateFlag = 0;
                s.stackMark = mode == kRemoveToStackSelected ? kMarkSelected : kMarkFree;
            }
        }
        for (int j = i; j + run <= count; ++j)
            movePlaylistSong(j + run, j);
        for (int j = count - run + 1; j <= count; ++j)
            clearPlaylistSlot(j);
        count -= run;
        removed += run;
    }
    if (dropped) showNotice(notice::kStackOverflow);
    tracks.playlistCount = count;
    for (int k = 1; k <= maxTracks; ++k)
        tracks.playlist[size_t(k)].playlistSelected = 0;
    removalHandler(tracks.removalCode);

    if (tracks.playlistCount - tracks.playPosition < 5 &&
        tracks.playlistTop > tracks.playPosition) {
        tracks.playlistTop = tracks.playPosition;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
    playlistOrderChanged();
}

void swapEntries(ListKind list, int i, int j) {
    if (i < 0 || j < 0 || i >= kTrackSlots || j >= kTrackSlots) return;
    if (list == ListKind::Stack) {
        std::swap(tracks.stack[size_t(i)], tracks.stack[size_t(j)]);
        return;
    }
    auto& a = tracks.playlist[size_t(i)];
    auto& b = tracks.playlist[size_t(j)];
    std::swap(a.fileName, b.fileName);
    std::swap(a.folderIndex, b.folderIndex);
    std::swap(a.lengthMs, b.lengthMs);
    std::swap(a.nameLength, b.nameLength);
    std::swap(a.playlistSelected, b.playlistSelected);
    std::swap(a.leftTrigger, b.leftTrigger);
    std::swap(a.rightTrigger, b.rightTrigger);
}
