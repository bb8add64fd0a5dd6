#pragma once
// The program's one rounding rule: to the nearest whole number, halves to
// even (the default floating-point rounding mode).
#include <cmath>
#include <cstdint>

inline int32_t roundEven(double v) {
    return int32_t(std::nearbyint(v));
}
