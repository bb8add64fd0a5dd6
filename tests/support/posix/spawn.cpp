// Starting the program under test on POSIX systems: fork and exec, standard
// error into a file, the others on /dev/null.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/scenario.h"

namespace scenario {

int spawnProgram(const std::vector<std::string>& args, const std::string& folder,
                 const std::vector<std::string>& environment, const std::string& errPath) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 2);
            close(fd);
        }
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
        }
        for (const auto& setting : environment) {
            size_t eq = setting.find('=');
            setenv(setting.substr(0, eq).c_str(), setting.substr(eq + 1).c_str(), 1);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return int(pid);
}

std::string hostPath(const std::string& path) {
    return path;
}

int waitProgram(int pid) {
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return -1;
}

} // namespace scenario
