#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/process_list.h"
#include "tests/support/audio_fixtures.h"

namespace {

namespace fs = std::filesystem;
using process::RunningProcess;

const RunningProcess* find(const std::vector<RunningProcess>& list, int pid) {
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.pid == pid; });
    return it == list.end() ? nullptr : &*it;
}

// A copy of /bin/sleep under a name of the program's kind, for `seconds`.
pid_t startNamed(const std::string& path, const char* seconds) {
    fs::copy_file("/bin/sleep", path);
    pid_t pid = fork();
    if (pid == 0) {
        execl(path.c_str(), path.c_str(), seconds, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

TEST(ProcessList, ListsThisProcessUnderItsWholeName) {
    auto list = process::runningProcesses();
    ASSERT_GT(list.size(), 1u);
    const RunningProcess* self = find(list, process::ownPid());
    ASSERT_NE(self, nullptr);
    // Longer than the 15 characters the kernel keeps.
    EXPECT_EQ(self->name, "klangkelter_tests");
    EXPECT_EQ(process::ownPid(), int(getpid()));
}

// A process that has ended but was not reaped yet runs no more.
TEST(ProcessList, AnEndedProcessIsNotListed) {
    fixtures::TempDir dir;
    const pid_t child = startNamed(dir.file("klangkelter-brief"), "0");
    ASSERT_GT(child, 0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(find(process::runningProcesses(), child), nullptr);
    waitpid(child, nullptr, 0);
}

} // namespace
