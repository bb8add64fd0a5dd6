// The helpers the Windows implementations share.
#include "platform/win32/win32_util.h"

#include <windows.h>

namespace win32 {
namespace {

std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t slashes = 0;
        while (i < arg.size() && arg[i] == L'\\') {
            ++slashes;
            ++i;
        }
        if (i == arg.size()) {
            out.append(slashes * 2, L'\\');
            break;
        }
        if (arg[i] == L'"') {
            out.append(slashes * 2 + 1, L'\\');
            out += L'"';
        } else {
            out.append(slashes, L'\\');
            out += arg[i];
        }
    }
    return out + L"\"";
}

} // namespace

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(const std::wstring& utf16) {
    if (utf16.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring commandLine(const std::vector<std::string>& args) {
    std::wstring line;
    for (const std::string& a : args)
        line += (line.empty() ? L"" : L" ") + quoted(widen(a));
    return line;
}

std::string sixLetters() {
    static unsigned counter = 0;
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long v =
        (GetTickCount64() ^ static_cast<unsigned long long>(GetCurrentProcessId()) << 24) +
        ++counter * 2654435761u;
    v = v * 6364136223846793005ull + 1442695040888963407ull;
    std::string out;
    for (int i = 0; i < 6; ++i, v /= 36)
        out += kLetters[v % 36];
    return out;
}

} // namespace win32
