#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <thread>

#include "platform/backend.h"

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
    backend::endIfStopRequested();
    if (source.sleep)
        source.sleep(ms);
    else
        hostSleep(ms);
    backend::endIfStopRequested();
}

void spend(double ms) {
    if (source.spend) source.spend(ms);
}

static double measuredSpeed = 1000; // a fast machine until start-up measures

double speedIndex() {
    return measuredSpeed;
}

void setSpeedIndex(double index) {
    measuredSpeed = index;
}

static std::optional<double> dayOffset; // time of day minus the program clock

void fixTimeOfDay(double secondsAtClockZero) {
    dayOffset = secondsAtClockZero;
}

void forgetTimeOfDay() {
    dayOffset.reset();
}

double timeOfDay() {
    if (!dayOffset) {
        const std::time_t t = std::time(nullptr);
        const std::tm local = localTime(t);
        dayOffset = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec - now();
    }
    const double s = std::fmod(now() + *dayOffset, 86400.0);
    return s < 0 ? s + 86400.0 : s;
}

void sleepUntil(double until) {
    while (now() < until)
        sleepMs(std::clamp((until - now()) * 1000.0, 0.5, 3.0));
}

void waitMs(double ms) {
    sleepUntil(now() + ms / 1000.0);
}

void waitSeconds(double d) {
    double deadline = now() + d;
    while (now() < deadline)
        sleepMs(10);
}

std::string minutesSeconds(double ms) {
    const long long seconds = std::llrint(std::fabs(ms) / 1000) % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60 % 60, seconds % 60);
    return text;
}

} // namespace timing
