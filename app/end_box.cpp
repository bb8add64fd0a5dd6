#include "app/end_box.h"

#include "analysis/decoder.h"
#include "app/session_file.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "playback/compressor.h"
#include "playback/crossfade.h"
#include "playback/transport.h"
#include "ui/control_panel.h"
#include "ui/time_display.h"

EndBox endBox;

namespace {

constexpr double kTimeoutSeconds = 8, kPollMs = 20;
// The key or click that opened the box is over before the box listens.
constexpr double kDeafSeconds = 0.3;

void drawBox() {
    screen::fillBox(800, 20, 970, 190, 40);
    screen::box(800, 20, 970, 190, 22);
    screen::box(801, 21, 969, 189, 0);
    screen::box(802, 22, 968, 188, 0);
    screen::line(802, 105, 968, 105, 0);
    const int fg = screen::fb.foreground;
    screen::textAt(815, 55, "ENDE  Klick hier", fg);
    screen::textAt(815, 135, "SITZUNG SPEICHERN", fg);
    screen::textAt(815, 150, "und ENDE.", fg);
}

// The left button: held now, or pressed and let go between two looks. A right
// click means nothing here.
bool leftPressed(int& x, int& y) {
    const input::Press press = input::takePress();
    const input::Mouse mouse = input::readMouse();
    const input::Mouse& m = (mouse.buttons & 1) ? mouse : press.mouse;
    x = m.x;
    y = m.y;
    return (m.buttons & 1) != 0;
}

// A click into the box while a fade runs waits for the box, whatever loop
// looks at the mouse meanwhile.
void showBox() {
    endBox.shown = true;
    input::state.claim = {true, 800, 20, 970, 190};
    drawBox();
}

void closeBox() {
    endBox.shown = false;
    input::state.claim = {};
    drawControlPanel();
}

void keepMusicAlive() {
    if (!currentChannelOpen()) return;
    drawProgress(0);
    compressorTick();
    superviseTransport();
}

} // namespace

void showEndBoxEarly() {
    if (endBox.shown || decoder.decodeSlot == 1) return;
    showBox();
    input::takePress(); // a click from before the request chose nothing
}

void runEndBox() {
    if (decoder.decodeSlot == 1) {
        if (endBox.shown) closeBox();
        return;
    }
    const bool shownEarly = endBox.shown;
    showBox();
    const double deadline = timing::now() + kTimeoutSeconds;
    if (!shownEarly) {
        timing::sleepMs(10);
        const double deafUntil = timing::now() + kDeafSeconds;
        while (timing::now() < deafUntil)
            timing::sleepMs(5);
        input::takePress();
    }

    int x = 0, y = 0;
    bool left = false;
    while (!left && timing::now() <= deadline) {
        keepMusicAlive();
        left = leftPressed(x, y);
        if (!left) timing::sleepMs(kPollMs);
    }

    if (left && inEndWithoutSaving(x, y)) {
        timing::sleepMs(200);
        throw backend::RunEnd{};
    }
    if (left && inSaveAndEnd(x, y) && writeAutosave()) {
        timing::waitSeconds(0.6);
        timing::sleepMs(300);
        throw backend::RunEnd{};
    }
    closeBox();
}
