#pragma once
// The stack and the playlist: their entries in slots 1 to their counts, the
// folder table, the current song's place, and the primitive moves every list
// operation is built from. Written by the list operations, the import, the
// list and session files and the transport; read everywhere.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint16_t maxTracks = 66;
// Every per-entry table holds slots 0 to maxTracks + 10; slot 0 is never an
// entry, and the spare slots give the reorder room to borrow.
constexpr int kTrackSlots = maxTracks + 11;
constexpr int16_t nameWidth = 255;
constexpr int kMaxFolders = 399;

// A stack entry's mark.
constexpr uint8_t kMarkFree = 0, kMarkSelected = 1, kMarkSent = 2;
// Where removePlaylistSelection puts the songs it takes out (`stackMoveMode`).
constexpr int kRemoveDelete = 0, kRemoveToStack = 1, kRemoveToStackSelected = 2;

struct StackEntry {
    std::string fileName; // padded with blanks to nameWidth
    int32_t nameLength = 0;
    int32_t lengthMs = 0;
    int32_t folderIndex = 0;
    int16_t duplicateFlag = 0;     // 1: drawn grey
    uint8_t stackMark = kMarkFree; // kMarkSent only inside a send
};

struct PlaylistEntry {
    std::string fileName;
    int32_t nameLength = 0;
    int32_t lengthMs = 0;
    int32_t folderIndex = 0;
    uint8_t playlistSelected = 0;
    int32_t positionMs = 0; // written by the transport; stays with the slot, not the song
    double leftTrigger = 0, rightTrigger = 0; // fractions of lengthMs; rightTrigger 0: not computed
};

struct TrackLists {
    std::array<StackEntry, kTrackSlots> stack;
    std::array<PlaylistEntry, kTrackSlots> playlist;
    int32_t stackCount = 0;
    int32_t playlistCount = 0;
    int32_t playPosition = 1; // slot of the current song, from 1
    int32_t playlistTop = 1;  // first slot shown in the playlist view
    // The user scrolled the playlist away from the current song; it snaps
    // back after a quiet while, and the player does not move it meanwhile.
    bool playlistScrolledByHand = false;
    double playlistScrollTime = 0;
    // The playlist changed under the envelope slots: their check is due now.
    bool staleCheckDue = false;
    uint8_t allowDuplicates = 0;
    // Slots 1 to folderCount, each ending in "/".
    std::array<std::string, kMaxFolders + 1> folderTable;
    int32_t folderCount = 0;
    // Code of the selected slots among the current song and the next two,
    // 100a + 10b + c, left by the last removePlaylistSelection.
    int removalCode = 0;
};

extern TrackLists tracks;

// The unpadded file name of an entry.
std::string trackName(const StackEntry& e);
std::string trackName(const PlaylistEntry& e);
// The playlist's slot, or nullptr outside the table (it may hold no song).
inline PlaylistEntry* playlistSlot(int slot) {
    return slot >= 1 && slot < kTrackSlots ? &tracks.playlist[size_t(slot)] : nullptr;
}

std::string fullPath(const StackEntry& e);
std::string fullPath(const PlaylistEntry& e);
std::string padName(std::string_view name);
// Two names are the same MP3 when they are equal without regard to letter case;
// the folder does not count.
bool sameMp3(std::string_view a, std::string_view b);

void clearLists();
// A folder's slot in the table, and whether this call added it.
struct FolderSlot {
    int slot = 0; // 0: no room
    bool added = false;
};
// The slot that holds exactly `folder`, or a new one behind the last; a full
// table first makes room (makeRoomForFolders).
FolderSlot claimFolder(const std::string& folder);
// Takes back a slot claimFolder added, while it is still the last one: the
// run that claimed it added nothing.
void takeBackFolder(const FolderSlot& folder);
// True when `folders` all fit into the table, the ones it lacks behind its
// last slot. When they do not, the folders that no stack or playlist entry
// refers to leave the table, equal folders become one, and every entry's
// folderIndex follows; when even that is not enough, false, nothing changed.
bool makeRoomForFolders(const std::vector<std::string>& folders);
// Appends a stack entry unless `lengthMs` is refused by the admission bounds;
// false then, with the count taken back.
bool appendStackEntry(std::string_view name, int32_t lengthMs, int folder, int16_t duplicate);
// The same at the playlist's end, unselected, its trigger points not computed yet.
bool appendPlaylistEntry(std::string_view name, int32_t lengthMs, int folder);
enum class StackPredicate { Selected, Sent, Duplicate };
void removeStackEntries(StackPredicate which);
// Moves the selected stack entries, in stack order, to the end of the playlist,
// as many as fit; the caller purges the sent entries. Returns how many moved.
int sendSelectedToPlaylist();
// Inserts the selected stack entries behind playlist slot target - removedBefore.
// False (notice 38) when they do not all fit; nothing changes then.
bool insertSelectedBehind(int target, int removedBefore);
// mode 0 deletes, 1 moves the songs to the stack, 2 moves them and keeps them selected there.
void removePlaylistSelection(int mode, bool currentChannelStarted);
// Takes the removal code of each removePlaylistSelection, before the view
// follows: the envelope slots, a layer up, keep in step. app/ installs it.
void setRemovalHandler(void (*handler)(int removalCode));
// Every change of the playlist's order ends here: the envelope slots, a layer
// up, must never hold another song's envelope. app/ installs the handler.
void playlistOrderChanged();
void setOrderChangeHandler(void (*handler)());
enum class ListKind { Stack, Playlist };
void swapEntries(ListKind list, int i, int j);
