// The stop signals on POSIX systems: a shutdown, a closed terminal, Ctrl+C or
// a quit key set the stop flag, and the program ends the day in order.
#include <signal.h>

#include <string>

#include "platform/backend.h"

namespace backend {

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

void requestStop() {
    stopSignal = 1;
}

bool raiseStopSignal(const std::string& name) {
    static const std::pair<const char*, int> kNames[] = {
        {"TERM", SIGTERM}, {"INT", SIGINT}, {"HUP", SIGHUP}, {"QUIT", SIGQUIT}};
    for (const auto& [known, number] : kNames)
        if (name == known) return raise(number) == 0;
    return false;
}

} // namespace backend
