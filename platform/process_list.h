#pragma once
// The processes running on the machine, listed from /proc, for the check that
// the program runs only once. Keeps no state.
#include <string>
#include <vector>

namespace process {

struct RunningProcess {
    int pid = 0;
    std::string name; // the program's file name, as the system lists it
};

// Every running process; ended ones that wait to be reaped are left out.
std::vector<RunningProcess> runningProcesses();
int ownPid();

} // namespace process
