#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace timing {

static Source source;

double hostSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

static void hostSleep(double ms) {
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

void install(Source s) {
    source = std::move(s);
}

double now() {
    return source.now ? source.now() : hostSeconds();
}

void sleepMs(double ms) {
    if (source.sleep)
        source.sleep(ms);
    else
        hostSleep(ms);
}

void spend(double ms) {
    if (source.spend) source.spend(ms);
}

void waitSeconds(double d) {
    double deadline = now() + d;
    while (now() < deadline)
        sleepMs(10);
}

} // namespace timing
