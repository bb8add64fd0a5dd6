#pragma once
// Input as the program polls it: the key buffer, the mouse and the key-down
// table by scan code. Backends write `input::state` whenever the program
// sleeps (every loop pass and every waiting loop sleeps); the program reads it
// only through these functions.
#include <array>
#include <deque>
#include <string>

namespace input {

// Scan codes the program asks about.
constexpr int kCtrl = 29, kLeftShift = 42, kRightShift = 54, kAlt = 56;
// Second character of an extended key (the first is 255).
constexpr char kUp = 'H', kDown = 'P', kLeft = 'K', kRight = 'M', kDel = 'S', kCtrlRight = 't',
               kCtrlLeft = 's', kClose = 'k';

// Ctrl+letter arrives as the control character (letter - 64); Esc as 27.
constexpr char ctrlKey(char upperLetter) {
    return char(upperLetter - 64);
}
constexpr char kCtrlA = ctrlKey('A'), kCtrlC = ctrlKey('C'), kCtrlN = ctrlKey('N'),
               kCtrlP = ctrlKey('P'), kCtrlS = ctrlKey('S'), kCtrlU = ctrlKey('U'),
               kCtrlX = ctrlKey('X'), kEsc = 27;

struct Mouse {
    int x = -1, y = -1; // both negative while the pointer is outside the window
    int wheel = 0;      // grows when the wheel turns away from the user
    int buttons = 0;    // 1 left, 2 right, 4 middle
};

// A button press as it happened, with the modifiers held then.
struct Press {
    Mouse mouse; // buttons 0: no press
    bool ctrl = false, shift = false;
};

struct State {
    std::deque<std::string> keys; // each: one character, or 255 and a letter
    // Shift as it was when each key was pressed, in step with `keys`.
    std::deque<bool> keyShift;
    bool lastKeyShift = false; // of the key readKey returned last
    Mouse mouse;
    std::array<bool, 128> keyDown{};
    Press lastPress; // the last press nobody has taken yet
    // A box open over the window (the end box) owns the presses inside it;
    // set and cleared by its owner.
    struct Claim {
        bool active = false;
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    } claim;
};

extern State state;

// One key: empty when none is waiting.
std::string readKey();
// Whether Shift was held when the key readKey returned last was pressed: a
// quick Ctrl+Shift+S is that, even if Shift is up by the time it is handled.
bool lastKeyShifted();
Mouse readMouse();
bool keyDown(int scanCode);
// The last press since the previous call, so that a loop looking at the mouse
// only now and then still sees a short click; buttons 0 when there was none.
Press takePress();
// Whether a box owns the point, so that the music's own loops, which also
// look at clicks, must leave it alone.
bool claimed(const Mouse& m);
// takePress, but a press that a box owns stays for the box.
Press takeUnclaimedPress();
void discardKeys();

// Backend side.
void pushKey(std::string code);
// A button went down at the pointer's position.
void notePress(int buttons);
std::string extendedKey(char letter);
// The window's close button or Ctrl+X: the user asks to end the session.
bool endsSession(const std::string& key);

} // namespace input
