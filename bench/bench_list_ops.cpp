// Each list operation on full lists (66 in the stack, 66 in the playlist),
// drawing included, as the click dispatch runs it: the worst of 50 runs.
// The sorts may take longer; they keep the music going meanwhile.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "app/main_loop.h"
#include "app/startup.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/screen.h"
#include "ui/control_panel.h"
#include "ui/list_views.h"

namespace {

void fill() {
    clearLists();
    tracks.folderTable[1] = "/music/";
    tracks.folderCount = 1;
    for (int i = 1; i <= maxTracks; ++i) {
        const std::string n = "song " + std::to_string((i * 37) % 101) + ".mp3";
        appendStackEntry("stack " + n, 30000 + 997 * ((i * 13) % 67), 1, i % 9 == 0);
        auto& p = tracks.playlist[size_t(i)];
        p.fileName = padName("list " + n);
        p.nameLength = int32_t(p.fileName.size());
        p.lengthMs = 200000;
        p.folderIndex = 1;
    }
    tracks.playlistCount = maxTracks;
    tracks.playPosition = tracks.playlistTop = 1;
}

double worstMs(const std::function<void()>& setUp, const std::function<void()>& op) {
    double worst = 0;
    for (int run = 0; run < 50; ++run) {
        fill();
        setUp();
        const auto t0 = std::chrono::steady_clock::now();
        op();
        const auto t1 = std::chrono::steady_clock::now();
        worst = std::max(worst, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return worst;
}

void row(const char* name, double ms, const char* goal) {
    std::printf("| list operation: %s, full lists | %.2f ms worst | %s |\n", name, ms, goal);
}

} // namespace

int main() {
    resetProgramState();
    screen::open(screen::kWidth, screen::kHeight);
    setProgramPalette();
    drawControlPanel();
    auto none = [] {};
    auto selectSome = [] {
        for (int i = 3; i <= 40; i += 3)
            tracks.playlist[size_t(i)].playlistSelected = 1;
    };
    const char* frame = "goal < 16 ms";
    row("select a stack entry", worstMs(none, [] { selectStackEntry(33); }), frame);
    row("select a stack range", worstMs([] { selectStackEntry(2); }, [] { selectStackRange(60); }),
        frame);
    row("select all", worstMs(none, [] { selectAll(); }), frame);
    row("select a playlist range",
        worstMs([] { selectPlaylistSong(5, false, true, false); },
                [] { selectPlaylistSong(50, true, true, false); }),
        frame);
    row("reorder behind a song",
        worstMs(selectSome,
                [] {
                    tracks.stackCount = 50; // room in the stack to lend
                    insertOrReorder(60, true);
                    drawPlaylistView();
                    drawStackView();
                }),
        frame);
    row("delete from the playlist",
        worstMs(selectSome,
                [] {
                    removePlaylistSelection(kRemoveDelete, true);
                    drawPlaylistView();
                }),
        frame);
    row("ENTF in the stack",
        worstMs(none,
                [] {
                    deleteFromStack();
                    drawStackView();
                }),
        frame);
    row("shuffle the stack", worstMs(none, [] { shuffleStack(); }), frame);
    row("shuffle the playlist", worstMs(none, [] { shufflePlaylist(); }), frame);
    row("sort by name",
        worstMs(none,
                [] {
                    sortStack(true);
                    drawStackView();
                }),
        "may take longer; the music is steered meanwhile");
    row("sort by length",
        worstMs(none,
                [] {
                    sortStack(false);
                    drawStackView();
                }),
        "may take longer; the music is steered meanwhile");
    return 0;
}
