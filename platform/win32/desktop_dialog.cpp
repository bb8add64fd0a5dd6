// The common file dialogs of Windows, on a thread of their own: the main
// thread steers the music and pumps the window's messages meanwhile, without
// which a dialog owned by the window would wait for ever.
#include <windows.h>
// (after windows.h, which they need)
#include <commdlg.h>
#include <objbase.h>

#include <atomic>
#include <thread>

#include "platform/desktop_dialog.h"
#include "platform/win32/win32_util.h"

namespace dialogs {

std::optional<std::string> desktopFileDialog(const std::string& title, const FileFilter& filter,
                                             const std::string& startFolder, bool save) {
    // "Audio Dateien (*.MP3)\0*.mp3\0\0": the filter ignores case on Windows.
    std::wstring filterText = win32::widen(filter.name);
    filterText += L'\0';
    filterText += L"*" + win32::widen(filter.extension);
    filterText += L'\0';
    filterText += L'\0';
    const std::wstring wideTitle = win32::widen(title), folder = win32::widen(startFolder);
    std::wstring file(32768, L'\0');
    std::atomic<bool> done{false};
    BOOL answered = FALSE;
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFilter = filterText.c_str();
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = DWORD(file.size());
        ofn.lpstrTitle = wideTitle.c_str();
        ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR |
                    (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
        answered = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
        CoUninitialize();
        done = true;
    });
    while (!done)
        whileOpen();
    worker.join();
    if (!answered) return std::string();
    file.resize(wcslen(file.c_str()));
    return win32::narrow(file);
}

} // namespace dialogs
