#include "platform/input.h"

namespace input {

State state;

std::string readKey() {
    if (state.keys.empty()) return {};
    std::string key = std::move(state.keys.front());
    state.keys.pop_front();
    return key;
}

Mouse readMouse() {
    return state.mouse;
}

bool keyDown(int scanCode) {
    return scanCode >= 0 && scanCode < int(state.keyDown.size()) && state.keyDown[scanCode];
}

void discardKeys() {
    state.keys.clear();
}

void pushKey(std::string code) {
    // A burst of keys while the program is busy must not pile up without bound.
    if (state.keys.size() < 64) state.keys.push_back(std::move(code));
}

std::string extendedKey(char letter) {
    return std::string{char(255), letter};
}

bool endsSession(const std::string& key) {
    return key == extendedKey(kClose) || key == std::string(1, kCtrlX);
}

} // namespace input
