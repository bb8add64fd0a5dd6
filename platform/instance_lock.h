#pragma once
// The lock that lets the program run once per user and display: a lock file
// in the user's runtime folder, held for as long as the process lives. Owns
// that file's descriptor.
#include <string>

namespace instance {

enum class Lock { Taken, HeldElsewhere };

// The lock file for this user and display: the runtime folder (or the
// temporary folder, with the user's id in the name) and the display's name,
// so that copies on other displays and of other users do not count.
std::string lockPath();
// Takes the lock without waiting. HeldElsewhere only when another process
// holds it for sure; a lock that cannot be made at all (no folder, no
// rights) must not keep the music from playing, and counts as Taken.
Lock take();
// Lets the lock go (tests; the end of the process does it by itself).
void release();

} // namespace instance
