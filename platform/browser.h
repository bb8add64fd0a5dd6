#pragma once
// Opens a web address (the manual) in the desktop's browser, in the
// background: the music goes on. Each system's own (posix/: xdg-open;
// win32/: the shell).
#include <string>

void openInBrowser(const std::string& url);
