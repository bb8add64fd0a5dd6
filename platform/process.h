#pragma once
// Child processes, always started with an argument vector and never through a
// shell, so that no file name can ever run a command. Owns the list of
// background children and the start wait.
#include <functional>
#include <string>
#include <vector>

namespace process {

// Runs argv[0] (looked up on PATH), waits for it and returns its exit status;
// -1 when it could not be started. Its standard output goes to `output` when
// given, otherwise nowhere; standard input and error are closed to /dev/null.
// While it runs, `whileRunning` is called every few milliseconds; whatever it
// throws ends the child before it passes on.
int run(const std::vector<std::string>& argv, std::string* output = nullptr,
        const std::function<void()>& whileRunning = {});
// Ends every background child still running (at the session's end).
void endAll();

// Starts argv[0] (a path, or a name looked up on PATH) in the background with
// all standard streams on /dev/null, and returns its process id (0 when it
// could not be started), for a caller that follows the child itself. In
// virtual time it waits for the child to end first, up to the start wait of
// real time, so that its result is there when the program polls for it.
int startChild(const std::vector<std::string>& argv);
constexpr double kStartWaitSeconds = 20.0;
// A scripted run that expects a child to hang need not wait the full 20 s.
void setStartWaitSeconds(double seconds);

enum class ChildState { Running, Succeeded, Failed };
// Whether the child runs, or how it ended: Succeeded only for exit status 0.
// An ended child is reaped here; asking again afterwards answers Failed.
ChildState childState(int pid);
// Ends a child that is still running and reaps it.
void endChild(int pid);

// Collects the exit of finished background children without waiting.
void reap();
// Background children started and not yet reaped.
int runningChildren();

} // namespace process
