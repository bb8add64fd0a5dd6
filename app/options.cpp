#include "app/options.h"

#include <cstdio>
#include <cstdlib>

const char* const kUsage =
    "usage: klangkelter [--program-dir DIR] [--mci-log FILE]\n"
    "       klangkelter --headless --script FILE [--program-dir DIR] [--render OUT.wav]\n"
    "                   [--mci-log FILE] [--desktop WxH] [--envelope-out DIR] [--seed N]\n"
    "                   [--process-wait SECONDS]\n";

std::optional<Options> parseOptions(int argc, char** argv, std::string& error) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (a == "--headless") {
            o.headless = true;
        } else if (a == "--script") {
            if (!value(o.scriptPath)) return std::nullopt;
        } else if (a == "--program-dir") {
            if (!value(o.programDir)) return std::nullopt;
        } else if (a == "--render") {
            if (!value(o.renderPath)) return std::nullopt;
        } else if (a == "--envelope-out") {
            if (!value(o.envelopeOutDir)) return std::nullopt;
        } else if (a == "--mci-log") {
            if (!value(o.mciLogPath)) return std::nullopt;
        } else if (a == "--seed") {
            std::string text;
            if (!value(text)) return std::nullopt;
            char* end = nullptr;
            o.seed = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || text[0] == '-') {
                error = "--seed expects a whole number";
                return std::nullopt;
            }
            o.seedGiven = true;
        } else if (a == "--process-wait") {
            std::string text;
            if (!value(text)) return std::nullopt;
            char* end = nullptr;
            o.processWaitSeconds = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !(o.processWaitSeconds >= 0)) {
                error = "--process-wait expects seconds";
                return std::nullopt;
            }
        } else if (a == "--desktop") {
            std::string size;
            if (!value(size)) return std::nullopt;
            if (std::sscanf(size.c_str(), "%dx%d", &o.desktopWidth, &o.desktopHeight) != 2) {
                error = "--desktop expects WIDTHxHEIGHT";
                return std::nullopt;
            }
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (o.headless && o.scriptPath.empty()) {
        error = "--headless needs --script FILE";
        return std::nullopt;
    }
    if (!o.headless && (!o.scriptPath.empty() || !o.renderPath.empty())) {
        error = "--script and --render need --headless";
        return std::nullopt;
    }
    return o;
}
