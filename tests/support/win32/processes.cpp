// Processes on Windows, by id: a handle tells whether it has ended, even
// while another holder keeps its object.
#include <windows.h>
// (the system header first)

#include "tests/support/processes.h"

namespace probe {

int selfId() {
    return int(GetCurrentProcessId());
}

bool alive(int id) {
    if (id <= 0) return false;
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(id));
    if (!h) return false;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

void end(int id) {
    if (id <= 0) return;
    if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, DWORD(id))) {
        TerminateProcess(h, 1);
        WaitForSingleObject(h, 2000);
        CloseHandle(h);
    }
}

void sleepSeconds(double seconds) {
    Sleep(DWORD(seconds * 1000));
}

const char* nullDevice() {
    return "NUL";
}

} // namespace probe
