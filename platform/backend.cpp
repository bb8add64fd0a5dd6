#include "platform/backend.h"

#include <signal.h>

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

namespace {
volatile sig_atomic_t stopSignal = 0;
extern "C" void onStopSignal(int) {
    stopSignal = 1;
}
} // namespace

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a blocking call returns and the loop looks
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A closed terminal or a quit key ends the day the same orderly way.
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGQUIT, &action, nullptr);
}

bool stopRequested() {
    return stopSignal != 0;
}

void endIfStopRequested() {
    if (stopSignal != 0) throw RunEnd{};
}

} // namespace backend
