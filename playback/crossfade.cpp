#include "playback/crossfade.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "analysis/envelope.h"
#include "analysis/triggers.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/layout.h"
#include "platform/mci.h"
#include "platform/random.h"
#include "platform/rounding.h"
#include "playback/compressor.h"
#include "playback/gongs.h"
#include "playback/transport.h"
#include "texts/notices.h"

CrossFade crossFade;

namespace {

constexpr double kPhase1TickMs = 25, kLaterTickMs = 80, kPauseTickMs = 60;
constexpr double kClickPauseSeconds = 0.3;
// Clicks in the first moments of a fade are the BLENDE click that began it.
constexpr double kClickWatchDelay = 0.6;
constexpr int32_t kTooLateToFadeMs = 800;
constexpr int32_t kSongEndMarginMs = 80;
constexpr double kOpenRetrySeconds = 5, kFolderLookSeconds = 0.25;
// Heard-out endings: audibility, the fade's least length, the margin that
// makes keeping worth it, and the next song's room to carry on.
constexpr double kInaudibleFactor = 0.0031623; // -50 dB
constexpr double kUnderLoudest = 0.01;         // 40 dB
constexpr int32_t kFadeMs = 3000, kHeardMarginMs = 1000, kNextRoomMs = 10000;

bool nextSongExists() {
    return tracks.playPosition < tracks.playlistCount && playlistSlot(tracks.playPosition + 1);
}

int32_t nextLength() {
    PlaylistEntry* next = playlistSlot(tracks.playPosition + 1);
    return next ? next->lengthMs : 0;
}

using timing::sleepUntil;
using timing::waitMs;

// Discards waiting keys, but a request to end the session is never lost.
void discardKeysKeepingEnd() {
    hooks::dropKeys();
}

// Every decrement of the fade stays positive only for BLEND 0 to 3; a value
// from elsewhere (a damaged session file) must not make a fade endless.
int blendSteps() {
    return std::clamp<int>(transport.blendSetting, 0, 3);
}

// One fade from its set-up to the advance.
struct Fade {
    int out = 0, in = 1;
    PlaylistEntry* song = nullptr;
    int32_t len = 0;
    int32_t cur = 0;
    bool stopped = false; // the STOPP box of the pause ended the playing
};

void trackOutgoing(Fade& fade) {
    fade.cur = currentPositionMs(fade.out, kFadeSyncLimitSeconds);
    if (fade.song) fade.song->positionMs = fade.cur;
}

void refreshDisplays(const Fade& fade) {
    hooks::requestRedraw(hooks::Redraw::Progress, 0);
    if (transport.channelOpen[fade.in] == 1) hooks::requestRedraw(hooks::Redraw::Progress, 1);
    hooks::requestRedraw(hooks::Redraw::EnvelopeStrip);
    hooks::requestRedraw(hooks::Redraw::EndClock);
}

void countClick() {
    const double now = timing::now();
    if (now < crossFade.clickCountFrom) return;
    const hooks::Pointer m = hooks::pointer();
    if (m.buttons == 0) return;
    const bool onIndicator =
        m.x >= kIndicatorX1 && m.x <= kIndicatorX2 && m.y >= kIndicatorY1 && m.y <= kIndicatorY2;
    if (!onIndicator && !kBlendeRect.contains(m.x, m.y)) return;
    crossFade.blendClicks = uint8_t(std::min(3, crossFade.blendClicks + 1));
    crossFade.clickCountFrom = now + kClickPauseSeconds;
}

void showFadeIndicator() {
    const bool hintGrey = crossFade.blendClicks >= 3 || timing::now() < crossFade.clickCountFrom;
    hooks::requestRedraw(hooks::Redraw::FadeIndicator, hintGrey ? 1 : 0);
}

void sendOutgoing(const Fade& fade, bool atLeastOne) {
    updateDuck();
    double v = std::floor(transport.fadeFactor * transport.masterVolume * compressor.gain *
                          compressor.duckFactor);
    if (atLeastOne) v = std::max(v, 1.0);
    mciVolume(transport.channelAlias[fade.out], v);
}

void sendIncoming(const Fade& fade) {
    updateDuck();
    sendLevelVolume(fade.in, compressor.nextTrackGain);
}

void startNext() {
    transport.slotIndex = 1;
    startSong();
    crossFade.nextStarted = 1;
}

// Starts the next song once its time has come; true when it started now.
bool startNextWhenDue(const Fade& fade) {
    if (transport.autoPlay != 1 || timing::now() <= crossFade.nextStartTime ||
        transport.channelOpen[fade.in] != 0 || !nextSongExists())
        return false;
    startNext();
    return true;
}

// The decrement a very short next song adds once it plays, so that the
// outgoing song is gone before the short one is over.
float shortNextDecrement() {
    const int32_t next = nextLength();
    if (crossFade.nextStarted != 1 || next >= 9000) return 0.0f;
    return float(0.1 - next / 1000.0 * 0.01);
}

void setUpFade() {
    // Long pauses vary around the user's setting. Drawing from the last
    // drawn value instead would let them drift upwards song after song.
    double& pause = transport.pauseSeconds;
    if (pause != crossFade.drawnPause) {
        // The setting runs from 0 to 60 s; nothing else may stall the player.
        pause = std::isfinite(pause) ? std::clamp(pause, 0.0, 60.0) : 0.0;
        crossFade.pauseBase = pause;
    }
    if (crossFade.pauseBase > 10) {
        const double u = rng::unit();
        pause = std::floor(u * crossFade.pauseBase / 2) + crossFade.pauseBase - 2;
        crossFade.drawnPause = pause;
    }
    const double now = timing::now();
    const int blend = blendSteps();
    crossFade.nextStartTime = now + 0.13 * blend + pause + 0.4;
    crossFade.blendClicks = 0;
    crossFade.nextStarted = 0;
    crossFade.clickCountFrom = now + kClickWatchDelay;
    crossFade.fading = true;
    transport.fadeFactor = 1.0f;
}

void runPhase1(Fade& fade) {
    const int blend = blendSteps();
    float e = 0.8f - float(blend) / 12.0f;
    float d = (7.0f - 1.3f * float(blend)) / 1500.0f;
    if (compressor.nextTrackGain > 900 && transport.autoPlay == 1) {
        d = float(6 - blend) / 1000.0f;
        e = 0.9f;
    }
    if (transport.pauseSeconds > 0.2 && timing::now() + 0.2 < crossFade.nextStartTime) d *= 0.3f;

    float& f = transport.fadeFactor;
    for (f = 1.0f; f >= e; f -= d) {
        const double tickStart = timing::now();
        discardKeysKeepingEnd(); // the keys go at the next phase anyway; Ctrl+X shows at once
        countClick();
        serviceGongsInTransportLoop();
        if (crossFade.blendClicks > 0) f *= 1.0f - float(crossFade.blendClicks) / 100.0f;
        f = std::clamp(f, 0.0f, 1.0f);
        showFadeIndicator();
        sendOutgoing(fade, false);
        if (transport.channelOpen[fade.in] == 1) sendIncoming(fade);
        sleepUntil(tickStart + kPhase1TickMs / 1000.0);
        compressorTick();
        trackOutgoing(fade);
        refreshDisplays(fade);
        if (startNextWhenDue(fade) && nextLength() < 7500) break;
    }
}

// The middle phase: ends on a key, a low level, its time, the song's end or
// the start of the next song.
void runPhase2(Fade& fade) {
    const int blend = blendSteps();
    float need = std::clamp(crossFade.needNextMs, 800.0f, 18000.0f);
    if (transport.blendNow == 1) need = 270.0f * float(blend) + 300.0f;
    crossFade.needNextMs = need;
    crossFade.fadeEndTime = timing::now() + need / 1000.0;
    discardKeysKeepingEnd();
    const float base = float(4 - blend) * 0.0008f;
    float& f = transport.fadeFactor;

    for (;;) {
        const double tickStart = timing::now();
        trackOutgoing(fade);
        refreshDisplays(fade);
        bool keyPressed = false;
        for (;;) {
            const std::string key = hooks::nextKey();
            if (input::endsSession(key)) hooks::requestEnd();
            if (!key.empty()) keyPressed = true;
            if (keyPressed || timing::now() >= tickStart + kLaterTickMs / 1000.0) break;
            timing::sleepMs(3);
        }
        if (keyPressed) break;
        countClick();
        serviceGongsInTransportLoop();

        float step = 0.005f * float(crossFade.blendClicks) + base;
        if (transport.autoPlay == 0) step += 0.008f;
        if (float(fade.cur) >= crossFade.endTrigMs - 400)
            step += 0.003f;
        else
            step += transport.pauseSeconds > 2.0 ? 0.003f : 0.002f;
        if (crossFade.nextStarted == 1 && float(fade.cur) > crossFade.endTrigMs) step += 0.0025f;
        step += shortNextDecrement();
        f = std::clamp(f - step, 0.0f, 1.0f);

        showFadeIndicator();
        updateDuck();
        compressorTick();
        sendOutgoing(fade, true);
        if (transport.channelOpen[fade.in] == 1 && compressor.duckFactor < 1.0f) sendIncoming(fade);
        if (f < 0.22f || startNextWhenDue(fade)) break;
        if (timing::now() > crossFade.fadeEndTime || fade.cur > fade.len - kSongEndMarginMs) break;
    }
}

void runPhase3(Fade& fade) {
    const int blend = blendSteps();
    float s3 = 0.0072f - 1.3f * 0.0012f * float(blend);
    if (blend == 0) s3 += 0.008f;
    float& f = transport.fadeFactor;

    for (;;) {
        const double tickStart = timing::now();
        f -= crossFade.nextStarted == 1 ? 1.5f * s3 : s3;
        if (crossFade.nextStarted == 1 && float(fade.cur) > crossFade.endTrigMs) f -= 0.003f;
        f -= shortNextDecrement();
        if (transport.autoPlay == 0) f -= 0.01f;
        if (blend == 0) f -= 0.01f;
        f = std::max(f, 0.0f);
        f -= 0.006f * float(crossFade.blendClicks);
        if (crossFade.nextStarted != 1) f -= 0.005f;
        f = std::clamp(f, 0.0f, 1.0f);

        showFadeIndicator();
        discardKeysKeepingEnd();
        countClick();
        serviceGongsInTransportLoop();
        updateDuck();
        compressorTick();
        sendOutgoing(fade, true);
        if (transport.channelOpen[fade.in] == 1 && compressor.duckFactor < 1.0f) sendIncoming(fade);
        sleepUntil(tickStart + kLaterTickMs / 1000.0);
        trackOutgoing(fade);
        refreshDisplays(fade);
        startNextWhenDue(fade);
        if (f < 0.005f || fade.cur > fade.len - kSongEndMarginMs) break;
    }
}

// Where the playing song's recording, as it sounds behind its match, falls
// for good below audibility: -50 dBFS, or 40 dB under its loudest block
// when that is higher. 0 without an envelope.
int32_t audibleEndMs(const Fade& fade) {
    const int32_t blocks = std::min(envelopes.blockCount[0], kEnvelopeBlocks);
    if (envelopes.envelopePresent[0] == 0 || blocks <= 0 || fade.len <= 0) return 0;
    const double match = compressor.channelMatch[size_t(fade.out)] / 1000.0;
    const int32_t loudest = loudestBlock(envelopes.levelTable, 0);
    const double floorLevel = std::max(32767.0 * kInaudibleFactor, loudest * match * kUnderLoudest);
    int32_t last = 0;
    for (int32_t b = blocks - 1; b >= 0 && last == 0; --b)
        if (envelopes.levelTable[envelopeIndex(0, b)] * match >= floorLevel) last = b + 1;
    return int32_t(std::llround(double(last) * fade.len / blocks));
}

// With ANGLEICHEN a song whose recorded fade-out outlasts the fade is
// heard out: where its sound ends when the fade would close it while still
// audible and the next song is long enough to carry on after it; else 0.
int32_t recordedEndingToKeep(const Fade& fade) {
    if (compressor.matchOn == 0 || transport.autoPlay != 1 || transport.blendNow == 1 ||
        !nextSongExists())
        return 0;
    const int32_t endMs = audibleEndMs(fade);
    const int32_t fadeEnd = std::max(roundEven(crossFade.endTrigMs), fade.cur + kFadeMs);
    const bool keep =
        endMs > fadeEnd + kHeardMarginMs && nextLength() > endMs - fade.cur + kNextRoomMs;
    return keep ? endMs : 0;
}

// The outgoing song fades by its own recording: it plays on at its level
// while the next song comes in under it as with a fade, until its sound is
// gone. A BLENDE click or a key hands over to the fade; false then.
bool runRecordedEnding(Fade& fade, int32_t endMs) {
    transport.fadeFactor = 1.0f;
    for (;;) {
        const double tickStart = timing::now();
        const std::string key = hooks::nextKey();
        if (input::endsSession(key)) hooks::requestEnd();
        countClick();
        serviceGongsInTransportLoop();
        showFadeIndicator();
        updateDuck();
        compressorTick();
        sendOutgoing(fade, true);
        if (transport.channelOpen[fade.in] == 1 && compressor.duckFactor < 1.0f) sendIncoming(fade);
        startNextWhenDue(fade);
        if (!key.empty() || crossFade.blendClicks > 0) return false;
        sleepUntil(tickStart + kLaterTickMs / 1000.0);
        trackOutgoing(fade);
        refreshDisplays(fade);
        if (fade.cur >= endMs || fade.cur > fade.len - kSongEndMarginMs) return true;
    }
}

enum class PauseClick { None, StartNow, Stop };

PauseClick pauseClick() {
    const hooks::Pointer m = hooks::pointer();
    if (m.buttons == 0 || m.x < 0) return PauseClick::None;
    if (m.x >= kStopBoxX1 && m.x <= kStopBoxX2 && m.y >= kStopBoxY1 && m.y <= kStopBoxY2)
        return PauseClick::Stop;
    return m.x < kStackLeft ? PauseClick::StartNow : PauseClick::None;
}

// The pause between songs; false when the user stopped the player in it.
bool waitOutPause() {
    const bool countdown = transport.pauseSeconds > 4;
    if (countdown) hooks::requestRedraw(hooks::Redraw::PauseCountdownBox);
    // A long pause may just have been drawn anew.
    hooks::requestRedraw(hooks::Redraw::PauseSecondsButton);
    double nextSecond = 0;
    PauseClick click = PauseClick::None;
    while (click == PauseClick::None && timing::now() <= crossFade.nextStartTime) {
        const double tickStart = timing::now();
        if (countdown && tickStart >= nextSecond) {
            hooks::requestRedraw(hooks::Redraw::PauseCountdownSeconds);
            nextSecond = tickStart + 1.0;
        }
        updateDuck();
        serviceGongsInTransportLoop();
        discardKeysKeepingEnd();
        // A short click must not fall between two ticks.
        while (click == PauseClick::None && timing::now() < tickStart + kPauseTickMs / 1000.0) {
            timing::sleepMs(3);
            click = pauseClick();
        }
    }
    if (countdown) hooks::requestRedraw(hooks::Redraw::PlaylistView);
    return click != PauseClick::Stop;
}

// Closes the faded song, waits out the pause, starts the next song when it
// has not started yet, and moves the playlist on.
void finishChangeOver(Fade& fade, bool waitForPause) {
    waitMs(kLaterTickMs);
    mciCommand("aus", transport.channelAlias[fade.out]);
    waitMs(10);
    transport.channelOpen[fade.out] = 0;
    crossFade.fading = false;
    transport.fadeFactor = 1.0f;
    if (transport.keepPosition != 1 && fade.song) fade.song->positionMs = 0;
    waitMs(10);

    if (transport.autoPlay == 1 && crossFade.nextStarted == 0 && nextSongExists()) {
        // Whatever cut the fade short, the next song must follow: a missing
        // start would leave the player on a silent channel.
        bool play = true;
        if (waitForPause && transport.pauseSeconds > 1.0) play = waitOutPause();
        if (play) {
            startNext();
        } else {
            fade.stopped = true;
        }
    }

    if (tracks.playPosition < tracks.playlistCount) {
        noteSongChange();
        shiftEnvelopesOnAdvance();
        ++tracks.playPosition;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
        if (fade.stopped)
            transport.playerRunning = 0;
        else
            transport.currentChannel = int16_t(transport.currentChannel ^ 1);
        if (!tracks.playlistScrolledByHand) {
            tracks.playlistTop = tracks.playPosition;
            hooks::requestRedraw(hooks::Redraw::PlaylistView);
            waitMs(20);
        }
    } else {
        // The last song is over and nothing follows: PLAY must work again.
        transport.playerRunning = 0;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
    transport.blendNow = 0;
    if (transport.autoPlay == 0) {
        transport.channelOpen[0] = 0;
        transport.channelOpen[1] = 0;
        transport.playerRunning = 0;
    }
    discardKeysKeepingEnd();
    ++crossFade.fadesDone;
}

// The next song takes over at once: the playing one is (almost) over.
void changeOverWithoutFade(Fade& fade) {
    crossFade.nextStarted = 0;
    crossFade.nextStartTime = timing::now();
    if (transport.autoPlay == 1 && nextSongExists()) {
        startNext();
    }
    finishChangeOver(fade, false);
}

// A folder that is gone is away. One without any MP3 may be the empty mount
// point an unmounted share or stick leaves behind, or a folder whose last
// song was deleted: away only when the song before failed as well.
bool folderAway(const PlaylistEntry& song) {
    const int f = song.folderIndex;
    if (f < 1 || f >= int(tracks.folderTable.size())) return false;
    const std::string& folder = tracks.folderTable[size_t(f)];
    if (!files::exists(folder)) return true;
    return transport.openFailures >= 2 && files::listMp3Candidates(folder).empty();
}

// Tries the song again every few seconds, and at once when its folder is back.
void waitForFolder(const Fade& fade) {
    const double now = timing::now();
    const bool firstTime = crossFade.nextOpenRetryTime == 0;
    if (!firstTime && now < crossFade.nextOpenRetryTime) {
        // Between tries the folder is looked for a few times a second, not
        // on every pass: a listing of a share costs.
        if (now < crossFade.nextFolderLook) return;
        crossFade.nextFolderLook = now + kFolderLookSeconds;
        if (folderAway(*fade.song)) return;
    }
    crossFade.nextOpenRetryTime = now + kOpenRetrySeconds;
    notices.songName = fullPath(*fade.song);
    // Shown until the next look, which shows it again or plays on.
    showNotice(notice::kFolderAway, {kOpenRetrySeconds + 1, kOpenRetrySeconds - 1});
    if (firstTime) return;
    reopenCurrentSong();
    // The folder is back but the song is not: it is skipped as any other.
    if (transport.openFailed[fade.out] == 1 && !folderAway(*fade.song))
        crossFade.nextOpenRetryTime = 0;
}

} // namespace

void superviseTransport() {
    trackPlayingPosition();
    if (tracks.playPosition > tracks.playlistCount) return;
    Fade fade;
    fade.out = transport.currentChannel & 1;
    fade.in = fade.out ^ 1;
    transport.outChannel = int16_t(fade.out);
    transport.inChannel = int16_t(fade.in);
    fade.song = playlistSlot(tracks.playPosition);
    if (!fade.song) return;
    // A song still waiting for its analysis ends where a song without one would.
    if (fade.song->rightTrigger == 0) defaultEntryTriggers(0);
    fade.len = fade.song->lengthMs;
    fade.cur = fade.song->positionMs;
    const bool last = !nextSongExists();
    PlaylistEntry* next = last ? nullptr : playlistSlot(tracks.playPosition + 1);

    if (next && next->playlistSelected == 1 && fade.len - fade.cur < 30000) {
        next->playlistSelected = 0;
        hooks::requestRedraw(hooks::Redraw::PlaylistView);
    }
    if (fade.cur < 100 && transport.blendNow == 1) {
        transport.blendNow = 0;
        showRefusedSign();
        return;
    }

    float need = 0;
    if (next && transport.autoPlay == 1) {
        need = float(next->leftTrigger * next->lengthMs);
        int32_t startPos = roundEven(envelopes.startCue[1] * next->lengthMs);
        if (envelopes.startCueManual[1] == 1)
            startPos -= std::min<int32_t>(transport.fadeInMs, startPos);
        need = std::max(0.0f, need - float(startPos));
    }
    crossFade.needNextMs = need;
    crossFade.endTrigMs = float(fade.len * fade.song->rightTrigger);

    const bool open = transport.channelOpen[fade.out] == 1;
    if (open && fade.cur > 0 && fade.cur > fade.len - kTooLateToFadeMs && transport.blendNow == 1 &&
        !last) {
        changeOverWithoutFade(fade);
        return;
    }
    // A song whose file could not be opened (deleted, renamed) would stay
    // silent at position 0 for good: skip it. When its whole folder is away
    // (a network share or USB stick that dropped out), the songs after it are
    // too: wait for the folder on this song instead of racing through the list.
    if (open && transport.openFailed[fade.out] == 1 && transport.channelOpen[fade.in] == 0) {
        if (crossFade.nextOpenRetryTime != 0 || folderAway(*fade.song)) {
            waitForFolder(fade);
            return;
        }
        crossFade.nextOpenRetryTime = 0;
        transport.openFailed[fade.out] = 0;
        changeOverWithoutFade(fade);
        return;
    }
    crossFade.nextOpenRetryTime = 0;
    // A stream that stopped before its song's length (the file was cut short or
    // replaced since the import) hands over as a song at its end does.
    if (open && transport.streamEnded[fade.out] == 1 && transport.channelOpen[fade.in] == 0) {
        transport.streamEnded[fade.out] = 0;
        notices.songName = trackName(*fade.song);
        showNotice(notice::kCutShort);
        changeOverWithoutFade(fade);
        return;
    }
    // A song that ran to its end without a fade (its trigger forbade one, or
    // the next song's lead-in was longer than the song) hands over here.
    if (open && transport.blendNow == 0 && fade.len > 0 &&
        fade.cur >= fade.len - kSongEndMarginMs && transport.channelOpen[fade.in] == 0) {
        changeOverWithoutFade(fade);
        return;
    }
    if (transport.autoPlay == 0 && float(fade.cur) > crossFade.endTrigMs) return;
    if (crossFade.endTrigMs < 5000 && transport.blendNow == 0 && fade.len > 12000) return;
    if (crossFade.needNextMs > crossFade.endTrigMs) return;
    crossFade.fadeLead = std::max(
        1000, roundEven(crossFade.endTrigMs - crossFade.needNextMs - 300 - 660.0 * blendSteps()));
    if (transport.blendNow != 1 &&
        (fade.cur <= crossFade.fadeLead || transport.channelOpen[fade.in] != 0)) {
        transport.blendNow = 0;
        discardKeysKeepingEnd();
        return;
    }
    waitMs(3);

    setUpFade();
    if (const int32_t endMs = recordedEndingToKeep(fade); endMs > 0) {
        if (runRecordedEnding(fade, endMs)) {
            if (transport.channelOpen[fade.in] == 0 && nextSongExists()) startNext();
            finishChangeOver(fade, false);
            return;
        }
    } else {
        runPhase1(fade);
    }
    runPhase2(fade);
    if (transport.pauseSeconds == 0 && transport.autoPlay == 1 &&
        transport.channelOpen[fade.in] == 0 && nextSongExists()) {
        startNext();
    }
    transport.fadeFactor = std::max(transport.fadeFactor, 0.001f);
    runPhase3(fade);
    finishChangeOver(fade, true);
}
