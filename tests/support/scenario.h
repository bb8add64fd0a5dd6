#pragma once
// Runs the real program headless on a scenario script and reads back what it wrote.
#include <map>
#include <string>
#include <vector>

namespace scenario {

struct Result {
    int exitCode = -1;
    std::string errorOutput;
};

// The start screen is clicked through with empty lists (`kPassStartScreen`)
// before the script of run() and start() begins, at this clock time; the
// pointer is then outside the window again, as at the start.
constexpr double kStartScreenSeconds = 1.0;
constexpr const char* kPassStartScreen = "wait 0.9\nclick 300 260\nmove -1 -1\nwait 0.08\n";

// How many runs of the program this test process has started: the suite's
// repeats leave out the tests that start one (see main.cpp).
extern int programsStarted;

// Writes `script` to folder/script.txt and runs the program on it inside
// `folder` (relative file names in the script land there), past the start
// screen. `environment` holds NAME=value settings for the program only; the
// session file goes to folder/state unless it names another XDG_STATE_HOME.
Result run(const std::string& folder, const std::string& script,
           const std::vector<std::string>& extraArgs = {},
           const std::vector<std::string>& environment = {});
// The script as it is, from the program's first moment: for the start screen
// itself and for runs that skip it (--resume).
Result runRaw(const std::string& folder, const std::string& script,
              const std::vector<std::string>& extraArgs = {},
              const std::vector<std::string>& environment = {});
// The same, in two steps: the program runs meanwhile (to be sent a signal, say).
struct Running {
    int pid = -1;
    std::string errPath;
};
Running start(const std::string& folder, const std::string& script,
              const std::vector<std::string>& extraArgs = {},
              const std::vector<std::string>& environment = {});
Running startRaw(const std::string& folder, const std::string& script,
                 const std::vector<std::string>& extraArgs = {},
                 const std::vector<std::string>& environment = {});
Result finish(const Running& running);
// Each system's own (tests/support/posix/, win32/): starts `args` in `folder`
// with the NAME=value `environment` added and standard error into `errPath`;
// waits for it and answers its exit code (128 + the signal when killed).
int spawnProgram(const std::vector<std::string>& args, const std::string& folder,
                 const std::vector<std::string>& environment, const std::string& errPath);
int waitProgram(int pid);
// A path of the build machine as the system under test names it: itself on
// POSIX, on wine's Z: drive with backslashes on Windows.
std::string hostPath(const std::string& path);
// Script lines that, from 1 s on, import the folder of `firstSong` with
// LOAD MP3s, select everything and send it to the playlist with the arrow.
std::string loadIntoPlaylist(const std::string& firstSong);

// The settings that keep a run away from the machine's tools: no decoder on
// PATH (so no loudness analysis), and the decoder's buffer in `folder`
// (TMPDIR on POSIX systems, TMP and TEMP on Windows).
std::vector<std::string> isolatedEnvironment(const std::string& folder);

// One line of the program's MCI log: the clock in seconds and the command.
struct LogLine {
    double seconds = 0;
    std::string command;
};
std::vector<LogLine> readMciLog(const std::string& path);

// The `name=value` lines of a dump file; empty when the file does not exist.
std::map<std::string, std::string> readDump(const std::string& path);

} // namespace scenario
