#include "tests/support/scenario.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace scenario {

std::string loadIntoPlaylist(const std::string& firstSong) {
    return "wait 1\ndialog " + firstSong + "\nclick 956 83\nwait 1\nkey ctrl+a\nclick 673 83\n";
}

std::vector<std::string> isolatedEnvironment(const std::string& folder) {
    return {"PATH=" + folder + "/no-tools", "TMPDIR=" + folder, "TMP=" + folder, "TEMP=" + folder};
}

int programsStarted = 0;

Running startRaw(const std::string& folder, const std::string& script,
                 const std::vector<std::string>& extraArgs,
                 const std::vector<std::string>& environment) {
    std::string scriptPath = folder + "/script.txt";
    std::ofstream(scriptPath, std::ios::binary) << script;
    std::string errPath = folder + "/stderr.txt";

    std::vector<std::string> args = {KK_BINARY, "--headless", "--script", scriptPath};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    ++programsStarted;
    // A session file of the run's own: runs side by side never read each
    // other's saves (a test may still name another folder).
    std::vector<std::string> settings = {"XDG_STATE_HOME=" + folder + "/state",
                                         "LOCALAPPDATA=" + hostPath(folder + "/state")};
    settings.insert(settings.end(), environment.begin(), environment.end());
    return {spawnProgram(args, folder, settings, errPath), errPath};
}

Running start(const std::string& folder, const std::string& script,
              const std::vector<std::string>& extraArgs,
              const std::vector<std::string>& environment) {
    return startRaw(folder, kPassStartScreen + script, extraArgs, environment);
}

Result finish(const Running& running) {
    Result r;
    r.exitCode = waitProgram(running.pid);
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
