#pragma once
// The window backend the program runs on: the SDL window, or the headless twin
// with virtual time for tests and scripted sessions. Owns the window and the
// event source; the framebuffer itself belongs to screen.h.
#include <memory>
#include <string>

namespace backend {

class Backend {
  public:
    virtual ~Backend() = default;
    // Size of the primary display's desktop, queried before any window exists.
    virtual void desktopSize(int& width, int& height) = 0;
    // Opens (or reopens at another size) the fixed, non-resizable window.
    virtual void openWindow(int width, int height) = 0;
    virtual void setTitle(const std::string& title) = 0;
    // Takes in pending events: keys, mouse, window close, lost audio device.
    virtual void pump() = 0;
    // Shows the framebuffer if it changed and is not locked.
    virtual void present() = 0;
    virtual double now() = 0;
    virtual void sleepMs(double ms) = 0;
    // Virtual time only: the clock moves on without the program sleeping.
    virtual void spendMs(double) {}
    virtual void shutdown() = 0;
};

void install(std::unique_ptr<Backend> backend);
Backend& current();
bool installed();

// Thrown out of the program's loops when the run is over: the scenario script
// ended, or the user closed the program. Not an error; the process exits 0.
struct RunEnd {};

// SIGTERM and SIGINT (and SIGHUP, SIGQUIT) ask the run to end; every wait of
// the program notices it within milliseconds, whatever state the program is
// in. The system's own (posix/signals.cpp, win32/signals.cpp).
void installStopSignals();
bool stopRequested();
// The stop, asked from inside (the window's log-off message).
void requestStop();
// Sends the program the stop signal of that name ("TERM", "INT", "HUP",
// "QUIT"), as from outside; false for a name this system does not have.
bool raiseStopSignal(const std::string& name);
// Throws RunEnd when a stop was requested.
void endIfStopRequested();

} // namespace backend

namespace backend {
// The real window through SDL2. Exits the program (code 0) if no video driver works.
std::unique_ptr<Backend> makeSdl();
} // namespace backend
