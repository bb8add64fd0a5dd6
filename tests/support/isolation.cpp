// Every test starts from the program's start state, whatever ran before it in
// this process: the suite passes in any order and under --gtest_repeat.
#include <gtest/gtest.h>

#include "app/startup.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/random.h"

namespace {

class FreshState : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        resetProgramState();
        timing::install({});
        timing::forgetTimeOfDay();
        input::state = input::State{};
        rng::seed(rng::kHeadlessSeed);
    }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshState);
    return true;
}();

} // namespace
