// The file services on Windows: wide calls at the edges, UTF-8 inside.
#include <windows.h>
// (after windows.h, which they need)
#include <shlobj.h>

#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <sstream>

#include "platform/files.h"
#include "platform/path_rules.h"
#include "platform/win32/win32_util.h"

namespace files {
namespace {

const char kSavePrefix[] = ".klangkelter-save-";

DWORD attributes(const std::string& path) {
    return GetFileAttributesW(win32::widen(path).c_str());
}

bool endsWithExe(const std::string& name) {
    return name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".exe") == 0;
}

// The names of a folder's entries, with their attributes.
template <typename Visit> void eachEntry(const std::string& folder, Visit visit) {
    WIN32_FIND_DATAW found;
    const std::string pattern = (folder.empty() ? std::string(".\\") : folder) + "*";
    HANDLE h = FindFirstFileW(win32::widen(pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        visit(win32::narrow(found.cFileName), found.dwFileAttributes);
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

} // namespace

std::string executableFolder() {
    std::wstring buf(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    return pathrules::folderOf(win32::narrow(buf));
}

std::string tempFolder() {
    wchar_t buf[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    return pathrules::asFolder(n > 0 ? win32::narrow(std::wstring(buf, n)) : "C:\\");
}

std::string stateFolder() {
    // The variable first, as XDG_STATE_HOME on Linux: a portable setup or a
    // test can move the session; it names the known folder everywhere else.
    std::string folder;
    if (const wchar_t* set = _wgetenv(L"LOCALAPPDATA"); set && *set) folder = win32::narrow(set);
    PWSTR local = nullptr;
    if (folder.empty() && SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local) == S_OK)
        folder = win32::narrow(local);
    CoTaskMemFree(local);
    if (folder.empty()) folder = tempFolder();
    folder = pathrules::asFolder(folder) + "klangkelter\\";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(win32::widen(folder)), ec);
    return folder;
}

bool isExecutableFile(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && endsWithExe(path);
}

std::string findTool(const std::string& folder, const std::string& name) {
    const std::string exe = endsWithExe(name) ? name : name + ".exe";
    if (!folder.empty() && isExecutableFile(pathrules::asFolder(folder) + exe))
        return pathrules::asFolder(folder) + exe;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ';')) {
        if (dir.empty()) continue;
        const std::string candidate = pathrules::asFolder(dir) + exe;
        if (isExecutableFile(candidate)) return candidate;
    }
    return {};
}

bool exists(const std::string& path) {
    return attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The file system ignores case already; the name on disk is what it shows.
std::string resolveCase(const std::string& path) {
    if (path.empty()) return path;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(win32::widen(path).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return path;
    FindClose(h);
    return pathrules::folderOf(path) + win32::narrow(found.cFileName);
}

std::vector<std::string> listMp3Candidates(const std::string& folder) {
    std::vector<std::string> names;
    eachEntry(folder, [&](const std::string& name, DWORD a) {
        if (!mentionsMp3(name) || (a & FILE_ATTRIBUTE_DIRECTORY)) return;
        names.push_back(name);
    });
    sortByName(names);
    return names;
}

void removeStaleSaveFiles(const std::string& path) {
    const std::string folder = pathrules::folderOf(path);
    const size_t prefix = sizeof kSavePrefix - 1;
    eachEntry(folder, [&](const std::string& name, DWORD a) {
        if (name.size() != prefix + 6 || name.compare(0, prefix, kSavePrefix) != 0) return;
        if (!(a & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW(
                win32::widen((folder.empty() ? std::string(".\\") : folder) + name).c_str());
    });
}

bool writeFileAtomically(const std::string& path, const std::string& contents) {
    const std::string folder = pathrules::folderOf(path);
    std::string temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = folder + kSavePrefix + win32::sixLetters();
        h = CreateFileW(win32::widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    saveStep(0);
    bool ok = true;
    for (size_t done = 0; ok && done < contents.size();) {
        DWORD n = 0;
        ok = WriteFile(h, contents.data() + done,
                       DWORD(std::min<size_t>(contents.size() - done, 1u << 20)), &n, nullptr) &&
             n > 0;
        done += n;
    }
    saveStep(1);
    ok = ok && FlushFileBuffers(h);
    saveStep(2);
    ok = CloseHandle(h) && ok;
    saveStep(3);
    // Unlike rename(), this replaces a file that is there already.
    ok = ok && MoveFileExW(win32::widen(temp).c_str(), win32::widen(path).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(win32::widen(temp).c_str());
    if (ok) removeStaleSaveFiles(path);
    return ok;
}

bool readLines(const std::string& path, std::vector<std::string>& lines, size_t maxBytes) {
    lines.clear();
    HANDLE h = CreateFileW(win32::widen(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size) && size.QuadPart >= 0 &&
              static_cast<unsigned long long>(size.QuadPart) <= maxBytes;
    std::string text;
    char buffer[65536];
    while (ok) {
        DWORD n = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &n, nullptr)) ok = false;
        if (!ok || n == 0) break;
        text.append(buffer, n);
        ok = text.size() <= maxBytes;
    }
    CloseHandle(h);
    if (!ok) return false;
    lines = splitLines(text);
    return true;
}

} // namespace files
