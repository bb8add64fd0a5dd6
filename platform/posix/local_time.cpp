// The local time on POSIX systems, thread-safe.
#include "platform/clock.h"

namespace timing {

std::tm localTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

} // namespace timing
