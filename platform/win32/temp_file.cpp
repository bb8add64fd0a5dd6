// Unique temporary files on Windows: made new (never opened if there) in the
// temporary folder, with six letters of their own.
#include <windows.h>

#include "platform/paths.h"
#include "platform/win32/win32_util.h"

std::string makeTempFile(const std::string& prefix, const std::string& suffix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = paths.tempFolder + prefix + win32::sixLetters() + suffix;
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
