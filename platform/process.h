#pragma once
// Child processes, always started with an argument vector and never through a
// shell, so that no file name can ever run a command.
#include <string>
#include <vector>

namespace process {

// Runs argv[0] (looked up on PATH), waits for it and returns its exit status;
// -1 when it could not be started. Its standard output goes to `output` when
// given, otherwise nowhere; standard input and error are closed to /dev/null.
int run(const std::vector<std::string>& argv, std::string* output = nullptr);

} // namespace process
