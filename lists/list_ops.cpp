#include "lists/list_ops.h"

#include <algorithm>
#include <cmath>

#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/random.h"
#include "texts/notices.h"

ListOps listOps;

namespace {

using hooks::Redraw;

// A song closer than this to its end point is being handed over: a click on
// it is refused with the mark.
constexpr int32_t kNearEndMs = 30000;
constexpr int kMinSortEntries = 5;
// The busy sign of a long sort: looked at this often, drawn again after this.
constexpr double kBusyCheckSeconds = 0.2, kBusyRedrawSeconds = 0.5, kBusyAfterSeconds = 0.5;

// What a sort of n entries takes on this machine, from its measured speed.
double sortSeconds(int n) {
    const double s = std::max(timing::speedIndex(), 1e-6);
    return (n / 525.0) * (n / 525.0) * 25 / s * 58 / 1000;
}

StackEntry* stackAt(int i) {
    return i >= 1 && i <= tracks.stackCount ? &tracks.stack[size_t(i)] : nullptr;
}

bool grey(const StackEntry& e) {
    return e.duplicateFlag != 0;
}

bool selected(int slot) {
    const PlaylistEntry* p = playlistSlot(slot);
    return p && slot <= tracks.playlistCount && p->playlistSelected == 1;
}

// Random numbers drawn and dropped first, as many as the clock's fraction
// says, so that two shuffles in a row do not start alike.
void warmUp() {
    const double t1 = timing::now(), t2 = timing::now();
    const int n = int(std::floor((t1 - std::floor(t2)) * 150)) + 2;
    for (int i = 0; i < n; ++i)
        rng::unit();
}

bool sortsBefore(int j, int i, bool byName, bool descending) {
    const StackEntry& a = tracks.stack[size_t(j)];
    const StackEntry& b = tracks.stack[size_t(i)];
    if (byName) return descending ? a.fileName > b.fileName : a.fileName < b.fileName;
    return descending ? a.lengthMs > b.lengthMs : a.lengthMs < b.lengthMs;
}

} // namespace

void selectAll() {
    if (tracks.stackCount == 0) return;
    const uint8_t duplicatesAllowed = tracks.allowDuplicates;
    bool skipped = false;
    for (int i = 1; i <= tracks.stackCount; ++i) {
        auto& e = tracks.stack[size_t(i)];
        if (grey(e) && duplicatesAllowed == 0) {
            skipped = true;
            continue;
        }
        e.stackMark = kMarkSelected;
    }
    if (skipped) showNotice(notice::kSkippedDuplicates);
    hooks::requestRedraw(Redraw::StackView);
}

void clearSelections() {
    for (int i = 1; i <= tracks.stackCount; ++i)
        tracks.stack[size_t(i)].stackMark = kMarkFree;
    for (int i = 1; i <= tracks.playlistCount; ++i)
        tracks.playlist[size_t(i)].playlistSelected = 0;
}

void sendToPlaylist() {
    sendSelectedToPlaylist();
    removeStackEntries(StackPredicate::Sent);
    hooks::requestRedraw(Redraw::StackView);
}

void selectStackEntry(int i) {
    StackEntry* e = stackAt(i);
    if (!e) return;
    if (e->stackMark == kMarkSelected) {
        e->stackMark = kMarkFree;
        listOps.stackAnchor = i;
        // After an unselect a Shift-click selects: the range takes mark 1.
        listOps.anchorState = 1;
    } else if (grey(*e) && tracks.allowDuplicates == 0) {
        showNotice(notice::kGreyNotSelected);
    } else {
        e->stackMark = kMarkSelected;
        listOps.stackAnchor = i;
        listOps.anchorState = kMarkSelected;
    }
    hooks::requestRedraw(Redraw::StackView);
}

void selectStackRange(int i) {
    if (listOps.stackAnchor == 0 || !stackAt(i)) return;
    const int from = std::min(listOps.stackAnchor, i);
    const int to = std::min(std::max(listOps.stackAnchor, i), int(tracks.stackCount));
    bool skipped = false;
    for (int k = from; k <= to; ++k) {
        StackEntry& e = tracks.stack[size_t(k)];
        if (tracks.allowDuplicates == 1 || listOps.anchorState == 0) {
            e.stackMark = uint8_t(listOps.anchorState);
        } else if (grey(e)) {
            skipped = true;
        } else {
            e.stackMark = kMarkSelected;
        }
    }
    listOps.stackAnchor = std::max(listOps.stackAnchor, i);
    if (skipped) showNotice(notice::kSkippedDuplicates);
    hooks::requestRedraw(Redraw::StackView);
}

void clearDuplicateMark(int i) {
    StackEntry* e = stackAt(i);
    if (!e || !grey(*e)) return;
    e->duplicateFlag = 0;
    showNotice(notice::kDuplicateCleared);
    hooks::requestRedraw(Redraw::StackView);
}

PlaylistClick selectPlaylistSong(int i, bool shift, bool currentStarted, bool inCurrentArea) {
    PlaylistEntry* p = playlistSlot(i);
    if (!p || i > tracks.playlistCount) return PlaylistClick::Done;
    if (i == tracks.playPosition && currentStarted) {
        p->playlistSelected = 0;
        const double endMs = p->lengthMs * (p->rightTrigger > 0 ? p->rightTrigger : 1.0);
        hooks::requestRedraw(Redraw::PlaylistView);
        return inCurrentArea && endMs - p->positionMs < kNearEndMs ? PlaylistClick::Refused
                                                                   : PlaylistClick::Done;
    }
    if (shift) {
        int from = 0, to = 0;
        if (i > tracks.playPosition + 2) {
            for (int j = i - 1; j >= tracks.playPosition && from == 0; --j)
                if (selected(j)) from = j, to = i;
        }
        if (from == 0)
            for (int j = i + 1; j <= tracks.playlistCount - 1 && from == 0; ++j)
                if (selected(j)) from = i, to = j;
        for (int k = from; from != 0 && k <= to; ++k)
            // The playing song stays out of any range.
            if (!(k == tracks.playPosition && currentStarted))
                tracks.playlist[size_t(k)].playlistSelected = 1;
    } else {
        p->playlistSelected = p->playlistSelected == 1 ? 0 : 1;
    }
    hooks::requestRedraw(Redraw::PlaylistView);
    return PlaylistClick::Done;
}

PlaylistClick insertOrReorder(int t, bool currentStarted) {
    if (t < 1 || t > tracks.playlistCount || selected(t)) return PlaylistClick::Done;
    listOps.insertTarget = t;
    int s = 0, k = 0;
    for (int j = std::max(1, int(tracks.playPosition)); j <= tracks.playlistCount; ++j) {
        // The playing song is never moved, so it does not count.
        if (!selected(j) || (j == tracks.playPosition && currentStarted)) continue;
        ++s;
        if (j < t) ++k;
    }
    if (s == 0) {
        insertSelectedBehind(t, 0);
    } else {
        if (tracks.stackCount + s > maxTracks) {
            showNotice(notice::kStackNoRoom);
            return PlaylistClick::Refused;
        }
        for (int j = 1; j <= tracks.stackCount; ++j)
            tracks.stack[size_t(j)].stackMark = kMarkFree;
        removePlaylistSelection(kRemoveToStackSelected, currentStarted);
        insertSelectedBehind(t, k);
    }
    hooks::requestRedraw(Redraw::PlaylistView);
    hooks::requestRedraw(Redraw::StackView);
    return PlaylistClick::Done;
}

void deleteFromStack() {
    if (tracks.stackCount == 0) return;
    int greyCount = 0, selectedCount = 0;
    for (int i = 1; i <= tracks.stackCount; ++i) {
        greyCount += grey(tracks.stack[size_t(i)]);
        selectedCount += tracks.stack[size_t(i)].stackMark == kMarkSelected;
    }
    removeStackEntries(greyCount > 0 || selectedCount == 0 ? StackPredicate::Duplicate
                                                           : StackPredicate::Selected);
    listOps.stackAnchor = 0;
}

bool sortStack(bool byName) {
    const int n = tracks.stackCount;
    if (n < kMinSortEntries) return false;
    uint8_t& flag = byName ? listOps.nameOrderFlag : listOps.lengthOrderFlag;
    const bool descending = flag == 1;
    double nextBusyCheck = 0, busyDrawn = -1e9;
    for (int i = 1; i < n; ++i) {
        for (int j = i + 1; j <= n; ++j)
            if (sortsBefore(j, i, byName, descending)) swapEntries(ListKind::Stack, i, j);
        // A sort of a full stack takes a while on a slow machine: the music
        // is steered between its steps, and a busy sign shows it works.
        hooks::keepMusicGoing();
        const double now = timing::now();
        if (now >= nextBusyCheck) {
            nextBusyCheck = now + kBusyCheckSeconds;
            if (now - busyDrawn >= kBusyRedrawSeconds && sortSeconds(n) > kBusyAfterSeconds) {
                busyDrawn = now;
                hooks::requestRedraw(Redraw::BusySign);
            }
        }
    }
    flag ^= 1;
    listOps.stackAnchor = 0;
    return true;
}

void shuffleStack() {
    warmUp();
    const int n = tracks.stackCount;
    for (int i = 1; i <= n; ++i) {
        const int j = rng::below(n) + 1;
        if (j != i && j != n) swapEntries(ListKind::Stack, i, j);
    }
    listOps.stackAnchor = 0;
    hooks::requestRedraw(Redraw::StackView);
}

bool shufflePlaylist() {
    const int n = tracks.playlistCount, pos = tracks.playPosition;
    if (pos + 6 > n) return false;
    warmUp();
    // The current song and the next two keep their places and their envelopes.
    for (int i = pos + 3; i <= n; ++i) {
        const int j = rng::below(n) + 1;
        if (j != i && j != n && j > pos + 3) swapEntries(ListKind::Playlist, i, j);
    }
    playlistOrderChanged();
    hooks::requestRedraw(Redraw::PlaylistView);
    return true;
}

int rotatePlaylistToCurrent() {
    const int n = tracks.playlistCount, played = tracks.playPosition - 1;
    if (played < 1 || played >= n || n >= kTrackSlots) return 0;
    auto first = tracks.playlist.begin() + 1;
    std::rotate(first, first + played, first + n);
    // Where a slot's song went: the played ones moved behind the others.
    auto moved = [&](int slot) { return slot > played ? slot - played : slot + n - played; };
    if (tracks.playlistTop >= 1 && tracks.playlistTop <= n)
        tracks.playlistTop = moved(tracks.playlistTop);
    if (listOps.insertTarget >= 1 && listOps.insertTarget <= n)
        listOps.insertTarget = moved(listOps.insertTarget);
    tracks.playPosition = 1;
    hooks::requestRedraw(Redraw::PlaylistView);
    return played;
}

void toggleDuplicates() {
    tracks.allowDuplicates = tracks.allowDuplicates == 0 ? 1 : 0;
    hooks::requestRedraw(Redraw::StackView);
}
