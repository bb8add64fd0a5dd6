// Windows has no display connection that can break under a program.
#include "platform/display_guard.h"

void guardDisplayConnection(const char*) {}
