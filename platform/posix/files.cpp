// The file services on POSIX systems.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace files {

std::string executableFolder() {
    std::vector<char> buf(4096);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    std::string path(buf.data(), size_t(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string tempFolder() {
    const char* t = std::getenv("TMPDIR");
    std::string folder = (t && *t) ? t : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string stateFolder() {
    std::string state;
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && xdg[0] == '/') {
        state = xdg;
    } else {
        const char* home = std::getenv("HOME");
        state = std::string(home && home[0] == '/' ? home : "/tmp") + "/.local/state";
    }
    // Created step by step: a fresh account may not have ~/.local yet.
    std::string folder;
    for (size_t at = 0; at != std::string::npos;) {
        const size_t next = state.find('/', at + 1);
        folder = state.substr(0, next);
        mkdir(folder.c_str(), 0755);
        at = next;
    }
    folder += "/klangkelter/";
    mkdir(folder.c_str(), 0755);
    return folder;
}

bool isExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string findTool(const std::string& folder, const std::string& name) {
    if (!folder.empty() && isExecutableFile(folder + name)) return folder + name;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        std::string candidate = dir + (dir.back() == '/' ? "" : "/") + name;
        if (isExecutableFile(candidate)) return candidate;
    }
    return {};
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string resolveCase(const std::string& path) {
    if (path.empty() || exists(path)) return path;
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = opendir(folder.c_str());
    if (!d) return path;
    std::string found;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = (slash == std::string::npos ? std::string() : folder) + e->d_name;
            break;
        }
    }
    closedir(d);
    return found.empty() ? path : found;
}

} // namespace files

namespace files {

std::vector<std::string> listMp3Candidates(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (!mentionsMp3(name)) continue;
        // Links followed: LOAD 1xMP3 opens a link to a song, so the folder
        // import takes it too.
        struct stat st;
        std::string path = (folder.empty() ? std::string() : folder) + name;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(std::move(name));
    }
    closedir(d);
    sortByName(names);
    return names;
}

namespace {
const char kSavePrefix[] = ".klangkelter-save-";

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}
} // namespace

void removeStaleSaveFiles(const std::string& path) {
    const std::string folder = folderOf(path);
    DIR* d = opendir(folder.c_str());
    if (!d) return;
    const size_t prefix = sizeof kSavePrefix - 1;
    while (dirent* e = readdir(d)) {
        // Only names mkstemp could have made from our pattern.
        const std::string name = e->d_name;
        if (name.size() != prefix + 6 || name.compare(0, prefix, kSavePrefix) != 0) continue;
        struct stat st;
        const std::string stale = folder + name;
        if (lstat(stale.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(stale.c_str());
    }
    closedir(d);
}

bool writeFileAtomically(const std::string& path, const std::string& contents) {
    const std::string folder = folderOf(path);
    std::string temp = folder + kSavePrefix + "XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    saveStep(0);
    bool ok = true;
    for (size_t done = 0; ok && done < contents.size();) {
        const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    saveStep(1);
    // Readable like any file the user saves, not only by its owner.
    ok = ok && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    saveStep(2);
    ok = close(fd) == 0 && ok;
    saveStep(3);
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    // Saves killed earlier (a crash, a power cut) left theirs behind.
    if (ok) removeStaleSaveFiles(path);
    return ok;
}

bool readLines(const std::string& path, std::vector<std::string>& lines, size_t maxBytes) {
    lines.clear();
    // Non-blocking open and a regular file only: a FIFO or a device named as
    // a list would otherwise block the read, and the player with it, for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && size_t(st.st_size) <= maxBytes;
    std::string text;
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(buffer, size_t(n));
        ok = text.size() <= maxBytes;
    }
    ::close(fd);
    if (!ok) return false;
    lines = splitLines(text);
    return true;
}

} // namespace files
