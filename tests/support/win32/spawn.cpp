// Starting the program under test on Windows: CreateProcessW with its own
// environment block and folder, standard error into a file.
#include <windows.h>

#include <map>

#include "platform/win32/win32_util.h"
#include "tests/support/scenario.h"

namespace scenario {
namespace {

std::map<int, HANDLE> running;

} // namespace

std::string hostPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

int spawnProgram(const std::vector<std::string>& args, const std::string& folder,
                 const std::vector<std::string>& environment, const std::string& errPath) {
    std::vector<std::string> hosted = args;
    if (!hosted.empty()) hosted[0] = hostPath(hosted[0]);
    std::wstring line = win32::commandLine(hosted);
    // The test's own environment with the settings laid over it.
    std::map<std::wstring, std::wstring> vars;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (wchar_t* v = block; *v; v += wcslen(v) + 1) {
            std::wstring s = v;
            const size_t eq = s.find(L'=', 1);
            if (eq != std::wstring::npos) vars[s.substr(0, eq)] = s.substr(eq + 1);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const std::string& setting : environment) {
        const std::wstring s = win32::widen(setting);
        const size_t eq = s.find(L'=');
        vars[s.substr(0, eq)] = s.substr(eq + 1);
    }
    std::wstring block;
    for (const auto& [name, value] : vars)
        block += name + L"=" + value + L'\0';
    block += L'\0';
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE err = CreateFileW(win32::widen(errPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                             &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nul;
    start.hStdOutput = nul;
    start.hStdError = err;
    PROCESS_INFORMATION info{};
    const bool ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                   CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(),
                                   win32::widen(folder).c_str(), &start, &info);
    CloseHandle(err);
    CloseHandle(nul);
    if (!ok) return -1;
    CloseHandle(info.hThread);
    running[int(info.dwProcessId)] = info.hProcess;
    return int(info.dwProcessId);
}

int waitProgram(int pid) {
    auto it = running.find(pid);
    if (it == running.end()) return -1;
    WaitForSingleObject(it->second, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(it->second, &code);
    CloseHandle(it->second);
    running.erase(it);
    return int(code);
}

} // namespace scenario
