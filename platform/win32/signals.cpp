// The stop requests on Windows: Ctrl+C and Ctrl+Break, a closed console, a
// log-off or a shutdown set the stop flag, and the program ends the day in
// order.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/backend.h"

namespace backend {
namespace {

std::atomic<bool> stopAsked{false};

BOOL WINAPI onConsoleEvent(DWORD) {
    stopAsked = true;
    // The system ends the process when this returns on close, log-off and
    // shutdown; the main loop gets a moment to save first.
    Sleep(2000);
    return TRUE;
}

} // namespace

void installStopSignals() {
    // A window program has no console of its own: started from one, it
    // joins it, so that Ctrl+C and Ctrl+Break there reach the handler.
    AttachConsole(ATTACH_PARENT_PROCESS);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() {
    return stopAsked;
}

void requestStop() {
    stopAsked = true;
}

bool raiseStopSignal(const std::string& name) {
    // Each of them is a stop from outside; Windows names them otherwise.
    if (name != "TERM" && name != "INT" && name != "HUP" && name != "QUIT") return false;
    stopAsked = true;
    return true;
}

} // namespace backend
