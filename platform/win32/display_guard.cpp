// Windows has no display connection that can break under a program; what
// it has is the log-off and the shutdown, sent to the window as messages.
#include <windows.h>

#include <SDL2/SDL.h>

#include "platform/backend.h"
#include "platform/display_guard.h"

namespace {

void SDLCALL onMessage(void*, void*, unsigned int message, Uint64, Sint64) {
    if (message == WM_QUERYENDSESSION || message == WM_ENDSESSION) backend::requestStop();
}

} // namespace

void guardDisplayConnection(const char*) {
    SDL_SetWindowsMessageHook(onMessage, nullptr);
}
