#include "lists/list_ops.h"

#include "lists/tracks.h"
#include "platform/hooks.h"
#include "texts/notices.h"

void selectAll() {
    if (tracks.stackCount == 0) return;
    const uint8_t duplicatesAllowed = tracks.allowDuplicates;
    bool skipped = false;
    for (int i = 1; i <= tracks.stackCount; ++i) {
        auto& e = tracks.stack[size_t(i)];
        if (e.duplicateFlag == 1 && duplicatesAllowed == 0) {
            skipped = true;
            continue;
        }
        e.stackMark = kMarkSelected;
    }
    if (skipped) showNotice(notice::kSkippedDuplicates, 12, 12);
    hooks::requestRedraw(hooks::Redraw::StackView);
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
    hooks::requestRedraw(hooks::Redraw::StackView);
}
