#include "app/single_instance.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/screen.h"

bool otherInstanceRuns(const std::vector<process::RunningProcess>& processes, int ownPid) {
    return std::any_of(processes.begin(), processes.end(), [&](const auto& p) {
        std::string lower = p.name;
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return p.pid != ownPid && lower.find("klangkelter") != std::string::npos;
    });
}

void drawAlreadyRunning() {
    screen::clear();
    screen::printLine();
    screen::printLine(" klangkelter already running.");
    screen::printLine();
    screen::printLine(screen::cp437(" klangkelter läuft bereits."));
}

void checkSingleInstance() {
    if (headless::active() || std::getenv("KK_ALLOW_SECOND_INSTANCE") != nullptr) return;
    if (!otherInstanceRuns(process::runningProcesses(), process::ownPid())) return;
    drawAlreadyRunning();
    for (int i = 0; i < 11; ++i)
        timing::sleepMs(500);
    throw backend::RunEnd{};
}
