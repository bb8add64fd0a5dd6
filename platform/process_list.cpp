#include "platform/process_list.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>

namespace process {

namespace {

// The kernel cuts a process's name to this many characters.
constexpr size_t kCommLength = 15;

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

bool isZombie(const std::string& procDir) {
    // The state follows the name in parentheses, which may itself hold blanks and ')'.
    const std::string stat = readFirstLine(procDir + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

// A cut name is completed from the file name the program was started by.
std::string nameOf(const std::string& procDir) {
    std::string name = readFirstLine(procDir + "/comm");
    if (name.size() < kCommLength) return name;
    std::ifstream in(procDir + "/cmdline", std::ios::binary);
    std::string argv0;
    std::getline(in, argv0, '\0');
    const std::string base = argv0.substr(argv0.rfind('/') + 1);
    return base.rfind(name, 0) == 0 ? base : name;
}

} // namespace

std::vector<RunningProcess> runningProcesses() {
    std::vector<RunningProcess> list;
    DIR* proc = opendir("/proc");
    if (!proc) return list;
    while (dirent* entry = readdir(proc)) {
        const std::string id = entry->d_name;
        if (id.empty() || !std::all_of(id.begin(), id.end(),
                                       [](unsigned char c) { return std::isdigit(c) != 0; }))
            continue;
        const std::string dir = "/proc/" + id;
        // A process that ended while we looked has no name left.
        std::string name = nameOf(dir);
        if (name.empty() || isZombie(dir)) continue;
        list.push_back({std::stoi(id), std::move(name)});
    }
    closedir(proc);
    return list;
}

int ownPid() {
    return int(getpid());
}

} // namespace process
