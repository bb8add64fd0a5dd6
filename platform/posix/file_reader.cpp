// Reading a file by position on POSIX systems: pread on a descriptor opened
// without blocking, so that a FIFO or device under an MP3 name cannot hang.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/mp3_file.h"

namespace audio {

File::~File() {
    if (handle_ >= 0) ::close(int(handle_));
}

bool File::open(const std::string& path, off_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    handle_ = fd;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > maxBytes)
        return false;
    size_ = st.st_size;
    return true;
}

size_t File::readAt(unsigned char* out, size_t bytes, off_t at) const {
    size_t done = 0;
    while (done < bytes) {
        ssize_t n = ::pread(int(handle_), out + done, bytes - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

} // namespace audio
