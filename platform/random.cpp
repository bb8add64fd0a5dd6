#include "platform/random.h"

namespace rng {

namespace {
std::mt19937_64 generator{kHeadlessSeed};
}

void seed(uint64_t value) {
    generator.seed(value);
}

double unit() {
    return double(generator() >> 11) * 0x1.0p-53;
}

int below(int n) {
    if (n < 1) return 0;
    return int(unit() * n);
}

} // namespace rng
