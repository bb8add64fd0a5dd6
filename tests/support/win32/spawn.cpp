// Starting the program under test on Windows: CreateProcessW with its own
// environment block and folder, standard error into a file.
#include <windows.h>

#include <map>

#include "tests/support/scenario.h"

namespace scenario {
namespace {

std::wstring widen(const std::string& s) {
    std::wstring out(s.size() * 2 + 1, L'\0');
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), int(out.size()));
    out.resize(size_t(n));
    return out;
}

std::wstring quoted(const std::wstring& a) {
    std::wstring out = L"\"";
    for (size_t i = 0; i < a.size(); ++i) {
        size_t slashes = 0;
        while (i < a.size() && a[i] == L'\\')
            ++slashes, ++i;
        if (i == a.size()) {
            out.append(slashes * 2, L'\\');
            break;
        }
        out.append(a[i] == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        out += a[i];
    }
    return out + L"\"";
}

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
    std::wstring line;
    for (const std::string& a : args)
        line += (line.empty() ? L"" : L" ") + quoted(widen(line.empty() ? hostPath(a) : a));
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
        const std::wstring s = widen(setting);
        const size_t eq = s.find(L'=');
        vars[s.substr(0, eq)] = s.substr(eq + 1);
    }
    std::wstring block;
    for (const auto& [name, value] : vars)
        block += name + L"=" + value + L'\0';
    block += L'\0';
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE err = CreateFileW(widen(errPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
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
                                   widen(folder).c_str(), &start, &info);
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
