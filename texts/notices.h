#pragma once
// The notice the message area shows, by number.
#include <cstdint>

constexpr int kIdleNotice = 127;

struct Notices {
    int noticeId = kIdleNotice;
};

extern Notices notices;
