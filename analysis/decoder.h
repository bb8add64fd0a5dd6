#pragma once
// The external decoder: whether it was found and whether the user has it on.
#include <cstdint>

struct Decoder {
    int16_t lameOn = 1;
    int16_t lameAvailable = 0;
};

extern Decoder decoder;
