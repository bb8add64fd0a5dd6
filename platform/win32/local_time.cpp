// The local time on Windows, thread-safe.
#include "platform/clock.h"

namespace timing {

std::tm localTime(std::time_t t) {
    std::tm local{};
    localtime_s(&local, &t);
    return local;
}

} // namespace timing
