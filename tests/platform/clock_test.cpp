#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

TEST(Clock, WaitSecondsSleepsUntilTheClockHasPassedTheDeadline) {
    double virtualNow = 100.0;
    int sleeps = 0;
    timing::install({[&] { return virtualNow; },
                     [&](double ms) {
                         virtualNow += ms / 1000.0;
                         ++sleeps;
                     }});
    timing::waitSeconds(0.1);
    EXPECT_GE(timing::now(), 100.1 - 1e-9);
    EXPECT_GE(sleeps, 10);
    EXPECT_LE(sleeps, 11);
    timing::install({});
    double a = timing::now();
    timing::sleepMs(2);
    EXPECT_GT(timing::now(), a);
}

} // namespace
