#include "app/single_instance.h"

#include <cstdlib>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/instance_lock.h"
#include "platform/screen.h"

void drawAlreadyRunning() {
    screen::clear();
    screen::printLine();
    screen::printLine(" klangkelter already running.");
    screen::printLine();
    screen::printLine(screen::cp437(" klangkelter läuft bereits."));
}

void checkSingleInstance() {
    if (headless::active() || std::getenv("KK_ALLOW_SECOND_INSTANCE") != nullptr) return;
    if (instance::take() == instance::Lock::Taken) return;
    drawAlreadyRunning();
    for (int i = 0; i < 11; ++i)
        timing::sleepMs(500);
    throw backend::RunEnd{};
}
