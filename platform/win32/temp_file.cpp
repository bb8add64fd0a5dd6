// Unique temporary files on Windows: made new (never opened if there) in the
// temporary folder, with six letters of their own.
#include <windows.h>

#include "platform/paths.h"
#include "platform/win32/utf16.h"

std::string makeTempFile(const std::string& prefix, const std::string& suffix) {
    static unsigned counter = 0;
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long v =
            (GetTickCount64() ^ (unsigned long long)GetCurrentProcessId() << 24) +
            ++counter * 2654435761u;
        std::string name = paths.tempFolder + prefix;
        for (int i = 0; i < 6; ++i, v /= 36)
            name += kLetters[v % 36];
        name += suffix;
        HANDLE h = CreateFileW(win32::widen(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return name;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return {};
    }
    return {};
}
