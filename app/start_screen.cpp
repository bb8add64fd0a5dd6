#include "app/start_screen.h"

#include <string>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/screen.h"

namespace {

constexpr double kKeyWatchSeconds = 0.5, kKeyWatchStepMs = 60;
constexpr double kCountdownSeconds = 30, kCountdownStepMs = 30;
constexpr int kBoxColour = 102, kGreyText = 8, kNoteColour = 25;

void endOnRequest(const std::string& key) {
    if (input::endsSession(key)) throw backend::RunEnd{};
}

void text(int x, int y, const char* utf8, int colour) {
    screen::textAt(x, y, screen::cp437(utf8), colour);
}

void printAt(int row, int column, const char* utf8) {
    screen::locate(row, column);
    screen::print(screen::cp437(utf8));
}

void drawTitle() {
    screen::fillBox(30, 12, 600, 37, 99);
    screen::box(30, 12, 600, 37, 0);
    screen::box(31, 13, 599, 36, 24);
    text(50, 21, "KLANGKELTER", screen::fb.foreground);
}

void drawDescription() {
    const int fg = screen::fb.foreground;
    text(50, 50, "MP3-Player   mit Lautstärkeregelung und smarten Übergängen.", fg);
    text(50, 70, "- Automatische Lautstärke mittels KOMPRESSOR (*)", fg);
    text(50, 85, "- Smarte Übergänge anhand von Lautstärke (*)", fg);
    text(50, 100, "- STAPEL importiert und verwaltet MP3s.", fg);
    text(50, 115, "- Acht GONG-Player für Jingles und Durchsagen,", fg);
    text(50, 130, "  mit DUCKING: die GONGs dämpfen die Lautstärke der Spielliste.", fg);
    text(50, 180, "(*) Für einige Funktionen ist das Programm LAME.EXE nötig.", fg);
    text(50, 470, "Markenrechtliche Hinweise:", kNoteColour);
    text(50, 480, "Windows(R) ist ein eingetrages Markenzeichen", kNoteColour);
    text(50, 490, "der Microsoft Corporation in den Vereinigten Staaten", kNoteColour);
    text(50, 500, "von Amerika und/oder anderen Ländern.", kNoteColour);
}

void printDisclaimer(int row) {
    screen::setColors(kGreyText, kBoxColour);
    printAt(row, 8, "Benutzung auf eigene Gefahr; keine Haftung für Schäden,");
    printAt(row + 1, 8, "Datenverlust oder Aussetzer der Musik.");
}

// Keys typed while the screen builds up are dropped, except the end of the run.
void watchKeys() {
    screen::setColors(0, kBoxColour);
    const double until = timing::now() + kKeyWatchSeconds;
    while (timing::now() < until) {
        screen::locate(32, 8);
        endOnRequest(input::readKey());
        timing::sleepMs(kKeyWatchStepMs);
    }
}

void drawRestoreBox() {
    screen::fillBox(30, 320, 600, 400, kBoxColour);
    screen::box(30, 321, 600, 399, 0);
    screen::box(31, 320, 601, 400, 24);
    screen::setColors(0, kBoxColour);
    printAt(43, 8, "STARTE VORHERIGE SITZUNG  wie zuletzt gespeichert.");
    printDisclaimer(47);
}

void emptyKeyBuffer() {
    while (!input::readKey().empty())
        timing::sleepMs(5);
}

// The left button as the countdown sees it: held now, or pressed and let go
// between two looks.
bool leftPressed(int& x, int& y) {
    const input::Press press = input::takePress();
    const input::Mouse mouse = input::readMouse();
    if (mouse.buttons & 1) {
        x = mouse.x;
        y = mouse.y;
        return true;
    }
    x = press.mouse.x;
    y = press.mouse.y;
    return (press.mouse.buttons & 1) != 0;
}

// The main loop must not take the choosing click for a click of its own.
void waitForRelease() {
    while (input::readMouse().buttons & 1)
        timing::sleepMs(10);
}

bool countDown(bool sessionSaved) {
    const double deadline = timing::now() + kCountdownSeconds;
    screen::setColors(0, kBoxColour);
    for (;;) {
        screen::locate(31, 50);
        const std::string key = input::readKey();
        endOnRequest(key);
        screen::print(screen::pictureText("##", deadline - timing::now() + 1));
        int x = 0, y = 0;
        const bool left = leftPressed(x, y);
        if (left && sessionSaved && inRestoreArea(x, y)) {
            waitForRelease();
            return true;
        }
        if (left) waitForRelease();
        if (left || !key.empty() || timing::now() > deadline) return false;
        timing::sleepMs(kCountdownStepMs);
    }
}

} // namespace

bool showStartScreen(bool sessionSaved) {
    screen::setColors(0, 101);
    screen::clear();
    drawTitle();
    drawDescription();
    screen::fillBox(30, 220, 600, 300, kBoxColour);
    screen::box(30, 220, 600, 300, 0);
    screen::box(31, 221, 599, 299, 24);

    watchKeys();
    screen::setColors(0, kBoxColour);
    printAt(31, 8, "Starte normal, mit leeren Listen.");
    printDisclaimer(35);
    if (sessionSaved) drawRestoreBox();
    emptyKeyBuffer();
    input::takePress(); // a click while the screen built up chose nothing

    const bool restore = countDown(sessionSaved);
    screen::setColors(0, 15);
    return restore;
}
