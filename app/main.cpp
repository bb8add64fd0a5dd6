// Entry point: picks the backend (the real window, or headless with a script)
// and the audio sink, then runs the program. The exit code is 0 on every path
// of the program itself; 2 only for a command line or script that makes no sense.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "app/dump.h"
#include "app/fault.h"
#include "app/options.h"
#include "app/startup.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/mci.h"
#include "platform/process.h"
#include "platform/random.h"

int main(int argc, char** argv) {
    backend::installStopSignals();
    std::string error;
    auto options = parseOptions(argc, argv, error);
    if (options && (options->help || options->version)) {
        std::fputs(options->help ? kUsage : "klangkelter " KK_VERSION "\n", stdout);
        return 0;
    }
    if (options && !checkOptions(*options, error)) {
        std::fprintf(stderr, "klangkelter: %s\n", error.c_str());
        return 2;
    }
    if (!options) {
        std::fprintf(stderr, "klangkelter: %s\n%s", error.c_str(), kUsage);
        return 2;
    }

    audio::SinkKind sink = audio::SinkKind::Device;
    if (options->headless) {
        std::ifstream in(options->scriptPath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "klangkelter: cannot read script %s\n",
                         options->scriptPath.c_str());
            return 2;
        }
        std::stringstream text;
        text << in.rdbuf();
        auto script = headless::parseScript(text.str(), error);
        if (!script) {
            std::fprintf(stderr, "klangkelter: %s\n", error.c_str());
            return 2;
        }
        headless::Options ho{options->scriptPath, options->desktopWidth, options->desktopHeight};
        backend::install(headless::make(ho, std::move(*script)));
        headless::setDumpProvider(dumpState);
        headless::setRaiseHandler([](int number) { throw Fault(number); });
        sink = options->renderPath.empty() ? audio::SinkKind::Null : audio::SinkKind::WavFile;
        rng::seed(options->seedGiven ? options->seed : rng::kHeadlessSeed);
        if (options->processWaitSeconds >= 0)
            process::setStartWaitSeconds(options->processWaitSeconds);
    } else {
        backend::install(backend::makeSdl());
        rng::seed(options->seedGiven ? options->seed : uint64_t(std::time(nullptr)));
    }

    if (!options->mciLogPath.empty() && !mci::openLog(options->mciLogPath))
        std::fprintf(stderr, "klangkelter: cannot write %s\n", options->mciLogPath.c_str());
    // Whatever ends the process (even a library calling exit()), the audio
    // threads stop and a rendered WAV file gets its final sizes.
    std::atexit([] { audio::shutdown(); });
    // The same for a running decoder and its buffer file (the X server gone, say).
    std::atexit([] { endDecoding(); });
    if (!audio::start(sink, options->renderPath))
        std::fprintf(stderr, "klangkelter: cannot write %s\n", options->renderPath.c_str());

    if (!options->envelopeOutDir.empty())
        setEnvelopeFinishedHook(
            [dir = options->envelopeOutDir](int slot) { writeEnvelopeText(dir, slot); });

    int code = runProgram(*options);

    audio::shutdown();
    mci::closeLog();
    backend::current().shutdown();
    backend::install(nullptr);
    return code;
}
