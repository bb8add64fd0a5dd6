// The X server's connection: Xlib ends the process when it breaks, so the
// handler has its last word first.
#include <SDL2/SDL.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/display_guard.h"
#include "platform/hooks.h"

namespace {
constexpr int kExitDisplayLost = 3;
}

void guardDisplayConnection(SDL_Window*) {
    const char* videoDriver = SDL_GetCurrentVideoDriver();
    if (!videoDriver || std::string(videoDriver) != "x11") return;
    XSetIOErrorHandler([](Display*) -> int {
        hooks::saveBeforeEnd();
        std::fprintf(stderr, "klangkelter: the connection to the X server was lost; "
                             "the program ends\n");
        std::exit(kExitDisplayLost);
    });
}
