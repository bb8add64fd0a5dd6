// The real decoder in a test's program folder, on POSIX systems: a link to
// Debian's lame.
#include <filesystem>

#include "tests/support/audio_fixtures.h"

namespace fixtures {

void linkDecoder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_symlink("/usr/bin/lame", folder + "/lame", ec);
}

std::string lameCommand() {
    return "lame";
}

} // namespace fixtures
