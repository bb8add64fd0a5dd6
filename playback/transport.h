#pragma once
// Transport state of the two playlist channels and the user's playback
// settings. Written by the transport and the settings buttons.
#include <cstdint>
#include <string>

struct Transport {
    int16_t playerRunning = 0;
    int16_t currentChannel = 0;
    int16_t channelOpen[2] = {0, 0};
    std::string channelAlias[2] = {"AUBIO_I", "AUBIO_II"};
    int16_t autoPlay = 1;
    int16_t blendSetting = 1; // 0 to 3
    double pauseSeconds = 0;  // 0 to 60
    float masterVolume = 1.0f;
};

extern Transport transport;
