// Processes on POSIX systems: /proc tells a zombie from a living process.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/support/processes.h"

namespace probe {

int selfId() {
    return int(getpid());
}

bool alive(int id) {
    if (id <= 0) return false;
    std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
    std::string pidField, name, state;
    if (stat >> pidField >> name >> state) return state != "Z";
    return ::kill(pid_t(id), 0) == 0;
}

void end(int id) {
    if (id > 0) ::kill(pid_t(id), SIGKILL);
}

void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

const char* nullDevice() {
    return "/dev/null";
}

} // namespace probe
