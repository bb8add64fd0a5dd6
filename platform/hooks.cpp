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

void saveBeforeEnd() {
    if (installed.saveBeforeEnd) installed.saveBeforeEnd();
}

Pointer pointer() {
    return installed.pointer ? installed.pointer() : Pointer{};
}

std::string nextKey() {
    return installed.nextKey ? installed.nextKey() : std::string();
}

void dropKeys() {
    if (installed.dropKeys) installed.dropKeys();
}

void gongClicks() {
    if (installed.gongClicks) installed.gongClicks();
}

void requestEnd() {
    if (!installed.endSession) throw backend::RunEnd{};
    installed.endSession();
}

} // namespace hooks
