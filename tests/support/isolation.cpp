// Every test starts from the program's start state, whatever ran before it in
// this process: the suite passes in any order and under --gtest_repeat.
#include <gtest/gtest.h>

#include "app/startup.h"
#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/mci.h"
#include "platform/random.h"
#include "platform/screen.h"

namespace {

class FreshState : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        // What an earlier test left running: its streams, its log, its backend.
        audio::shutdown();
        mci::closeLog();
        backend::install(nullptr);
        resetProgramState();
        timing::install({});
        timing::forgetTimeOfDay();
        input::state = input::State{};
        rng::seed(rng::kHeadlessSeed);
        screen::open(screen::kWidth, screen::kHeight); // a fresh, blank window
    }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshState);
    return true;
}();

} // namespace
