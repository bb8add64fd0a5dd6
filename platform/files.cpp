// The parts of the file services that every system shares.
#include "platform/files.h"

#include <algorithm>
#include <cctype>

namespace files {
namespace {

std::string lowered(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void (*saveStepHook)(int) = nullptr;

} // namespace

bool hasMp3Name(const std::string& name) {
    return name.size() >= 4 && lowered(name.substr(name.size() - 4)) == ".mp3";
}

bool mentionsMp3(const std::string& name) {
    return lowered(name).find(".mp3") != std::string::npos;
}

void sortByName(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string la = lowered(a), lb = lowered(b);
        return la != lb ? la < lb : a < b;
    });
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text, start, stop - start);
        start = end + 1;
    }
    return lines;
}

void setSaveStepHook(void (*hook)(int step)) {
    saveStepHook = hook;
}

void saveStep(int step) {
    if (saveStepHook) saveStepHook(step);
}

} // namespace files
