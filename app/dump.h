#pragma once
// The program's state as `name=value` lines, for scenario scripts.
#include <string>

std::string dumpState();
