#pragma once
// The one source of random draws (the varied pause, the shuffles, the name
// scrambling). Owns the generator; app/ seeds it once at start-up: headless
// runs with a fixed value (or --seed), the real window from the time, so the
// same script gives the same run.
#include <cstdint>
#include <random>

namespace rng {

constexpr uint64_t kHeadlessSeed = 20261209;

void seed(uint64_t value);
// Uniform in [0, 1), from 53 bits of the generator.
double unit();
// Uniform integer in [0, n); 0 when n < 1.
int below(int n);

// A repeatable sequence for decorations: the same seed (a clock reading)
// draws the same picture, apart from the one generator's state.
class Pattern {
  public:
    explicit Pattern(uint32_t seedValue) : source_(seedValue) {}
    double unit() { return std::uniform_real_distribution<double>(0, 1)(source_); }

  private:
    std::minstd_rand source_;
};

} // namespace rng
