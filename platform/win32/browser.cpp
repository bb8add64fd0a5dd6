// The browser on Windows: the shell opens the address with what it is set to.
#include <windows.h>
// (after windows.h, which they need)
#include <shellapi.h>

#include "platform/browser.h"
#include "platform/win32/win32_util.h"

void openInBrowser(const std::string& url) {
    ShellExecuteW(nullptr, L"open", win32::widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
