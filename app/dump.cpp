#include "app/dump.h"

#include <cstdio>

#include "analysis/compressor.h"
#include "analysis/decoder.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "playback/transport.h"
#include "texts/notices.h"

static std::string num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

std::string dumpState() {
    std::string out;
    auto line = [&](const char* name, const std::string& value) {
        out += name;
        out += '=';
        out += value;
        out += '\n';
    };
    line("stackCount", num(tracks.stackCount));
    line("playlistCount", num(tracks.playlistCount));
    line("playPosition", num(tracks.playPosition));
    line("playlistTop", num(tracks.playlistTop));
    line("playerRunning", num(transport.playerRunning));
    line("currentChannel", num(transport.currentChannel));
    line("channelOpen", num(transport.channelOpen[0]) + "," + num(transport.channelOpen[1]));
    line("noticeId", num(notices.noticeId));
    line("autoPlay", num(transport.autoPlay));
    line("blendSetting", num(transport.blendSetting));
    line("pauseSeconds", num(transport.pauseSeconds));
    line("masterVolume", num(transport.masterVolume));
    line("compressorOn", num(compressor.compressorOn));
    line("setupNumber", num(compressor.setupNumber));
    line("gain", num(compressor.gain));
    line("nextTrackGain", num(compressor.nextTrackGain));
    line("duckFactor", num(compressor.duckFactor));
    line("lameOn", num(decoder.lameOn));
    line("lameAvailable", num(decoder.lameAvailable));
    line("windowTitle", startup.windowTitle);
    line("audioSink", audio::sinkName());
    line("loopPasses", num(double(mainLoop.passes)));
    return out;
}
