// Windows has no display connection that can break under a program; what it
// has are the ends of a session and the close asked from outside. They are
// sent to the window's procedure, not posted through SDL's queue, so the
// window is subclassed: a log-off or shutdown saves quietly and ends at once
// (the system ends the process when the message returns), and a WM_CLOSE
// that no close command of the window's own came before (taskkill, a
// service manager) ends the day as a stop signal does. The user's close
// (the title bar's button, Alt+F4) comes as SC_CLOSE first and opens the end
// box, as always.
#include <windows.h>
// (the system header first)

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <cstdlib>

#include "platform/backend.h"
#include "platform/display_guard.h"
#include "platform/hooks.h"

namespace {

WNDPROC sdlProcedure = nullptr;
bool userClosing = false;

LRESULT CALLBACK guardedProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_CLOSE) userClosing = true;
        break;
    case WM_CLOSE:
        if (!userClosing) {
            backend::requestStop();
            return 0;
        }
        userClosing = false;
        break;
    case WM_QUERYENDSESSION:
        backend::requestStop();
        return TRUE;
    case WM_ENDSESSION:
        if (w) {
            hooks::saveBeforeEnd();
            std::exit(0);
        }
        return 0;
    default:
        break;
    }
    return CallWindowProcW(sdlProcedure, window, message, w, l);
}

} // namespace

void guardDisplayConnection(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WINDOWS)
        return;
    HWND hwnd = info.info.win.window;
    userClosing = false;
    sdlProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(guardedProcedure)));
}
