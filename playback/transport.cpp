#include "playback/transport.h"

#include <algorithm>
#include <cmath>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "lists/list_ops.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/layout.h"
#include "platform/mci.h"
#include "platform/rounding.h"
#include "playback/compressor.h"
#include "playback/crossfade.h"
#include "playback/gongs.h"

Transport transport;

namespace {

// The stop fade's thresholds: a slightly steeper slope between l and h, long
// ticks once the level is almost gone.
constexpr float kFadeHigh = 0.12f, kFadeLow = 0.03f, kFadeLast = 0.015f;
// Clicks during the first moments of a stop fade are the click that started it.
constexpr double kFadeClickWatchDelay = 0.2;
constexpr int kFadeStepMs = 20;

std::string& aliasOf(int channel) {
    return transport.channelAlias[channel & 1];
}

using timing::waitMs;

void sendVolumeValue(int channel, float value) {
    mciVolume(aliasOf(channel), value);
}

bool playlistFollowsPlayer() {
    return !tracks.playlistScrolledByHand;
}

bool pointerOnStopOrPause() {
    const hooks::Pointer m = hooks::pointer();
    if (m.buttons == 0) return false;
    bool onStops = m.x > kStopToStartRect.x1 && m.x < kStopToNextRect.x2 &&
                   m.y > kStopToStartRect.y1 && m.y < kStopToStartRect.y2;
    return onStops || kPauseRect.contains(m.x, m.y);
}

void noteOpenResult(bool failed) {
    transport.openFailures = failed ? int16_t(std::min(transport.openFailures + 1, 1000)) : 0;
}

} // namespace

int32_t currentPositionMs(int channel, double syncLimitSeconds) {
    channel &= 1;
    double now = timing::now();
    double sinceSync = now - transport.channelSyncTime[channel];
    if (sinceSync <= syncLimitSeconds)
        return std::max(0, roundEven(sinceSync * 1000.0 + transport.channelSyncPos[channel]));
    int32_t position = mciCommand("pos", aliasOf(channel));
    if (position != transport.channelSyncPos[channel])
        transport.positionMovedTime[channel] = now;
    else if (now - transport.positionMovedTime[channel] >= kStallSeconds &&
             transport.channelOpen[channel] == 1 && transport.openFailed[channel] == 0 &&
             !mciPlaying(aliasOf(channel)))
        transport.streamEnded[channel] = 1;
    transport.channelSyncTime[channel] = now;
    transport.channelSyncPos[channel] = position;
    return position;
}

void sendLevelVolume(int channel, float level, float factor) {
    sendVolumeValue(channel, factor * transport.masterVolume * level * compressor.duckFactor);
}

void play() {
    if (envelopes.startCue[0] <= 0 && envelopes.startCueManual[0] != 1) {
        if (auto* song = playlistSlot(tracks.playPosition)) song->playlistSelected = 0;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
        transport.currentChannel = 0;
        transport.channelOpen[1] = 0;
        transport.slotIndex = 0;
        prepareNextTrackGain(0);
        if (tracks.playPosition == 0) tracks.playPosition = 1;
        PlaylistEntry* song = playlistSlot(tracks.playPosition);
        transport.openFailed[0] =
            mciOpen(song ? fullPath(*song) : std::string(), aliasOf(0)) != 0 ? 1 : 0;
        transport.streamEnded[0] = 0;
        transport.positionMovedTime[0] = timing::now();
        noteOpenResult(transport.openFailed[0] == 1);
        sendMatchGain(0, 0);
        waitMs(3);
        updateDuck();
        sendLevelVolume(0, compressor.nextTrackGain);
        waitMs(3);
        mciCommand("an", aliasOf(0));
        waitMs(3);
        transport.channelOpen[0] = 1;
        transport.channelSyncTime[0] = -1e9; // the first reading comes from the player
        transport.playerRunning = 1;
        return;
    }
    transport.slotIndex = 0;
    transport.channelSyncTime[0] = timing::now();
    startSong();
    transport.playerRunning = 1;
    transport.currentChannel = transport.inChannel;
}

void startSong() {
    if (tracks.playPosition == tracks.playlistCount && currentChannelOpen()) return;
    const int s = transport.slotIndex;
    const int in = transport.inChannel & 1;
    PlaylistEntry* song = playlistSlot(tracks.playPosition + s);
    if (!song) return;
    song->playlistSelected = 0;
    std::string& alias = aliasOf(in);
    transport.openFailed[in] = mciOpen(fullPath(*song), alias) != 0 ? 1 : 0;
    transport.streamEnded[in] = 0;
    transport.positionMovedTime[in] = timing::now();
    noteOpenResult(transport.openFailed[in] == 1);
    sendMatchGain(in, s);
    prepareNextTrackGain(s);

    const bool manual = envelopes.startCueManual[size_t(s)] == 1;
    if (manual) {
        mciVolume(alias, 0);
    } else {
        updateDuck();
        sendLevelVolume(in, compressor.nextTrackGain);
    }
    if (song->rightTrigger == 0) defaultEntryTriggers(s);
    mciCommand("an", alias);

    transport.startPosMs = roundEven(envelopes.startCue[size_t(s)] * song->lengthMs);
    if (manual) {
        transport.fadeInLen = std::min<int32_t>(transport.fadeInMs, transport.startPosMs);
        transport.startPosMs = roundEven(transport.startPosMs - 0.3 * transport.fadeInLen);
    }
    transport.startPosMs = std::max(0, transport.startPosMs);

    if (s == 1 && playlistFollowsPlayer() && tracks.playPosition < tracks.playlistCount) {
        hooks::requestRedraw(hooks::Redraw::PlayLabel);
    }
    mciSeek(alias, transport.startPosMs);

    if (manual) {
        // A cue of less than 10 ms leaves no step to ramp with; one step then.
        int steps = std::max(1, roundEven(transport.fadeInLen / double(kFadeStepMs)));
        int increment = roundEven(compressor.nextTrackGain / float(steps));
        int volume = 0;
        double rampStart = timing::now();
        for (int step = 0; step < steps; ++step) {
            double stepStart = timing::now();
            volume = std::clamp(volume + increment, 1, 1000);
            updateDuck();
            serviceGongsInTransportLoop();
            sendVolumeValue(in, float(volume) * transport.masterVolume * compressor.duckFactor);
            while (timing::now() < stepStart + kFadeStepMs / 1000.0)
                timing::sleepMs(3);
            song->positionMs =
                std::max(0, roundEven((timing::now() - rampStart) * 1000.0 + transport.startPosMs));
            hooks::requestRedraw(hooks::Redraw::Progress, s == 1 ? 1 : 0);
        }
    } else {
        updateDuck();
        sendLevelVolume(in, compressor.nextTrackGain);
    }

    song->positionMs = mciCommand("pos", alias);
    transport.channelSyncTime[in] = timing::now();
    transport.channelSyncPos[in] = song->positionMs;
    transport.channelOpen[in] = 1;
    waitMs(2);
}

void keepPlaylistEndless() {
    // Fewer than four songs: the rotation would move the song that plays next.
    if (transport.endless == 0 || transport.autoPlay != 1 || transport.playerRunning == 0 ||
        !currentChannelOpen() || crossFade.fading || tracks.playlistCount < 4 ||
        tracks.playlistCount - tracks.playPosition != 2)
        return;
    if (rotatePlaylistToCurrent() > 0) ++transport.rotations;
}

void reopenCurrentSong() {
    const int ch = transport.currentChannel & 1;
    const int16_t in = transport.inChannel;
    transport.channelOpen[ch] = 0;
    transport.inChannel = int16_t(ch);
    transport.slotIndex = 0;
    startSong();
    transport.inChannel = in;
}

void stopWithFade() {
    const int ch = transport.currentChannel & 1;
    std::string& alias = aliasOf(ch);
    PlaylistEntry* song = playlistSlot(tracks.playPosition);
    const int32_t length = song ? song->lengthMs : 0;
    float& f = transport.fadeFactor;
    f = 1.0f;
    transport.fadeHurried = false;
    bool endRequested = false;
    const double watchFrom = timing::now() + kFadeClickWatchDelay;

    for (;;) {
        double tickStart = timing::now();
        std::string key = hooks::nextKey();
        // Asked at once, so that the box shows while the fade goes on.
        if (input::endsSession(key) && !endRequested) {
            endRequested = true;
            hooks::requestEnd();
        }

        f -= 0.003f;
        double tickMs = 15.0 * transport.blendSetting + 15.0;
        if (f > kFadeLow && f < kFadeHigh) f -= 0.001f;
        if (f <= kFadeLast) tickMs = 20.0 * transport.blendSetting + 20.0;
        if (transport.stayOnSong == 1) tickMs *= 0.3;
        if (transport.fadeHurried) f *= 0.98f;
        f = std::clamp(f, 0.0f, 1.0f);
        if (!transport.fadeHurried && timing::now() > watchFrom && pointerOnStopOrPause())
            transport.fadeHurried = true;

        hooks::requestRedraw(hooks::Redraw::FadeIndicator, transport.fadeHurried ? 1 : 0);
        serviceGongsInTransportLoop();
        updateDuck();
        sendVolumeValue(ch, transport.masterVolume * f * compressor.gain * compressor.duckFactor);
        while (timing::now() < tickStart + tickMs / 1000.0)
            timing::sleepMs(3);
        int32_t position = currentPositionMs(ch, kFadeSyncLimitSeconds);
        if (song) song->positionMs = position;
        hooks::requestRedraw(hooks::Redraw::Progress, 0);
        if (position > length - 100 || f < 0.001f) break;
    }

    mciCommand("aus", alias);
    waitMs(2);
    transport.channelOpen[ch] = 0;
    if (transport.keepPosition != 1 && song) song->positionMs = 0;
    waitMs(2);
    if (tracks.playPosition < tracks.playlistCount && transport.stayOnSong == 0) {
        noteSongChange();
        shiftEnvelopesOnAdvance();
        ++tracks.playPosition;
        if (playlistFollowsPlayer()) tracks.playlistTop = tracks.playPosition;
    }
    if (tracks.playlistScrolledByHand && tracks.playlistTop == tracks.playPosition)
        tracks.playlistScrolledByHand = false;
    hooks::requestRedraw(hooks::Redraw::PlaylistView);
}

void noteSongChange() {
    // A decode running now was started for the old order of the slots.
    decoder.advancedDuringDecode = decoder.decodeSlot;
}

void setPauseCue() {
    const int ch = transport.currentChannel & 1;
    int32_t p = mciCommand("pos", aliasOf(ch));
    int32_t length = std::max(1, mciCommand("len", aliasOf(ch)));
    if (PlaylistEntry* song = playlistSlot(tracks.playPosition)) {
        song->positionMs = p;
        song->lengthMs = length;
    }
    double cue = std::clamp((p - 300.0) / length, 0.0, 0.95);
    if (length > 150000) cue = std::min(cue, (length - 6000.0) / length);
    envelopes.startCue[0] = cue;
    envelopes.startCueManual[0] = 1;
}

static void seekPlaying(int32_t target) {
    const int ch = transport.currentChannel & 1;
    mciSeek(aliasOf(ch), target);
    if (PlaylistEntry* song = playlistSlot(tracks.playPosition)) song->positionMs = target;
    // The next reading comes from the player, not from before the jump.
    transport.channelSyncTime[ch] = timing::now() - 5.0;
    hooks::requestRedraw(hooks::Redraw::ProgressAfterJump);
}

void jumpForward() {
    PlaylistEntry* song = playlistSlot(tracks.playPosition);
    if (!song) return;
    int32_t p = currentPositionMs(transport.currentChannel, kFadeSyncLimitSeconds);
    int32_t length = song->lengthMs;
    if (!(p > 500 && p < length - 4000)) return;
    int32_t step = p > length - 90000 ? (length - p) / 5 : 30000;
    step = std::max(step, 1000);
    int32_t target = p + step;
    if (target > length - 2000) return;
    seekPlaying(target);
    waitMs(5);
}

void jumpBack() {
    PlaylistEntry* song = playlistSlot(tracks.playPosition);
    if (!song) return;
    int32_t p = currentPositionMs(transport.currentChannel, kFadeSyncLimitSeconds);
    if (p <= 1000) return;
    int32_t step = p < 60000 ? p / 5 : 20000;
    step = std::max(step, 1000);
    seekPlaying(std::max(1, p - step));
}

void showRefusedSign() {
    hooks::requestRedraw(hooks::Redraw::RefusedSign);
    for (int i = 0; i < 20; ++i)
        waitMs(30);
    hooks::requestRedraw(hooks::Redraw::PlaylistView);
}

void trackPlayingPosition() {
    const int ch = transport.currentChannel & 1;
    PlaylistEntry* song = playlistSlot(tracks.playPosition);
    if (!song || transport.channelOpen[ch] != 1) return;
    double limit = kSyncLimitSeconds;
    if (song->lengthMs < 30000) limit = kFadeSyncLimitSeconds;
    song->positionMs = currentPositionMs(ch, limit);
}

bool nearSongEnd() {
    const PlaylistEntry* song =
        tracks.playPosition <= tracks.playlistCount ? playlistSlot(tracks.playPosition) : nullptr;
    return song && currentChannelOpen() && song->positionMs + 25000 > song->lengthMs;
}
