#pragma once
// How code below ui/ asks for the screen to follow it, for the music to be kept
// going inside its long loops, for the session to end, and what the user does
// meanwhile, without knowing who answers: all input passes through app/.
// Owns the handlers; only app/ installs them, once at start-up. Without
// handlers (a test of one lower module) redraws and keep-alives do nothing,
// no input arrives, and an end request ends the run.
#include <string>

namespace hooks {

// What changed on the screen. The handler draws it at once: the displays read
// the channels' positions, so when they are drawn is part of the music's timing.
enum class Redraw {
    PlaylistView,
    StackView,
    Progress,          // arg: the card, 0 outgoing or 1 incoming
    ProgressAfterJump, // the bar of the playing song starts again from empty
    EnvelopeStrip,     // when its time has come
    EndClock,          // when its time has come
    FadeIndicator,     // arg: 1 greys the click hint
    PauseCountdownBox,
    PauseCountdownSeconds,
    PauseSecondsButton,
    CompressorButton,
    CompressorBars,
    WorkingLabel, // arg: the envelope slot being decoded
    StaleBand,    // arg: the envelope slot that waits to be refilled
    PlayLabel,    // the "Play" label of the incoming card
    RefusedSign,
    BusySign,      // a long operation is at work (the abort box without its abort)
    GongPanel,     // the whole GONG panel, which it shows if another tab was shown
    GongCard,      // arg: the player whose card changed, drawn while the panel is shown
    GongTabMarker, // arg: the marker's colour on the GONG tab
    VorhButton,    // the preview mode's button in the stack's strip
    Notice,        // the notice box, unless a hold protects what it shows
};

// The pointer as the loops below app/ see it.
struct Pointer {
    int x = -1, y = -1; // both negative while the pointer is outside the window
    int buttons = 0;    // 1 left, 2 right, 4 middle
};

struct Handlers {
    void (*redraw)(Redraw what, int arg) = nullptr;
    // Steers the music between two steps of a long operation.
    void (*keepMusicGoing)() = nullptr;
    // The playing song's displays, inside a long read.
    void (*keepDisplaysGoing)() = nullptr;
    // Notes that the user asked to end the session (Ctrl+X, the window's close
    // button); must return without waiting.
    void (*endSession)() = nullptr;
    // Keeps the session when the program is ended from outside (the display
    // gone, a log-out) and cannot unwind; quick, and never asks anything.
    void (*saveBeforeEnd)() = nullptr;
    // The input the transport's, the fades' and the preview's loops react to.
    Pointer (*pointer)() = nullptr;
    std::string (*nextKey)() = nullptr;
    void (*dropKeys)() = nullptr;
    // A click into the gong panel (or on its tab) inside such a loop acts.
    void (*gongClicks)() = nullptr;
};

void install(const Handlers& handlers);
void requestRedraw(Redraw what, int arg = 0);
void keepMusicGoing();
void keepDisplaysGoing();
// Asks for the end box from inside a loop that must finish its step first:
// the main loop shows the box at its next pass, and the caller goes on.
void requestEnd();
void saveBeforeEnd();
// What the pointer does now.
Pointer pointer();
// The next waiting key in the input's code ("" when none).
std::string nextKey();
// Drops the waiting keys; a request to end the session among them still ends it.
void dropKeys();
void gongClicks();

} // namespace hooks
