#pragma once
// The program's one clock: seconds as a double from a monotonic source, real
// or virtual (headless), and sleep, which advances the virtual clock.
#include <ctime>
#include <functional>
#include <string>

namespace timing {

double now();
void sleepMs(double ms);
// Waits d seconds the way the program waits: sleep 10 ms until the clock has passed.
void waitSeconds(double d);
// Busy waits of the transport: sleeps in slices of at most 3 ms until the
// clock has passed `until`, so that the events keep coming in meanwhile.
void sleepUntil(double until);
void waitMs(double ms);
// Accounts for the time an operation takes in virtual time (a file opened
// and measured, say); nothing in real time, where it took that time already.
void spend(double ms);
// Seconds since local midnight, read from the wall clock once and carried on
// by the program clock, so that it runs with virtual time.
double timeOfDay();
// The local calendar time of `t`; each system's own (posix/, win32/local_time.cpp).
std::tm localTime(std::time_t t);
// Headless runs start at a fixed time of day, so screens are reproducible.
void fixTimeOfDay(double secondsAtClockZero);
// Forgets the time of day, which the next reading takes from the wall clock again.
void forgetTimeOfDay();
// "03:25" for 205000 ms: minutes and seconds of a time of day (an hour or
// more wraps), as the time displays show them.
std::string minutesSeconds(double ms);
// Real monotonic seconds, whatever the program clock is; for measuring the machine.
double hostSeconds();
// The machine's speed as measured at start-up: 1 / seconds of a counting loop
// of 3,000,000 steps. Long operations scale their waits and signs by it.
double speedIndex();
void setSpeedIndex(double index);

// Backend hooks, set once by the backend that runs.
struct Source {
    std::function<double()> now;
    std::function<void(double ms)> sleep;
    std::function<void(double ms)> spend;

    Source() = default;
    Source(std::function<double()> nowFn, std::function<void(double)> sleepFn,
           std::function<void(double)> spendFn = {})
        : now(std::move(nowFn)), sleep(std::move(sleepFn)), spend(std::move(spendFn)) {}
};
void install(Source source);

} // namespace timing
