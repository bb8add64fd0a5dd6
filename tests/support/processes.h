#pragma once
// Other processes as the tests see them, each system's own
// (tests/support/posix/, win32/processes.cpp): used by the tests and by the
// stand-in decoder.
#include <string>

namespace probe {

int selfId();
// False for a process that has ended, including one not yet reaped.
bool alive(int id);
// Ends it at once, without its say.
void end(int id);
void sleepSeconds(double seconds);
// Where output goes to be thrown away.
const char* nullDevice();

} // namespace probe
