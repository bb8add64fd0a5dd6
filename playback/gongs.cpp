#include "playback/gongs.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "lists/import.h"
#include "lists/length_probe.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/layout.h"
#include "platform/mci.h"
#include "platform/path_rules.h"
#include "platform/rounding.h"
#include "texts/notices.h"

Gongs gongs;

std::array<GongPlayer, kGongCount> Gongs::makePlayers() {
    std::array<GongPlayer, kGongCount> players;
    for (int g = 0; g < kGongCount; ++g)
        players[size_t(g)].alias = "Gong" + std::to_string(g);
    return players;
}

namespace {

constexpr double kClickLockSeconds = 0.3, kSeekLockSeconds = 0.17, kDuckLockSeconds = 0.2;
constexpr double kPollSeconds = 0.2, kBlinkSeconds = 1.0;
constexpr int32_t kSeekStepMs = 4000;
constexpr int kResumeStartVolume = 20, kFadeFloorVolume = 30;
// A gong's missing file is said briefly: the panel shows the rest.
constexpr NoticeTimes kGongNoticeTimes{6, 6};

bool panelAtStart() {
    return false;
}
bool (*panelQuery)() = panelAtStart;

void redrawCard(int g) {
    hooks::requestRedraw(hooks::Redraw::GongCard, g);
}

void redrawPanel() {
    hooks::requestRedraw(hooks::Redraw::GongPanel);
}

int32_t mciNumber(const char* verb, GongPlayer& p) {
    return mciCommand(verb, p.alias);
}

// Until the clock has passed `ms` from now, in sleeps of `sliceMs`.
void waitInSlices(double ms, double sliceMs) {
    const double until = timing::now() + ms / 1000.0;
    while (timing::now() < until)
        timing::sleepMs(sliceMs);
}

// Brings the volume down from the player's own so that pausing never clicks.
void fadeDown(GongPlayer& p) {
    int volume = p.volume;
    while (volume > kFadeFloorVolume) {
        volume = roundEven(volume * 0.92);
        mciVolume(p.alias, volume);
        waitInSlices(5, 2);
    }
}

void showUnplayable(int g) {
    notices.noticeNumber = g + 1;
    notices.songName = gongs.player[size_t(g)].path;
    showNotice(notice::kGongUnplayable);
}

void startPlaying(int g) {
    GongPlayer& p = gongs.player[size_t(g)];
    if (mciOpen(p.path, p.alias) != 0) {
        // A file gone or broken since LOAD: it must not duck the playlist for ever.
        mciCommand("aus", p.alias);
        showUnplayable(g);
        redrawCard(g);
        return;
    }
    if (p.posMs == 0) {
        mciVolume(p.alias, p.volume);
        mciCommand("an", p.alias);
    } else {
        // Resuming mid-way: come up from almost nothing, 8 % a step.
        int volume = kResumeStartVolume;
        mciVolume(p.alias, volume);
        mciSeek(p.alias, p.posMs);
        for (;;) {
            volume = roundEven(volume * 1.08);
            if (volume >= p.volume) break;
            mciVolume(p.alias, volume);
            waitInSlices(5, 12);
        }
        mciVolume(p.alias, p.volume);
    }
    p.curVolume = p.volume;
    p.lengthMs = mciNumber("len", p);
    p.posMs = mciNumber("pos", p);
    p.endTime = timing::now() + (p.lengthMs - p.posMs) / 1000.0 + 0.05;
    p.playing = 1;
    redrawCard(g);
}

void pause(int g) {
    GongPlayer& p = gongs.player[size_t(g)];
    fadeDown(p);
    p.playing = 0;
    p.posMs = mciNumber("pos", p);
    mciCommand("aus", p.alias);
    redrawCard(g);
}

void stop(int g) {
    GongPlayer& p = gongs.player[size_t(g)];
    if (p.playing == 0) {
        p.posMs = 0; // rewinding a paused player needs no MCI
    } else {
        fadeDown(p);
        p.posMs = 0;
        p.playing = 0;
        mciCommand("aus", p.alias);
    }
    redrawCard(g);
}

// Ctrl+Shift on the time field: 4 s back (left) or forward (right).
void seek(int g, bool forward) {
    GongPlayer& p = gongs.player[size_t(g)];
    if (p.playing == 1) {
        p.posMs = mciNumber("pos", p);
        p.lengthMs = mciNumber("len", p);
    }
    const bool allowed =
        forward ? p.posMs + 9000 <= p.lengthMs : p.posMs + 1000 <= p.lengthMs && p.posMs >= 300;
    if (!allowed) return;
    const int32_t target = std::max(0, p.posMs + (forward ? kSeekStepMs : -kSeekStepMs));
    if (p.playing == 1) {
        mciSeek(p.alias, target);
        p.posMs = mciNumber("pos", p);
        // The end moved with the position.
        p.endTime = timing::now() + (p.lengthMs - p.posMs) / 1000.0 + 0.05;
    } else {
        p.posMs = target;
    }
    redrawCard(g);
    gongs.clickLockUntil = timing::now() + kSeekLockSeconds;
}

void load(int g, bool ctrl) {
    GongPlayer& p = gongs.player[size_t(g)];
    if (ctrl) {
        resetGongPlayer(g);
        showNotice(notice::kGongReset);
        redrawPanel();
        return;
    }
    const dialogs::FileFilter filter{"Audio Dateien (*.MP3)", ".mp3"};
    auto picked = dialogs::openFile("EINE Datei (MP3)", filter, importRun.importFolder);
    if (!picked) {
        showNotice(notice::kNoFile, kGongNoticeTimes);
        redrawPanel();
        return;
    }
    const std::string& path = *picked;
    importRun.importFolder = pathrules::folderOf(path);
    p.path = path;
    p.name = pathrules::nameOf(path);
    p.posMs = 0;
    p.lengthMs = probeLength(path, kGongProbeAlias);
    if (!admitGong(path, p.lengthMs)) {
        p.path.clear();
        p.name.clear();
        p.lengthMs = 0;
        showNotice(notice::kGongRefused);
    }
    redrawPanel();
}

void stepVolume(int g, int buttons) {
    GongPlayer& p = gongs.player[size_t(g)];
    if ((buttons & 1) && p.volume > 100) p.volume -= 50;
    if ((buttons & 2) && p.volume < 1000) p.volume += 50;
    p.volume = std::clamp(p.volume, 100, 1000);
    redrawCard(g);
    if (p.playing == 1) {
        mciVolume(p.alias, p.volume);
        p.curVolume = p.volume;
    }
}

void stepDuck(int g, int buttons) {
    if (timing::now() < gongs.duckClickLockUntil) return;
    gongs.duckClickLockUntil = timing::now() + kDuckLockSeconds;
    GongPlayer& p = gongs.player[size_t(g)];
    p.duck = gongDuckAfterClick(p.duck, (buttons & 1) ? -1 : 1);
    redrawCard(g);
}

} // namespace

void setGongPanelQuery(bool (*query)()) {
    panelQuery = query ? query : panelAtStart;
}

bool gongPanelShown() {
    return panelQuery();
}

void gongAct(const GongSpot& spot, const GongPress& click, bool duringFade) {
    const double now = timing::now();
    if (now < gongs.clickLockUntil) return;
    gongs.clickLockUntil = now + kClickLockSeconds;
    const GongPress& m = click;
    const bool left = (m.buttons & 1) != 0;
    const int g = spot.player;
    switch (spot.control) {
    case GongControl::Tempo:
        if (!left) return;
        gongs.duckTempo = int16_t(1 - gongs.duckTempo);
        redrawPanel();
        return;
    case GongControl::Bank:
        if (!left) return;
        gongs.bank = int16_t(gongs.bank == 0 ? 4 : 0);
        redrawPanel();
        return;
    case GongControl::Times:
        if (click.ctrl && click.shift && (m.buttons & 3) != 0) seek(g, !left);
        return;
    case GongControl::Load:
        if (!duringFade && gongs.player[size_t(g)].playing == 0) load(g, click.ctrl);
        return;
    case GongControl::Play:
        if (gongs.player[size_t(g)].path.empty()) return;
        if (gongs.player[size_t(g)].playing == 0)
            startPlaying(g);
        else
            pause(g);
        return;
    case GongControl::Stop:
        stop(g);
        return;
    case GongControl::Volume:
        stepVolume(g, m.buttons);
        return;
    case GongControl::Duck:
        if (!duringFade) stepDuck(g, m.buttons);
        return;
    case GongControl::Name:
    case GongControl::None:
        return;
    }
}

void pollGongs() {
    const double now = timing::now();
    if (now < gongs.nextPollTime) return;
    gongs.nextPollTime = now + kPollSeconds;
    for (int g = 0; g < kGongCount; ++g) {
        GongPlayer& p = gongs.player[size_t(g)];
        if (p.playing == 0) continue;
        if (now <= p.endTime) {
            const int32_t before = p.posMs;
            p.posMs = mciNumber("pos", p);
            // A file cut while it plays ends its stream short of the length:
            // a position that stands still on a stream that stopped has ended,
            // and waiting for the old length would duck and show it playing.
            if (p.posMs != before || mciPlaying(p.alias)) {
                if (gongPanelShown()) redrawCard(g);
                continue;
            }
        } else {
            p.posMs = mciNumber("pos", p);
            p.lengthMs = mciNumber("len", p);
            const bool atEnd = p.posMs >= p.lengthMs - 2 && p.posMs != 0;
            if (!atEnd && mciPlaying(p.alias)) continue;
        }
        p.playing = 0;
        mciCommand("aus", p.alias);
        timing::waitMs(4);
        p.posMs = 0;
        if (gongPanelShown()) redrawPanel();
    }
}

void blinkGongTab() {
    if (gongPanelShown() || timing::now() < gongs.nextBlinkTime) return;
    gongs.nextBlinkTime = timing::now() + kBlinkSeconds;
    gongs.blink = int16_t(gongs.blink ^ 1);
    if (anyGongPlaying() || gongs.blink == 1)
        hooks::requestRedraw(hooks::Redraw::GongTabMarker, 23 + 7 * gongs.blink);
}

void serviceGongsInTransportLoop() {
    hooks::gongClicks();
    blinkGongTab();
    pollGongs();
}

void resetGongPlayer(int g) {
    GongPlayer& p = gongs.player[size_t(g)];
    const std::string alias = p.alias;
    p = GongPlayer{};
    p.alias = alias;
}

bool anyGongPlaying() {
    return std::any_of(gongs.player.begin(), gongs.player.end(),
                       [](const GongPlayer& p) { return p.playing != 0; });
}

std::array<GongDuckInput, kGongCount> gongDuckInputs() {
    std::array<GongDuckInput, kGongCount> in;
    for (size_t g = 0; g < in.size(); ++g) {
        const GongPlayer& p = gongs.player[g];
        in[g] = {p.playing != 0, p.posMs, p.lengthMs, p.duck};
    }
    return in;
}

float gongDuckAfterClick(float duck, int side) {
    int s = int(std::floor(20.0 * std::log10(double(duck) + 0.02)));
    s = side < 0 ? std::max(s - 3, -18) : std::min(s + 3, 0);
    return float(std::floor(100.0 * std::pow(10.0, s / 20.0)) / 100.0);
}
