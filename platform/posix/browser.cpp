// The browser on Linux desktops: xdg-open as a background child, which may
// wait for the browser while the music goes on.
#include "platform/browser.h"

#include "platform/process.h"

void openInBrowser(const std::string& url) {
    process::reap();
    process::startChild({"xdg-open", url});
}
