#include "lists/list_ops.h"

#include "lists/list_views.h"
#include "lists/tracks.h"
#include "texts/notices.h"

constexpr int kNoticeSkippedDuplicates = 62;

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
        e.stackMark = 1;
    }
    if (skipped) showNotice(kNoticeSkippedDuplicates, 12, 12);
    drawStackView();
}

void clearSelections() {
    for (int i = 1; i <= tracks.stackCount; ++i)
        tracks.stack[size_t(i)].stackMark = 0;
    for (int i = 1; i <= tracks.playlistCount; ++i)
        tracks.playlist[size_t(i)].playlistSelected = 0;
}

void sendToPlaylist() {
    sendSelectedToPlaylist();
    removeStackEntries(StackPredicate::Sent);
    drawStackView();
}
