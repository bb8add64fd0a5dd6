// Child processes on Windows: CreateProcessW with a quoted command line (no
// shell), polled by handle; every child in a job that dies with the program,
// so no decoder outlives it.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/process.h"
#include "platform/win32/win32_util.h"

namespace process {
namespace {

struct Child {
    int pid = 0;
    HANDLE handle = nullptr;
};
std::vector<Child> children;
// Exit codes of children reaped before their owner asked.
std::vector<std::pair<int, DWORD>> endedChildren;
double startWaitSeconds = kStartWaitSeconds;

HANDLE job() {
    static HANDLE j = [] {
        HANDLE h = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (h)
            SetInformationJobObject(h, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return h;
    }();
    return j;
}

HANDLE nulDevice(bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(L"NUL", write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

// Starts the child with its standard output on `out` (NUL when null).
bool spawn(const std::vector<std::string>& args, HANDLE out, PROCESS_INFORMATION& info) {
    std::wstring line = win32::commandLine(args);
    HANDLE in = nulDevice(false), err = nulDevice(true), nulOut = out ? nullptr : nulDevice(true);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = out ? out : nulOut;
    start.hStdError = err;
    const bool ok =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &start, &info);
    for (HANDLE h : {in, err, nulOut})
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!ok) return false;
    if (job()) AssignProcessToJobObject(job(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return true;
}

bool ended(HANDLE h) {
    return WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
}

void kill(HANDLE h) {
    TerminateProcess(h, 1);
    WaitForSingleObject(h, 2000);
}

// True when the child has ended; its code is kept for childState.
bool finished(Child& c) {
    if (!ended(c.handle)) return false;
    DWORD code = 1;
    GetExitCodeProcess(c.handle, &code);
    endedChildren.emplace_back(c.pid, code);
    CloseHandle(c.handle);
    c.handle = nullptr;
    return true;
}

} // namespace

int run(const std::vector<std::string>& args, std::string* output,
        const std::function<void()>& whileRunning) {
    if (args.empty()) return -1;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION info{};
    const bool started = spawn(args, writeEnd, info);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return -1;
    }
    // Ends the child when the caller goes away (the session ends while a dialog is open).
    struct Guard {
        HANDLE process, pipe;
        ~Guard() {
            if (process) kill(process), CloseHandle(process);
            CloseHandle(pipe);
        }
    } guard{info.hProcess, readEnd};
    // What waits in the pipe; false once the pipe is broken or empty.
    auto drain = [&] {
        DWORD waiting = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0)
            return false;
        char buf[4096];
        DWORD n = 0;
        if (ReadFile(readEnd, buf, std::min<DWORD>(waiting, sizeof buf), &n, nullptr) && n > 0 &&
            output && output->size() < (1u << 20))
            output->append(buf, n);
        return n > 0;
    };
    // The child's end counts, not the pipe's: a grandchild may hold its copy.
    for (;;) {
        if (drain()) continue;
        if (ended(info.hProcess)) {
            while (drain()) {
            }
            break;
        }
        if (whileRunning)
            whileRunning();
        else
            Sleep(2);
    }
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    guard.process = nullptr;
    return int(code);
}

void endAll() {
    for (Child& c : children)
        if (c.handle) kill(c.handle), CloseHandle(c.handle);
    children.clear();
}

void setStartWaitSeconds(double seconds) {
    startWaitSeconds = seconds >= 0 ? seconds : kStartWaitSeconds;
}

int startChild(const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty()) return 0;
    PROCESS_INFORMATION info{};
    if (!spawn(args, nullptr, info)) return 0;
    children.push_back({int(info.dwProcessId), info.hProcess});
    // In virtual time the child's result must be there when the program polls.
    if (headless::active()) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(startWaitSeconds);
        while (std::chrono::steady_clock::now() < deadline && !backend::stopRequested() &&
               WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT) {
        }
    }
    return int(info.dwProcessId);
}

ChildState childState(int pid) {
    if (pid <= 0) return ChildState::Failed;
    reap();
    for (auto it = endedChildren.begin(); it != endedChildren.end(); ++it)
        if (it->first == pid) {
            const DWORD code = it->second;
            endedChildren.erase(it);
            return code == 0 ? ChildState::Succeeded : ChildState::Failed;
        }
    for (const Child& c : children)
        if (c.pid == pid) return ChildState::Running;
    return ChildState::Failed;
}

void endChild(int pid) {
    std::erase_if(endedChildren, [pid](const auto& e) { return e.first == pid; });
    for (auto it = children.begin(); it != children.end(); ++it)
        if (it->pid == pid) {
            kill(it->handle);
            CloseHandle(it->handle);
            children.erase(it);
            return;
        }
}

void reap() {
    std::erase_if(children, [](Child& c) { return finished(c); });
    if (endedChildren.size() > 16) endedChildren.erase(endedChildren.begin());
}

int runningChildren() {
    reap();
    return int(children.size());
}

} // namespace process
