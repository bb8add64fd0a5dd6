#pragma once
// The desktop's own file dialog, where the system has one; the drawn path
// prompt (dialogs.cpp) stands in when it has none. Each system's own
// (posix/: zenity or kdialog; win32/: the common dialogs).
#include <optional>
#include <string>

#include "platform/dialogs.h"

namespace dialogs {

// No dialog could be shown: nullopt. Otherwise what it answered, "" when cancelled.
std::optional<std::string> desktopFileDialog(const std::string& title, const FileFilter& filter,
                                             const std::string& startFolder, bool save);
// Steers the music and keeps the window up while a dialog is open.
void whileOpen();

} // namespace dialogs
