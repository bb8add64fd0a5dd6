#include "tests/support/scenario.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace scenario {

std::string loadIntoPlaylist(const std::string& firstSong) {
    return "wait 1\ndialog " + firstSong + "\nclick 956 83\nwait 1\nkey ctrl+a\nclick 673 83\n";
}

std::vector<std::string> isolatedEnvironment(const std::string& folder) {
    return {"PATH=" + folder + "/no-tools", "TMPDIR=" + folder};
}

int programsStarted = 0;

Running startRaw(const std::string& folder, const std::string& script,
                 const std::vector<std::string>& extraArgs,
                 const std::vector<std::string>& environment) {
    ++programsStarted;
    std::string scriptPath = folder + "/script.txt";
    std::ofstream(scriptPath, std::ios::binary) << script;
    std::string errPath = folder + "/stderr.txt";

    std::vector<std::string> args = {KK_BINARY, "--headless", "--script", scriptPath};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args)
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
        // A session file of the run's own: runs side by side never read
        // each other's saves (a test may still name another folder).
        setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
        for (const auto& setting : environment) {
            size_t eq = setting.find('=');
            setenv(setting.substr(0, eq).c_str(), setting.substr(eq + 1).c_str(), 1);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return {pid, errPath};
}

Running start(const std::string& folder, const std::string& script,
              const std::vector<std::string>& extraArgs,
              const std::vector<std::string>& environment) {
    return startRaw(folder, kPassStartScreen + script, extraArgs, environment);
}

Result finish(const Running& running) {
    Result r;
    int status = 0;
    if (running.pid > 0 && waitpid(running.pid, &status, 0) == running.pid)
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream err(running.errPath);
    std::stringstream text;
    text << err.rdbuf();
    r.errorOutput = text.str();
    return r;
}

Result run(const std::string& folder, const std::string& script,
           const std::vector<std::string>& extraArgs, const std::vector<std::string>& environment) {
    return finish(start(folder, script, extraArgs, environment));
}

Result runRaw(const std::string& folder, const std::string& script,
              const std::vector<std::string>& extraArgs,
              const std::vector<std::string>& environment) {
    return finish(startRaw(folder, script, extraArgs, environment));
}

std::map<std::string, std::string> readDump(const std::string& path) {
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::vector<LogLine> readMciLog(const std::string& path) {
    std::vector<LogLine> lines;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        size_t blank = text.find(' ');
        if (blank == std::string::npos) continue;
        lines.push_back({std::stod(text.substr(0, blank)), text.substr(blank + 1)});
    }
    return lines;
}

} // namespace scenario
