#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/files.h"

namespace instance {

namespace {
int lockFd = -1;

// ":0", ":0.0" and "unix:0" are one display; the screen number is not part
// of it. Characters a file name cannot hold become '_'.
std::string displayKey() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string d = x && *x ? x : wayland && *wayland ? std::string("wayland-") + wayland : "none";
    if (d.rfind("unix:", 0) == 0) d.erase(0, 4);
    const size_t colon = d.rfind(':');
    const size_t dot = d.find('.', colon == std::string::npos ? 0 : colon);
    if (colon != std::string::npos && dot != std::string::npos) d.erase(dot);
    for (char& c : d)
        if (c == '/' || c == ':' || c == ' ') c = '_';
    return d;
}
} // namespace

std::string lockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        std::string folder = runtime;
        if (folder.back() != '/') folder += '/';
        return folder + "klangkelter-" + displayKey() + ".lock";
    }
    return files::tempFolder() + "klangkelter-" + std::to_string(getuid()) + "-" + displayKey() +
           ".lock";
}

Lock take() {
    release();
    // No O_CREAT through a link, and close-on-exec: a decoder must not
    // inherit the lock and hold it after we are gone.
    const int fd =
        ::open(lockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) return Lock::Taken;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Lock::HeldElsewhere : Lock::Taken;
    }
    lockFd = fd;
    return Lock::Taken;
}

void release() {
    if (lockFd >= 0) ::close(lockFd);
    lockFd = -1;
}

} // namespace instance
