#include "platform/headless.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/audio_engine.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/path_rules.h"
#include "platform/png.h"
#include "platform/screen.h"

namespace headless {
namespace {

// How long the script holds a click's button and a key's modifiers: long
// enough that the loop sees them in at least one pass, short enough to be a
// click and not a long click.
constexpr double kClickHoldSeconds = 0.01;
constexpr double kClickStepSeconds = 0.02;
constexpr double kKeyHoldSeconds = 0.03;
constexpr double kKeyStepSeconds = 0.04;

std::function<std::string()> dumpProvider;
std::function<void(int)> raiseHandler;
std::deque<DialogAnswer> dialogAnswers;
bool isActive = false;

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

bool toInt(const std::string& s, int& out) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

bool toSeconds(const std::string& s, double& out) {
    try {
        size_t used = 0;
        out = std::stod(s, &used);
        return used == s.size() && out >= 0 && out < 1e7;
    } catch (...) {
        return false;
    }
}

// The rest of a line after its first word, trimmed: a path may hold blanks.
std::string restOf(const std::string& line) {
    size_t p = line.find_first_not_of(" \t");
    p = line.find_first_of(" \t", p);
    if (p == std::string::npos) return {};
    p = line.find_first_not_of(" \t", p);
    if (p == std::string::npos) return {};
    size_t e = line.find_last_not_of(" \t\r");
    return line.substr(p, e - p + 1);
}

struct Modifiers {
    int bits = 0;
    int buttons = 1;
    bool ok = true;
};

Modifiers parseModifiers(const std::vector<std::string>& w, size_t from, bool allowRight) {
    Modifiers m;
    for (size_t i = from; i < w.size(); ++i) {
        if (w[i] == "ctrl")
            m.bits |= 1;
        else if (w[i] == "shift")
            m.bits |= 2;
        else if (w[i] == "alt")
            m.bits |= 4;
        else if (allowRight && w[i] == "right")
            m.buttons = 2;
        else
            m.ok = false;
    }
    return m;
}

// Key name to the code the key buffer would hold with these modifiers.
bool keyCode(std::string name, int& modifiers, std::string& code) {
    if (name.size() > 5 && name.rfind("ctrl+", 0) == 0) {
        modifiers |= 1;
        name = name.substr(5);
    }
    bool ctrl = modifiers & 1, shift = modifiers & 2;
    if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0]))) {
        char c = char(std::tolower(static_cast<unsigned char>(name[0])));
        if (ctrl)
            code = std::string(1, char(c - 'a' + 1));
        else
            code = std::string(1, shift ? char(std::toupper(c)) : c);
        return true;
    }
    if (name.size() == 1 && std::isdigit(static_cast<unsigned char>(name[0])) && !ctrl) {
        code = name;
        return true;
    }
    static const struct {
        const char* name;
        std::string plain, withCtrl;
    } kKeys[] = {
        {"esc", "\x1b", "\x1b"},
        {"enter", "\r", "\r"},
        {"del", input::extendedKey(input::kDel), input::extendedKey(input::kDel)},
        {"up", input::extendedKey(input::kUp), input::extendedKey(input::kUp)},
        {"down", input::extendedKey(input::kDown), input::extendedKey(input::kDown)},
        {"left", input::extendedKey(input::kLeft), input::extendedKey(input::kCtrlLeft)},
        {"right", input::extendedKey(input::kRight), input::extendedKey(input::kCtrlRight)},
        {"close", input::extendedKey(input::kClose), input::extendedKey(input::kClose)},
    };
    for (const auto& k : kKeys)
        if (name == k.name) {
            code = ctrl ? k.withCtrl : k.plain;
            return true;
        }
    return false;
}

inline void setFields(Event&) {}
template <typename M, typename V, typename... Rest>
void setFields(Event& e, M member, V value, Rest... rest) {
    e.*member = value;
    setFields(e, rest...);
}

// An event with further fields given as (member, value) pairs.
template <typename... Fields> Event event(Event::Kind kind, double at, Fields... fields) {
    Event e;
    e.kind = kind;
    e.atSeconds = at;
    setFields(e, fields...);
    return e;
}

} // namespace

std::optional<Script> parseScript(const std::string& text, std::string& error) {
    Script script;
    double t = 0;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    auto add = [&](Event e, int line) {
        e.line = line;
        script.events.push_back(std::move(e));
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = raw.substr(0, raw.find('#'));
        auto w = words(line);
        if (w.empty()) continue;
        auto fail = [&](const std::string& why) {
            error = "script line " + std::to_string(lineNo) + ": " + why + ": " + raw;
            return std::nullopt;
        };
        const std::string& cmd = w[0];
        if (cmd == "wait") {
            double s;
            if (w.size() != 2 || !toSeconds(w[1], s)) return fail("expected: wait SECONDS");
            t += s;
        } else if (cmd == "move") {
            Event e = event(Event::Kind::Move, t);
            if (w.size() != 3 || !toInt(w[1], e.x) || !toInt(w[2], e.y))
                return fail("expected: move X Y");
            add(e, lineNo);
        } else if (cmd == "click" || cmd == "press") {
            int x, y;
            if (w.size() < 3 || !toInt(w[1], x) || !toInt(w[2], y))
                return fail("expected: " + cmd + " X Y [right] [ctrl] [shift] [alt]");
            Modifiers m = parseModifiers(w, 3, true);
            if (!m.ok) return fail("unknown modifier");
            add(event(Event::Kind::Modifiers, t, &Event::modifiers, m.bits), lineNo);
            add(event(Event::Kind::Move, t, &Event::x, x, &Event::y, y), lineNo);
            add(event(Event::Kind::Press, t, &Event::x, x, &Event::y, y, &Event::buttons,
                      m.buttons),
                lineNo);
            if (cmd == "click") {
                add(event(Event::Kind::Release, t + kClickHoldSeconds), lineNo);
                add(event(Event::Kind::Modifiers, t + kClickHoldSeconds), lineNo);
                t += kClickStepSeconds;
            }
        } else if (cmd == "release") {
            if (w.size() != 1) return fail("expected: release");
            add(event(Event::Kind::Release, t), lineNo);
            add(event(Event::Kind::Modifiers, t), lineNo);
        } else if (cmd == "wheel") {
            Event e = event(Event::Kind::Wheel, t);
            if (w.size() != 2 || !toInt(w[1], e.x) || e.x < -1000 || e.x > 1000)
                return fail("expected: wheel STEPS");
            add(e, lineNo);
        } else if (cmd == "key") {
            if (w.size() < 2) return fail("expected: key NAME [ctrl] [shift] [alt]");
            Modifiers m = parseModifiers(w, 2, false);
            std::string code;
            if (!m.ok || !keyCode(w[1], m.bits, code)) return fail("unknown key or modifier");
            add(event(Event::Kind::Modifiers, t, &Event::modifiers, m.bits), lineNo);
            add(event(Event::Kind::Key, t, &Event::text, code), lineNo);
            add(event(Event::Kind::Modifiers, t + kKeyHoldSeconds), lineNo);
            t += kKeyStepSeconds;
        } else if (cmd == "dialog") {
            std::string answer = restOf(line);
            double hold = 0;
            if (w.size() >= 3 && w[1] == "hold") {
                char* end = nullptr;
                hold = std::strtod(w[2].c_str(), &end);
                if (*end != '\0' || !(hold >= 0)) return fail("expected: dialog hold SECONDS ...");
                answer = restOf(restOf(answer));
            }
            if (answer.empty()) return fail("expected: dialog [hold S] PATH or dialog cancel");
            if (answer == "cancel")
                answer.clear();
            else if (!pathrules::isAbsolute(answer))
                answer = std::filesystem::absolute(answer).string();
            Event e = event(Event::Kind::Dialog, t, &Event::text, answer);
            e.holdSeconds = hold;
            add(e, lineNo);
        } else if (cmd == "screenshot" || cmd == "dump") {
            std::string file = restOf(line);
            if (file.empty()) return fail("expected: " + cmd + " FILE");
            add(event(cmd == "dump" ? Event::Kind::Dump : Event::Kind::Screenshot, t, &Event::text,
                      file),
                lineNo);
        } else if (cmd == "raise") {
            Event e = event(Event::Kind::Raise, t);
            if (w.size() != 2 || !toInt(w[1], e.modifiers)) return fail("expected: raise NUMBER");
            add(e, lineNo);
        } else if (cmd == "signal") {
            // Through the process's own handlers, as from outside, but at a
            // known moment of the run.
            Event e = event(Event::Kind::Signal, t, &Event::text, w.size() == 2 ? w[1] : "");
            if (e.text != "TERM" && e.text != "INT" && e.text != "HUP" && e.text != "QUIT")
                return fail("expected: signal TERM|INT|HUP|QUIT");
            add(e, lineNo);
        } else if (cmd == "audio") {
            // The device pulled and given back, as a restarted sound server
            // or a replugged USB speaker would.
            Event e = event(Event::Kind::Audio, t);
            if (w.size() != 2 || (w[1] != "lose" && w[1] != "back"))
                return fail("expected: audio lose|back");
            e.modifiers = w[1] == "back";
            add(e, lineNo);
        } else {
            return fail("unknown command '" + cmd + "'");
        }
    }
    std::stable_sort(script.events.begin(), script.events.end(),
                     [](const Event& a, const Event& b) { return a.atSeconds < b.atSeconds; });
    script.endSeconds = t;
    for (const auto& e : script.events)
        script.endSeconds = std::max(script.endSeconds, e.atSeconds);
    return script;
}

namespace {

class HeadlessBackend final : public backend::Backend {
  public:
    HeadlessBackend(const Options& options, Script script)
        : options_(options), script_(std::move(script)) {
        isActive = true;
    }
    ~HeadlessBackend() override { isActive = false; }

    void desktopSize(int& width, int& height) override {
        width = options_.desktopWidth;
        height = options_.desktopHeight;
    }
    void openWindow(int, int) override {}
    void setTitle(const std::string& title) override { title_ = title; }
    void present() override {}
    double now() override { return double(clockUs_) / 1e6; }

    void pump() override {
        while (next_ < script_.events.size() && script_.events[next_].atSeconds <= now() + 1e-9)
            deliver(script_.events[next_++]);
    }

    void spendMs(double ms) override {
        // Whole microseconds, so that thousands of 5 ms sleeps land exactly on script times.
        if (ms > 0) clockUs_ += std::max<int64_t>(1, int64_t(ms * 1000.0 + 0.5));
        audio::advanceTo(now());
        pump();
    }

    void sleepMs(double ms) override {
        spendMs(ms);
        if (next_ >= script_.events.size() && now() >= script_.endSeconds - 1e-9)
            throw backend::RunEnd{};
    }

    void shutdown() override {}

  private:
    void deliver(const Event& e) {
        auto& mouse = input::state.mouse;
        switch (e.kind) {
        case Event::Kind::Move:
            mouse.x = e.x;
            mouse.y = e.y;
            break;
        case Event::Kind::Press:
            mouse.buttons = e.buttons;
            input::notePress(e.buttons);
            break;
        case Event::Kind::Release:
            mouse.buttons = 0;
            break;
        case Event::Kind::Wheel:
            mouse.wheel += e.x;
            break;
        case Event::Kind::Key:
            input::pushKey(e.text);
            break;
        case Event::Kind::Modifiers:
            input::state.keyDown[input::kCtrl] = e.modifiers & 1;
            input::state.keyDown[input::kLeftShift] = e.modifiers & 2;
            input::state.keyDown[input::kAlt] = e.modifiers & 4;
            break;
        case Event::Kind::Dialog:
            dialogAnswers.push_back({e.text, e.holdSeconds});
            break;
        case Event::Kind::Screenshot:
            if (!png::writeFramebuffer(e.text, screen::fb))
                std::fprintf(stderr, "klangkelter: script line %d: cannot write %s\n", e.line,
                             e.text.c_str());
            break;
        case Event::Kind::Dump: {
            std::ofstream out(e.text, std::ios::binary | std::ios::trunc);
            out << "clock=" << clockText() << "\n";
            if (dumpProvider) out << dumpProvider();
            if (!out)
                std::fprintf(stderr, "klangkelter: script line %d: cannot write %s\n", e.line,
                             e.text.c_str());
            break;
        }
        case Event::Kind::Raise:
            if (raiseHandler) raiseHandler(e.modifiers);
            break;
        case Event::Kind::Signal:
            backend::raiseStopSignal(e.text);
            break;
        case Event::Kind::Audio:
            // A device that comes back announces nothing: the program's own
            // retries must find it.
            audio::withholdDevice(e.modifiers == 0);
            if (e.modifiers == 0) audio::deviceLost();
            break;
        }
    }

    std::string clockText() {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", now());
        return buf;
    }

    Options options_;
    Script script_;
    size_t next_ = 0;
    int64_t clockUs_ = 0;
    std::string title_;
};

} // namespace

std::unique_ptr<backend::Backend> make(const Options& options, Script script) {
    timing::fixTimeOfDay(12 * 3600.0); // noon, whatever the host's clock says
    return std::make_unique<HeadlessBackend>(options, std::move(script));
}

void setDumpProvider(std::function<std::string()> provider) {
    dumpProvider = std::move(provider);
}
void setRaiseHandler(std::function<void(int)> handler) {
    raiseHandler = std::move(handler);
}

std::optional<DialogAnswer> takeDialogAnswer() {
    if (dialogAnswers.empty()) return std::nullopt;
    DialogAnswer a = std::move(dialogAnswers.front());
    dialogAnswers.pop_front();
    return a;
}

bool active() {
    return isActive;
}

} // namespace headless
