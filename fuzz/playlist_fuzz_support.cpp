// What the playlist-file reader reaches beyond the lists and the file
// services, cut down to what a load needs: lengths without the MCI layer
// (names with an "a" are songs of an admitted length), notices without the
// screen, hooks without a program above.
#include <string>

#include "lists/length_probe.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "texts/notices.h"

Notices notices;

int32_t probeLength(const std::string& path, const std::string&) {
    return path.find('a', path.rfind('/')) != std::string::npos ? 30000 : 0;
}
bool admitTrack(int32_t lengthMs) {
    return lengthMs >= minTrackMs && lengthMs <= maxTrackMs;
}
void showNotice(int id) {
    notices.noticeId = id;
}
void showNotice(int id, NoticeTimes) {
    notices.noticeId = id;
}

double timing::now() {
    return 0.0;
}
void timing::waitSeconds(double) {}

namespace hooks {
void requestRedraw(Redraw, int) {}
void keepMusicGoing() {}
} // namespace hooks

namespace input {
std::string readKey() {
    return {};
}
void pushKey(std::string) {}
std::string extendedKey(char) {
    return {};
}
} // namespace input
