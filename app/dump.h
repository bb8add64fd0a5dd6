#pragma once
// The program's state as `name=value` lines, for scenario scripts.
#include <string>

std::string dumpState();

// One finished envelope slot as text, `block peak level` per line, in
// DIR/slotK-<song name>.txt.
void writeEnvelopeText(const std::string& dir, int slot);
