// The real decoder in a test's program folder, on POSIX systems: a link to
// Debian's lame.
#include <filesystem>
#include <fstream>

#include "tests/support/audio_fixtures.h"

namespace fixtures {

void linkDecoder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_symlink("/usr/bin/lame", folder + "/lame", ec);
}

std::string lameCommand() {
    return "lame";
}

std::string decoderPath() {
    return "/usr/bin/lame";
}

std::string installFakeDecoder(const std::string& folder, const std::string& steps) {
    std::error_code ec;
    std::filesystem::remove(folder + "/lame", ec);
    std::filesystem::create_symlink(KK_FAKE_DECODER, folder + "/lame", ec);
    std::ofstream(folder + "/fake-decoder.txt") << steps;
    return folder + "/lame";
}

} // namespace fixtures
