#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/backend.h"
#include "platform/headless.h"

extern char** environ;

namespace process {

static std::vector<pid_t> children;
// Exit statuses of children reaped before their owner asked.
static std::vector<std::pair<pid_t, int>> endedChildren;

namespace {

// Every child leads a process group of its own, and is ended with its group:
// a wrapper script's own children must not outlive it.
void signalGroup(pid_t pid, int sig) {
    if (kill(-pid, sig) != 0) kill(pid, sig);
}

// The children left in the group of a leader just reaped: its work is done,
// anything still there is a stray. The group id stays ours while any member
// is alive, so this never reaches a stranger.
void endStrays(pid_t leader) {
    kill(-leader, SIGKILL);
}

// Own group for the child, so that the terminal's Ctrl+C reaches only us
// and we end the child ourselves.
struct SpawnGroup {
    posix_spawnattr_t attr;
    SpawnGroup() {
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
    }
    ~SpawnGroup() { posix_spawnattr_destroy(&attr); }
};

// Ends a child that is still running when its caller goes away (the session
// ends while a dialog is open): asked first, then made to.
struct ChildGuard {
    pid_t pid = -1;
    int readFd = -1;
    ~ChildGuard() {
        if (readFd >= 0) close(readFd);
        if (pid <= 0) return;
        signalGroup(pid, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                endStrays(pid);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        signalGroup(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
};

} // namespace

int run(const std::vector<std::string>& args, std::string* output,
        const std::function<void()>& whileRunning) {
    if (args.empty()) return -1;
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    ChildGuard child;
    child.readFd = pipeFds[0];
    pid_t pid = -1;
    SpawnGroup group;
    int rc = posix_spawnp(&pid, argv[0], &actions, &group.attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) return -1;
    child.pid = pid;

    // The child's end is its output's end; until then the caller's work goes on.
    for (bool open = true; open;) {
        char buf[4096];
        ssize_t n = read(pipeFds[0], buf, sizeof buf);
        if (n > 0) {
            // A dialog answers with one path; anything huge is garbage.
            if (output && output->size() < (1u << 20)) output->append(buf, size_t(n));
        } else if (n == 0) {
            open = false;
        } else if (errno == EAGAIN) {
            if (whileRunning) {
                whileRunning();
            } else {
                pollfd p{pipeFds[0], POLLIN, 0};
                poll(&p, 1, -1);
            }
        } else if (errno != EINTR) {
            open = false;
        }
    }
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid, &status, whileRunning ? WNOHANG : 0);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) return -1;
        if (r == 0) whileRunning();
    }
    child.pid = -1;
    endStrays(pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void endAll() {
    for (pid_t pid : children)
        signalGroup(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!children.empty() && std::chrono::steady_clock::now() < deadline) {
        reap();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (pid_t pid : children) {
        signalGroup(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    children.clear();
}

} // namespace process

namespace process {

// True when the child has ended (and is reaped).
static bool finished(pid_t pid) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
        endedChildren.emplace_back(pid, status);
        endStrays(pid);
    }
    return r == pid || (r < 0 && errno == ECHILD);
}

static double startWaitSeconds = kStartWaitSeconds;

void setStartWaitSeconds(double seconds) {
    startWaitSeconds = seconds >= 0 ? seconds : kStartWaitSeconds;
}

// Polls rather than blocking in waitpid so that a hanging child costs at most
// the limit; it is then left running and reaped later.
static bool waitForChild(pid_t pid) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration<double>(startWaitSeconds);
    auto pause = std::chrono::microseconds(200);
    while (Clock::now() < deadline && !backend::stopRequested()) {
        if (finished(pid)) return true;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    return false;
}

int startChild(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty()) return 0;
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    SpawnGroup group;
    int rc = posix_spawnp(&pid, argv[0], &actions, &group.attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return 0;
    children.push_back(pid);
    if (headless::active()) waitForChild(pid);
    return int(pid);
}

ChildState childState(int pid) {
    if (pid <= 0) return ChildState::Failed;
    int status = 0;
    for (auto it = endedChildren.begin(); it != endedChildren.end(); ++it)
        if (it->first == pid) {
            status = it->second;
            endedChildren.erase(it);
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildState::Succeeded
                                                                 : ChildState::Failed;
        }
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == 0) return ChildState::Running;
    if (r == pid) endStrays(pid);
    std::erase(children, pid);
    if (r != pid) return ChildState::Failed;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildState::Succeeded
                                                         : ChildState::Failed;
}

void endChild(int pid) {
    if (pid <= 0) return;
    std::erase_if(endedChildren, [pid](const auto& e) { return e.first == pid; });
    if (std::find(children.begin(), children.end(), pid) == children.end()) return;
    signalGroup(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            endStrays(pid);
            std::erase(children, pid);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    signalGroup(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::erase(children, pid);
}

void reap() {
    std::erase_if(children, finished);
    // Nobody asks for statuses of children long gone.
    if (endedChildren.size() > 16) endedChildren.erase(endedChildren.begin());
}

int runningChildren() {
    reap();
    return int(children.size());
}

} // namespace process
