#include "lists/length_probe.h"

#include <cctype>

#include "platform/mci.h"

int32_t probeLength(const std::string& path, const std::string& alias) {
    std::string a = alias;
    mciOpen(path, a);
    return mciCommand("len", a);
}

bool admitTrack(int32_t lengthMs) {
    return lengthMs >= minTrackMs && lengthMs <= maxTrackMs;
}

bool admitGong(const std::string& path, int32_t lengthMs) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return double(lengthMs) >= double(minTrackMs) / 5.0 && lengthMs <= maxTrackMs && ext == ".MP3";
}
