// Reading a file by position on Windows: ReadFile at an offset, on a handle
// shared with writers and deleters, disk files only.
#include <windows.h>

#include "platform/mp3_file.h"
#include "platform/win32/win32_util.h"

namespace audio {

File::~File() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool File::open(const std::string& path, off_t maxBytes) {
    HANDLE h = CreateFileW(win32::widen(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) || size.QuadPart <= 0 ||
        size.QuadPart > maxBytes)
        return false;
    size_ = off_t(size.QuadPart);
    return true;
}

size_t File::readAt(unsigned char* out, size_t bytes, off_t at) const {
    size_t done = 0;
    while (done < bytes) {
        OVERLAPPED where{};
        const unsigned long long offset = static_cast<unsigned long long>(at) + done;
        where.Offset = DWORD(offset & 0xFFFFFFFFu);
        where.OffsetHigh = DWORD(offset >> 32);
        DWORD got = 0;
        const DWORD want = DWORD(std::min<size_t>(bytes - done, 1u << 20));
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), out + done, want, &got, &where) ||
            got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace audio
