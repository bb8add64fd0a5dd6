#include "platform/mci.h"

#include "platform/audio_engine.h"
#include "platform/clock.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace mci {
namespace {

// Error numbers as MCI reports them; nobody examines them, but they tell a
// reader of the log or a debugger what went wrong.
constexpr int kOk = 0;
constexpr int kErrBadInteger = 270;
constexpr int kErrUnrecognizedCommand = 261;
constexpr int kErrInvalidDeviceName = 263;
constexpr int kErrFileNotFound = 275;
constexpr int kErrMissingParameter = 273;
constexpr int kErrOutOfRange = 282;
constexpr int kErrDuplicateAlias = 289;

FILE* logFile = nullptr;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isBlank(s[i]))
            ++i;
        size_t start = i;
        while (i < s.size() && !isBlank(s[i]))
            ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

bool keyword(std::string_view word, std::string_view expected) {
    return lower(word) == expected;
}

// A whole word as a signed 32-bit decimal number.
bool parseInt32(std::string_view word, int64_t& out) {
    int32_t value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size()) return false;
    out = value;
    return true;
}

constexpr double kOpenCostMs = 2.0;
// The flat cost covers what measuring a usual song reads; beyond that, a
// millisecond per MiB (about page-cache speed, see bench_probe).
constexpr int64_t kOpenCoveredBytes = int64_t(16) << 20;
constexpr int64_t kOpenBytesPerMs = int64_t(1) << 20;

int openCommand(std::string_view command) {
    size_t first = command.find('"');
    size_t last = command.rfind('"');
    if (first == std::string_view::npos || first == last) return kErrMissingParameter;
    std::vector<std::string_view> head = words(command.substr(0, first));
    std::vector<std::string_view> tail = words(command.substr(last + 1));
    if (head.size() != 1 || tail.size() != 2 || !keyword(tail[0], "alias"))
        return kErrUnrecognizedCommand;
    std::string alias = upper(tail[1]);
    int64_t length = 0;
    if (audio::lengthMs(alias, length)) return kErrDuplicateAlias;
    std::string path(command.substr(first + 1, last - first - 1));
    // Opening and measuring a file takes a moment; in virtual time that moment
    // is what lets a key or a click arrive while a folder is being imported.
    timing::spend(kOpenCostMs);
    bool opened = audio::open(alias, path);
    int64_t beyond = audio::measuredBytes() - kOpenCoveredBytes;
    if (beyond >= kOpenBytesPerMs) timing::spend(double(beyond / kOpenBytesPerMs));
    return opened ? kOk : kErrFileNotFound;
}

int statusReply(bool ok, int64_t value, std::string* reply) {
    if (!ok) return kErrInvalidDeviceName;
    if (reply) *reply = std::to_string(value);
    return kOk;
}

// Everything but "open": verb and alias first, then the verb's own words.
int otherCommand(const std::vector<std::string_view>& w, std::string* reply) {
    if (w.size() < 2) return w.empty() ? kErrUnrecognizedCommand : kErrMissingParameter;
    std::string verb = lower(w[0]);
    std::string alias = upper(w[1]);
    size_t rest = w.size() - 2;
    auto restIs = [&](std::initializer_list<std::string_view> expected) {
        if (rest != expected.size()) return false;
        size_t i = 2;
        for (std::string_view e : expected)
            if (!keyword(w[i++], e)) return false;
        return true;
    };
    int64_t value = 0;
    int64_t length = 0;
    if (verb == "set") {
        if (!restIs({"time", "format", "milliseconds"})) return kErrUnrecognizedCommand;
        return audio::lengthMs(alias, length) ? kOk : kErrInvalidDeviceName;
    }
    if (verb == "play") {
        if (rest == 0) {
            if (!audio::positionMs(alias, value)) return kErrInvalidDeviceName;
            return audio::play(alias, value) ? kOk : kErrOutOfRange;
        }
        if (rest != 2 || !keyword(w[2], "from")) return kErrUnrecognizedCommand;
        if (!parseInt32(w[3], value)) return kErrBadInteger;
        if (!audio::lengthMs(alias, length)) return kErrInvalidDeviceName;
        return audio::play(alias, value) ? kOk : kErrOutOfRange;
    }
    if (verb == "stop" || verb == "close") {
        if (rest != 0) return kErrUnrecognizedCommand;
        bool ok = verb == "stop" ? audio::stop(alias) : audio::close(alias);
        return ok ? kOk : kErrInvalidDeviceName;
    }
    if (verb == "status") {
        bool ok;
        if (restIs({"length"}))
            ok = audio::lengthMs(alias, value);
        else if (restIs({"position"}))
            ok = audio::positionMs(alias, value);
        else if (restIs({"mode"})) {
            if (!audio::lengthMs(alias, length)) return kErrInvalidDeviceName;
            if (reply) *reply = audio::isPlaying(alias) ? "playing" : "stopped";
            return kOk;
        } else
            return kErrUnrecognizedCommand;
        return statusReply(ok, value, reply);
    }
    if (verb == "setaudio") {
        // "gain" is this program's own: the level match behind the volume.
        const bool gain = rest == 3 && keyword(w[2], "gain");
        if (rest != 3 || (!gain && !keyword(w[2], "volume")) || !keyword(w[3], "to"))
            return kErrUnrecognizedCommand;
        if (!parseInt32(w[4], value)) return kErrBadInteger;
        if (!audio::lengthMs(alias, length)) return kErrInvalidDeviceName;
        const bool ok = gain ? audio::setBoost(alias, static_cast<int>(value))
                             : audio::setVolume(alias, static_cast<int>(value));
        return ok ? kOk : kErrOutOfRange;
    }
    return kErrUnrecognizedCommand;
}

void logCommand(std::string_view command) {
    if (!logFile) return;
    std::fprintf(logFile, "%.3f %.*s\n", timing::now(), static_cast<int>(command.size()),
                 command.data());
    std::fflush(logFile);
}

} // namespace

int32_t replyNumber(std::string_view reply) {
    size_t i = 0;
    while (i < reply.size() && isBlank(reply[i]))
        ++i;
    size_t start = i;
    if (i < reply.size() && (reply[i] == '-' || reply[i] == '+')) ++i;
    size_t digits = 0;
    while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9')
        ++i, ++digits;
    if (i < reply.size() && reply[i] == '.') {
        ++i;
        while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0) return 0;
    double value = std::strtod(std::string(reply.substr(start, i - start)).c_str(), nullptr);
    value = std::nearbyint(value); // the default rounding mode rounds halves to even
    constexpr double lo = std::numeric_limits<int32_t>::min();
    constexpr double hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(value, lo, hi));
}

namespace {

enum class Reply { None, Number };

struct Verb {
    std::array<std::string_view, 3> names; // the verb and its synonyms; "" pads
    std::string_view command;              // sent as "<command> <ALIAS><suffix>"
    std::string_view suffix;
    Reply reply;
};

constexpr std::array<Verb, 5> kVerbs = {{
    {{"play", "on", "an"}, "play", " from 0", Reply::None},
    {{"close", "off", "aus"}, "close", "", Reply::None},
    {{"stop", "", ""}, "stop", "", Reply::None},
    {{"length", "len", ""}, "status", " length", Reply::Number},
    {{"position", "pos", ""}, "status", " position", Reply::Number},
}};

const Verb* findVerb(std::string_view verb) {
    for (const Verb& row : kVerbs)
        for (std::string_view name : row.names)
            if (!name.empty() && name == verb) return &row;
    return nullptr;
}

std::string trimmedLower(std::string_view s) {
    size_t begin = s.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    size_t end = s.find_last_not_of(' ');
    return lower(s.substr(begin, end - begin + 1));
}

void upperInPlace(std::string& alias) {
    for (char& c : alias)
        c = upperAscii(c);
}

// floor(x) in decimal; the volume range is small, so the clamp only guards
// against nonsense reaching the conversion.
std::string wholeNumberText(double x) {
    if (std::isnan(x)) return "0";
    double whole = std::floor(std::clamp(x, -1e15, 1e15));
    return std::to_string(static_cast<long long>(whole));
}

} // namespace

int mciSendString(std::string_view command, std::string* reply) {
    logCommand(command);
    if (reply) reply->clear();
    std::vector<std::string_view> w = words(command);
    if (!w.empty() && keyword(w[0], "open")) return openCommand(command);
    return otherCommand(w, reply);
}

bool openLog(const std::string& path) {
    closeLog();
    if (path.empty()) return true;
    logFile = std::fopen(path.c_str(), "w");
    return logFile != nullptr;
}

void closeLog() {
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
}

} // namespace mci

int mciOpen(const std::string& path, std::string& alias) {
    mci::upperInPlace(alias);
    mciCommand("close", alias);
    int result = mci::mciSendString("open \"" + path + "\" alias " + alias, nullptr);
    mci::mciSendString("set " + alias + " time format milliseconds", nullptr);
    return result;
}

int32_t mciCommand(std::string_view verb, std::string& alias) {
    mci::upperInPlace(alias);
    const mci::Verb* row = mci::findVerb(mci::trimmedLower(verb));
    if (!row) return 0;
    std::string command = std::string(row->command) + " " + alias + std::string(row->suffix);
    if (row->reply == mci::Reply::None) {
        mci::mciSendString(command, nullptr);
        return 0;
    }
    std::string reply;
    mci::mciSendString(command, &reply);
    return mci::replyNumber(reply);
}

bool mciPlaying(std::string& alias) {
    mci::upperInPlace(alias);
    std::string reply;
    mci::mciSendString("status " + alias + " mode", &reply);
    return reply == "playing";
}

void mciSeek(std::string& alias, int32_t targetMs) {
    mci::upperInPlace(alias);
    mci::mciSendString("play " + alias + " from " + std::to_string(targetMs), nullptr);
}

std::string volumeCommand(const std::string& alias, double volume) {
    return "setaudio " + mci::upper(alias) + " volume to " +
           mci::wholeNumberText(std::max(volume, 0.0));
}

void mciGain(const std::string& alias, double gain) {
    mci::mciSendString("setaudio " + mci::upper(alias) + " gain to " +
                           mci::wholeNumberText(std::clamp(gain, 0.0, double(audio::kMaxBoost))),
                       nullptr);
}

void mciVolume(const std::string& alias, double volume) {
    mci::mciSendString(volumeCommand(alias, volume), nullptr);
}
