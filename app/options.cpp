#include "app/options.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

const char* const kUsage =
    "usage: klangkelter [--program-dir DIR] [--mci-log FILE] [--resume] [--endless]\n"
    "                  [--match]\n"
    "       klangkelter --headless --script FILE [--program-dir DIR] [--render OUT.wav]\n"
    "                   [--mci-log FILE] [--desktop WxH] [--envelope-out DIR] [--seed N]\n"
    "                   [--process-wait SECONDS] [--resume]\n"
    "       klangkelter --help | --version\n"
    "  --resume  skips the start screen, restores the saved session and plays on\n"
    "  --endless ENDLOS: with AUTO PLAY the playlist starts over behind its last song\n"
    "  --match  ANGLEICHEN: songs lifted or lowered to one loudness, endings heard out\n"
    "  --program-dir DIR  looks for lame and the session file in DIR\n"
    "  --mci-log FILE  writes every playback command, with the time, to FILE\n"
    "  --seed N  seeds the random generator (shuffles, the varied long pauses)\n"
    "  --headless  runs without a window, in virtual time, driven by a script\n"
    "  --script FILE  the script of a headless run (clicks, keys, waits, screenshots)\n"
    "  --render OUT.wav  headless: writes what plays to a WAV file\n"
    "  --desktop WxH  headless: the desktop size the program sees\n"
    "  --envelope-out DIR  writes each finished loudness envelope to DIR\n"
    "  --process-wait SECONDS  headless: real seconds a started decoder is waited for\n"
    "  --help  prints this text\n"
    "  --version  prints the version\n";

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
        if (a == "--help" || a == "--version") {
            // Asked what the program is: nothing else on the line matters.
            (a == "--help" ? o.help : o.version) = true;
            return o;
        }
        if (a == "--headless") {
            o.headless = true;
        } else if (a == "--resume") {
            o.resume = true;
        } else if (a == "--endless") {
            o.endless = true;
        } else if (a == "--match") {
            o.match = true;
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
            int used = 0;
            if (std::sscanf(size.c_str(), "%dx%d%n", &o.desktopWidth, &o.desktopHeight, &used) !=
                    2 ||
                size_t(used) != size.size() || o.desktopWidth < 0 || o.desktopHeight < 0) {
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

namespace {

bool isFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

// Opens for appending, as the program will write it: a file that can be
// created or written. An existing file keeps its contents until then.
bool writable(const std::string& path) {
    if (isFolder(path)) return false;
    FILE* f = std::fopen(path.c_str(), "a");
    if (!f) return false;
    std::fclose(f);
    return true;
}

} // namespace

bool checkOptions(Options& o, std::string& error) {
    if (!o.scriptPath.empty() && isFolder(o.scriptPath)) {
        error = "--script names a folder: " + o.scriptPath;
        return false;
    }
    for (auto [name, folder] : {std::pair{"--program-dir", &o.programDir},
                                std::pair{"--envelope-out", &o.envelopeOutDir}}) {
        if (folder->empty()) continue;
        if (!isFolder(*folder)) {
            error = std::string(name) + " is not a folder: " + *folder;
            return false;
        }
        // The decoder is looked for by absolute path.
        *folder = std::filesystem::absolute(*folder).lexically_normal().string();
    }
    for (auto [name, file] :
         {std::pair{"--mci-log", &o.mciLogPath}, std::pair{"--render", &o.renderPath}}) {
        if (!file->empty() && !writable(*file)) {
            error = std::string("cannot write ") + name + " " + *file;
            return false;
        }
    }
    return true;
}
