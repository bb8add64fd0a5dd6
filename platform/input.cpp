#include "platform/input.h"

namespace input {

State state;

std::string readKey() {
    if (state.keys.empty()) return {};
    if (state.keyShift.size() == state.keys.size()) {
        state.lastKeyShift = state.keyShift.front();
        state.keyShift.pop_front();
    } else {
        state.keyShift.clear(); // keys queued by hand: Shift as it is now
        state.lastKeyShift = keyDown(kLeftShift) || keyDown(kRightShift);
    }
    std::string key = std::move(state.keys.front());
    state.keys.pop_front();
    return key;
}

bool lastKeyShifted() {
    return state.lastKeyShift;
}

Mouse readMouse() {
    return state.mouse;
}

bool keyDown(int scanCode) {
    return scanCode >= 0 && scanCode < int(state.keyDown.size()) && state.keyDown[size_t(scanCode)];
}

Press takePress() {
    Press p = state.lastPress;
    state.lastPress = {};
    return p;
}

bool claimed(const Mouse& m) {
    const State::Claim& c = state.claim;
    return c.active && m.x >= c.x1 && m.x <= c.x2 && m.y >= c.y1 && m.y <= c.y2;
}

Press takeUnclaimedPress() {
    return claimed(state.lastPress.mouse) ? Press{} : takePress();
}

void notePress(int buttons) {
    state.lastPress.mouse = state.mouse;
    state.lastPress.mouse.buttons = buttons;
    state.lastPress.ctrl = keyDown(kCtrl);
    state.lastPress.shift = keyDown(kLeftShift) || keyDown(kRightShift);
}

void discardKeys() {
    state.keys.clear();
    state.keyShift.clear();
}

void pushKey(std::string code) {
    // A burst of keys while the program is busy must not pile up without bound.
    if (state.keys.size() >= 64) return;
    if (state.keyShift.size() != state.keys.size()) state.keyShift.assign(state.keys.size(), false);
    state.keys.push_back(std::move(code));
    state.keyShift.push_back(keyDown(kLeftShift) || keyDown(kRightShift));
}

std::string extendedKey(char letter) {
    return std::string{char(255), letter};
}

bool endsSession(const std::string& key) {
    return key == extendedKey(kClose) || key == std::string(1, kCtrlX);
}

} // namespace input
