#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/single_instance.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/screen.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/pixels.h"

namespace {

// Environment variables set for one test and put back after it.
struct Env {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~Env() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
    }
};

// Another holder of the lock file, as a second copy of the program would be.
int holdLock(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? fd : (close(fd), -1);
}

TEST(SingleInstance, OneLockPerUserAndDisplayHeldWhileTheProgramRuns) {
    fixtures::TempDir dir;
    Env env;
    env.set("XDG_RUNTIME_DIR", dir.path().c_str());
    env.set("DISPLAY", ":7.0");
    const std::string path = instance::lockPath();
    EXPECT_EQ(path, dir.file("klangkelter-_7.lock"));
    const int other = holdLock(path);
    ASSERT_GE(other, 0);
    // The same display however it is written; another display is free.
    for (const char* same : {":7", ":7.1", "unix:7.0"}) {
        env.set("DISPLAY", same);
        EXPECT_EQ(instance::take(), instance::Lock::HeldElsewhere) << same;
    }
    env.set("DISPLAY", ":8");
    EXPECT_EQ(instance::take(), instance::Lock::Taken);
    instance::release();
    close(other);

    // Taken, it is held: a second holder is refused until it is let go, and
    // a child started meanwhile does not keep it.
    env.set("DISPLAY", ":7");
    ASSERT_EQ(instance::take(), instance::Lock::Taken);
    EXPECT_LT(holdLock(path), 0);
    const int child = process::startChild({"/bin/sleep", "30"});
    ASSERT_GT(child, 0);
    instance::release();
    const int after = holdLock(path);
    EXPECT_GE(after, 0) << "the child inherited the lock";
    close(after);
    process::endChild(child);

    // Without a runtime folder the lock is in the temporary folder, with the
    // user in its name; a lock that cannot be made lets the program run.
    env.set("XDG_RUNTIME_DIR", nullptr);
    env.set("TMPDIR", dir.path().c_str());
    EXPECT_EQ(instance::lockPath(),
              dir.file("klangkelter-" + std::to_string(getuid()) + "-_7.lock"));
    env.set("TMPDIR", dir.file("gone").c_str());
    EXPECT_EQ(instance::take(), instance::Lock::Taken);
    instance::release();
}

TEST(SingleInstance, TheRefusalSaysItInBothLanguages) {
    screen::setColors(15, 0);
    drawAlreadyRunning();
    EXPECT_TRUE(pixels::textIs(0, 8, " klangkelter already running.", 15));
    EXPECT_TRUE(pixels::textIs(0, 24, " klangkelter läuft bereits.", 15));
    EXPECT_TRUE(pixels::textIs(0, 0, "                             ", 15));
}

} // namespace
