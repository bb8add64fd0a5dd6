#include "platform/hooks.h"

#include "platform/backend.h"

namespace hooks {

namespace {
Handlers installed;
}

void install(const Handlers& handlers) {
    installed = handlers;
}

void requestRedraw(Redraw what, int arg) {
    if (installed.redraw) installed.redraw(what, arg);
}

void keepMusicGoing() {
    backend::endIfStopRequested();
    if (installed.keepMusicGoing) installed.keepMusicGoing();
}

void keepDisplaysGoing() {
    backend::endIfStopRequested();
    if (installed.keepDisplaysGoing) installed.keepDisplaysGoing();
}

void requestEnd() {
    if (installed.endSession) installed.endSession();
    // A handler that returned, or none: the run ends all the same.
    throw backend::RunEnd{};
}

} // namespace hooks
