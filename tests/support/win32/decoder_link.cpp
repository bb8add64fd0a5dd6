// The real decoder in a test's program folder, on Windows: a copy of the
// lame.exe built beside the program.
#include <filesystem>
#include <fstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/scenario.h"

namespace fixtures {

void linkDecoder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::copy_file(scenario::hostPath(KK_LAME_EXE), folder + "/lame.exe",
                               std::filesystem::copy_options::overwrite_existing, ec);
}

std::string lameCommand() {
    return scenario::hostPath(KK_LAME_EXE);
}

std::string decoderPath() {
    return scenario::hostPath(KK_LAME_EXE);
}

std::string installFakeDecoder(const std::string& folder, const std::string& steps) {
    std::error_code ec;
    std::filesystem::copy_file(scenario::hostPath(KK_FAKE_DECODER), folder + "/lame.exe",
                               std::filesystem::copy_options::overwrite_existing, ec);
    std::ofstream(folder + "/fake-decoder.txt") << steps;
    return folder + "/lame.exe";
}

} // namespace fixtures
