#pragma once
// What happens when the window's display goes away under the program: it
// saves quietly, says why on stderr and ends with code 3, so that a service
// manager starts it again and its log tells why the music stopped. Each
// system's own (posix/: the X server's connection; win32/: the log-off and
// shutdown messages and a close from outside, which end the day as a stop
// signal does).
struct SDL_Window;

// Arms the guard for the window just opened.
void guardDisplayConnection(SDL_Window* window);
