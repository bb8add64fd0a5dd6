#include "platform/backend.h"

#include "platform/clock.h"

namespace backend {

// Deliberately never destroyed by exit(): Xlib calls exit() when the X server
// goes away, and tearing the window down then would wait forever on it.
static Backend* active = nullptr;

void install(std::unique_ptr<Backend> b) {
    delete active;
    active = b.release();
    if (active)
        timing::install({[] { return active->now(); }, [](double ms) { active->sleepMs(ms); },
                         [](double ms) { active->spendMs(ms); }});
    else
        timing::install({});
}

Backend& current() {
    return *active;
}
bool installed() {
    return active != nullptr;
}

void endIfStopRequested() {
    if (stopRequested()) throw RunEnd{};
}

} // namespace backend
