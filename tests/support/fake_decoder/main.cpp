// A stand-in for the decoder, the same on both systems. What it does comes
// from fake-decoder.txt beside it, one step per line, run in order:
//   calls FILE    appends its arguments to FILE, one per line
//   pid FILE      appends its process id to FILE
//   start FILE    appends "start" to FILE, and "overlap" when a process named
//                 in the pid file before it still runs
//   decode LAME   runs the real decoder on its arguments; its exit code is ours
//   partial       cuts the output to its first half
//   garbage       writes a WAV header and nothing of worth
//   empty         makes the output empty
//   copy FILE     makes the output a copy of FILE
//   child FILE    starts a copy of itself that hangs, appends its id to FILE
//   if TEXT STEP  the step only when an argument holds TEXT
//   exit N | hang | crash
// The output is the last argument, as the program gives it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/processes.h"
#include "tests/support/scenario.h"

namespace {

namespace fs = std::filesystem;

struct Run {
    std::string self;
    std::vector<std::string> args;
    std::string pidFile;
    int exitCode = 0;

    const std::string& output() const { return args.back(); }

    void append(const std::string& file, const std::string& line) {
        std::ofstream(file, std::ios::app) << line << "\n";
    }

    bool earlierOneRuns() {
        std::ifstream in(pidFile);
        for (int id = 0; in >> id;)
            if (id != probe::selfId() && probe::alive(id)) return true;
        return false;
    }

    int spawn(const std::vector<std::string>& command) {
        return scenario::spawnProgram(command, ".", {}, probe::nullDevice());
    }

    // False when the run ends here.
    bool step(const std::string& name, std::istringstream& rest) {
        std::string arg;
        std::getline(rest >> std::ws, arg);
        std::error_code ec;
        if (name == "calls") {
            for (const auto& a : args)
                append(arg, a);
        } else if (name == "pid") {
            pidFile = arg;
            append(arg, std::to_string(probe::selfId()));
        } else if (name == "start") {
            append(arg, "start");
            if (earlierOneRuns()) append(arg, "overlap");
        } else if (name == "decode") {
            std::vector<std::string> command = {arg};
            command.insert(command.end(), args.begin(), args.end());
            exitCode = scenario::waitProgram(spawn(command));
        } else if (name == "partial") {
            fs::resize_file(output(), fs::file_size(output(), ec) / 2, ec);
        } else if (name == "garbage") {
            std::ofstream(output(), std::ios::binary) << "RIFF....WAVEjunk";
        } else if (name == "empty") {
            std::ofstream(output(), std::ios::binary).flush();
        } else if (name == "copy") {
            // Over the buffer the program made (copy_file cannot replace it on Windows).
            std::ifstream in(arg, std::ios::binary);
            std::ofstream(output(), std::ios::binary | std::ios::trunc) << in.rdbuf();
        } else if (name == "child") {
            append(arg, std::to_string(spawn({self, "--hang"})));
        } else if (name == "if") {
            std::istringstream inner(arg);
            std::string text, next;
            inner >> text >> next;
            for (const auto& a : args)
                if (a.find(text) != std::string::npos) return step(next, inner);
        } else if (name == "exit") {
            exitCode = std::atoi(arg.c_str());
            return false;
        } else if (name == "hang") {
            for (;;)
                probe::sleepSeconds(1000);
        } else if (name == "crash") {
            std::abort();
        }
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--hang")
        for (;;)
            probe::sleepSeconds(1000);
    if (argc < 2) return 2;
    Run run;
    run.self = argv[0];
    run.args.assign(argv + 1, argv + argc);
    std::ifstream steps(fs::path(run.self).parent_path() / "fake-decoder.txt");
    for (std::string line; std::getline(steps, line);) {
        std::istringstream words(line);
        std::string name;
        if (!(words >> name)) continue;
        if (!run.step(name, words)) break;
    }
    return run.exitCode;
}
