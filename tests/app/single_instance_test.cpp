#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/single_instance.h"
#include "platform/process_list.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/pixels.h"

namespace {

namespace fs = std::filesystem;
using process::RunningProcess;

TEST(SingleInstance, AnotherProcessOfThatNameCountsAndThisOneDoesNot) {
    fixtures::TempDir dir;
    const std::string path = dir.file("klangkelter-sleep");
    fs::copy_file("/bin/sleep", path);
    const pid_t child = fork();
    if (child == 0) {
        execl(path.c_str(), path.c_str(), "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    auto listedAsOther = [&] {
        auto list = process::runningProcesses();
        return std::any_of(list.begin(), list.end(), [&](const auto& p) {
            return p.pid == child && p.name == "klangkelter-sleep";
        });
    };
    // The child carries its name once exec is done.
    for (int i = 0; i < 500 && !listedAsOther(); ++i)
        usleep(2000);
    auto list = process::runningProcesses();
    EXPECT_TRUE(otherInstanceRuns(list, process::ownPid()));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    // This test binary's name holds the word too, but it is this process.
    list = process::runningProcesses();
    auto self = std::find_if(list.begin(), list.end(),
                             [](const auto& p) { return p.pid == process::ownPid(); });
    ASSERT_NE(self, list.end());
    EXPECT_FALSE(otherInstanceRuns({*self}, process::ownPid()));
}

TEST(SingleInstance, TheNameCountsInAnyCaseAndOnlyForOtherProcesses) {
    EXPECT_FALSE(otherInstanceRuns({}, 10));
    EXPECT_FALSE(otherInstanceRuns({{10, "klangkelter"}}, 10));
    EXPECT_TRUE(otherInstanceRuns({{10, "klangkelter"}, {11, "klangkelter"}}, 10));
    EXPECT_TRUE(otherInstanceRuns({{12, "MP3-KlangKelter"}}, 10));
    EXPECT_FALSE(otherInstanceRuns({{12, "klang-kelter"}, {13, "bash"}}, 10));
}

TEST(SingleInstance, TheRefusalSaysItInBothLanguages) {
    screen::setColors(15, 0);
    drawAlreadyRunning();
    EXPECT_TRUE(pixels::textIs(0, 8, " klangkelter already running.", 15));
    EXPECT_TRUE(pixels::textIs(0, 24, " klangkelter läuft bereits.", 15));
    EXPECT_TRUE(pixels::textIs(0, 0, "                             ", 15));
}

} // namespace
