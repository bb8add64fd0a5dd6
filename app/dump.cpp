#include "app/dump.h"
#include "analysis/envelope.h"

#include <cstdio>
#include <fstream>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "app/end_box.h"
#include "app/main_loop.h"
#include "app/mouse_dispatch.h"
#include "app/session_file.h"
#include "app/startup.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/audio_engine.h"
#include "platform/path_rules.h"
#include "playback/compressor.h"
#include "playback/crossfade.h"
#include "playback/gongs.h"
#include "playback/preview.h"
#include "playback/transport.h"
#include "texts/notices.h"
#include "ui/control_panel.h"
#include "ui/envelope_view.h"
#include "ui/list_views.h"

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
    line("matchOn", num(compressor.matchOn));
    line("setupNumber", num(compressor.setupNumber));
    line("gain", num(compressor.gain));
    line("nextTrackGain", num(compressor.nextTrackGain));
    line("duckFactor", num(compressor.duckFactor));
    line("lameOn", num(decoder.lameOn));
    line("lameAvailable", num(decoder.lameAvailable));
    line("decodeSlot", num(decoder.decodeSlot));
    line("analysisTold", std::string(decoder.told[0] ? "1" : "0") + "," +
                             (decoder.told[1] ? "1" : "0") + "," + (decoder.told[2] ? "1" : "0"));
    line("windowTitle", startup.windowTitle);
    line("restoreChoice", num(startup.restoreChoice));
    line("endBoxShown", num(endBox.shown ? 1 : 0));
    line("audioSink", audio::sinkName());
    line("loopPasses", num(double(mainLoop.passes)));
    int pos = tracks.playPosition;
    line("positionMs",
         num(pos >= 1 && pos < kTrackSlots ? tracks.playlist[size_t(pos)].positionMs : 0));
    line("channelSyncPos",
         num(transport.channelSyncPos[0]) + "," + num(transport.channelSyncPos[1]));
    line("stayOnSong", num(transport.stayOnSong));
    line("keepPosition", num(transport.keepPosition));
    line("blendNow", num(transport.blendNow));
    line("fadeFactor", num(transport.fadeFactor));
    line("nextStarted", num(crossFade.nextStarted));
    line("inChannel", num(transport.inChannel));
    line("outChannel", num(transport.outChannel));
    line("zoomLevel", num(envelopeView.zoomLevel));
    line("fadesDone", num(double(crossFade.fadesDone)));
    line("leftTriggerPercent", num(triggers.leftTriggerPercent));
    line("rightTriggerPercent", num(triggers.rightTriggerPercent));
    line("clickLockUntil", num(mouseDispatch.clickLockUntil));
    for (int k = 0; k < kEnvelopeSlots; ++k) {
        std::string n = std::to_string(k);
        line(("envelopePresent." + n).c_str(), num(envelopes.envelopePresent[size_t(k)]));
        line(("blockCount." + n).c_str(), num(envelopes.blockCount[size_t(k)]));
        line(("envelopeTrackName." + n).c_str(), envelopes.envelopeTrackName[size_t(k)]);
        line(("startCue." + n).c_str(), num(envelopes.startCue[size_t(k)]));
        line(("startCueManual." + n).c_str(), num(envelopes.startCueManual[size_t(k)]));
    }
    line("wildness", num(compressor.wildness));
    line("folderCount", num(tracks.folderCount));
    line("stackTop", num(listViews.stackFirstShown));
    line("stackAnchor", num(listOps.stackAnchor));
    line("nameOrderFlag", num(listOps.nameOrderFlag));
    line("lengthOrderFlag", num(listOps.lengthOrderFlag));
    line("allowDuplicates", num(tracks.allowDuplicates));
    line("rightTab", num(controlPanel.rightTab));
    line("previewMode", num(preview.previewMode));
    line("previewTimeout", num(preview.previewTimeout));
    line("longClick", num(preview.longClick));
    line("endless", num(transport.endless));
    line("rotations", num(double(transport.rotations)));
    line("sessionFile", sessionFile.path);
    line("saveRepeatUntil", num(sessionFile.saveRepeatUntil));
    line("gongBank", num(gongs.bank));
    line("duckTempo", num(gongs.duckTempo));
    for (int g = 0; g < kGongCount; ++g) {
        const GongPlayer& p = gongs.player[size_t(g)];
        line(("gong." + std::to_string(g)).c_str(), p.path + "|" + p.name + "|" + num(p.lengthMs) +
                                                        "|" + num(p.posMs) + "|" + num(p.playing) +
                                                        "|" + num(p.volume) + "|" + num(p.duck));
    }
    for (int i = 1; i <= tracks.folderCount && i <= kMaxFolders; ++i)
        line(("folder." + std::to_string(i)).c_str(), tracks.folderTable[size_t(i)]);
    for (int i = 1; i <= tracks.stackCount && i < kTrackSlots; ++i) {
        const auto& e = tracks.stack[size_t(i)];
        line(("stack." + std::to_string(i)).c_str(),
             trackName(e) + "|" + num(e.lengthMs) + "|" + num(e.folderIndex) + "|" +
                 num(e.duplicateFlag) + "|" + num(e.stackMark));
    }
    for (int i = 1; i <= tracks.playlistCount && i < kTrackSlots; ++i) {
        const auto& e = tracks.playlist[size_t(i)];
        line(("playlist." + std::to_string(i)).c_str(),
             trackName(e) + "|" + num(e.lengthMs) + "|" + num(e.folderIndex) + "|" +
                 num(e.playlistSelected) + "|" + num(e.positionMs));
        line(("trigger." + std::to_string(i)).c_str(),
             num(e.leftTrigger) + "|" + num(e.rightTrigger));
    }
    return out;
}

void writeEnvelopeText(const std::string& dir, int slot) {
    if (slot < 0 || slot >= kEnvelopeSlots) return;
    std::string name = envelopes.envelopeTrackName[size_t(slot)];
    for (char& c : name)
        if (pathrules::isSeparator(c)) c = '_';
    std::ofstream out(pathrules::asFolder(dir) + "slot" + std::to_string(slot) + "-" + name + ".txt");
    for (int b = 0; b < envelopes.blockCount[size_t(slot)]; ++b)
        out << b << ' ' << envelopes.peakTable[envelopeIndex(slot, b)] << ' '
            << envelopes.levelTable[envelopeIndex(slot, b)] << '\n';
}
