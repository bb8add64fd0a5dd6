#include "texts/manual_link.h"

#include <cctype>

#include "platform/files.h"
#include "platform/path_rules.h"

namespace {

constexpr const char* kManualBelowPrefix = "share/doc/klangkelter/manual.html";

// "/usr/bin/" -> "/usr/"; "/" stays "/".
std::string parentFolder(const std::string& folder) {
    if (folder.size() < 2) return folder;
    return pathrules::folderOf(std::string_view(folder).substr(0, folder.size() - 1));
}

} // namespace

std::string manualPath() {
    const std::string folder = files::executableFolder();
    // Installed, the program lies in <prefix>/bin/; the build tree has its
    // own share/ beside the program, and the tests one folder further down.
    const std::string installed = parentFolder(folder) + kManualBelowPrefix;
    const std::string inBuildTree = folder + kManualBelowPrefix;
    // Unpacked from the Windows zip, it lies in Handbuch beside the program.
    const std::string unpacked = folder + "Handbuch" + pathrules::separator() + "manual.html";
    if (!files::exists(installed) && files::exists(unpacked)) return unpacked;
    if (!files::exists(installed) && files::exists(inBuildTree)) return inBuildTree;
    return installed;
}

std::string fileUrl(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string url = "file://";
    // A drive path becomes "/C:/...": URLs separate with '/' on every system.
    std::string p = path;
    for (char& c : p)
        if (pathrules::isSeparator(c)) c = '/';
    if (!p.empty() && p.front() != '/') p.insert(0, "/");
    for (size_t i = 0; i < p.size(); ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        const bool drive = i == 2 && c == ':' && std::isalpha(static_cast<unsigned char>(p[1]));
        const bool plain = drive || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '.' || c == '_' ||
                           c == '~';
        if (plain) {
            url += char(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

std::string manualAddress() {
    return fileUrl(manualPath());
}

std::string shortAddress(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t pathStart = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t last = url.rfind('/');
    if (last == std::string::npos || last <= pathStart) return url;
    const size_t before = url.rfind('/', last - 1);
    if (before == std::string::npos || before <= pathStart) return url;
    return url.substr(0, pathStart) + "..." + url.substr(before);
}
