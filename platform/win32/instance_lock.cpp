// The single instance on Windows: a named mutex in the user's logon session,
// held for as long as the process lives; the system drops it with the process.
#include <windows.h>

#include "platform/instance_lock.h"

namespace instance {
namespace {
HANDLE lockMutex = nullptr;
}

std::string lockPath() {
    return "Local\\KLANGKELTER";
}

Lock take() {
    release();
    HANDLE h = CreateMutexW(nullptr, FALSE, L"Local\\KLANGKELTER");
    if (!h) return Lock::Taken; // no lock at all must not keep the music from playing
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return Lock::HeldElsewhere;
    }
    lockMutex = h;
    return Lock::Taken;
}

void release() {
    if (lockMutex) CloseHandle(lockMutex);
    lockMutex = nullptr;
}

} // namespace instance
