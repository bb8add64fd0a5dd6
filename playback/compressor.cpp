#include "playback/compressor.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/envelope.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/mci.h"
#include "platform/rounding.h"
#include "playback/crossfade.h"
#include "playback/gongs.h"
#include "playback/transport.h"
#include "texts/notices.h"

Compressor compressor;

namespace {

constexpr double kTickSeconds = 0.016;
constexpr double kDuckStepSeconds = 0.02;
constexpr int kLastLookAheadBlock = 99000;
constexpr float kMinGain = 100.0f, kMaxGain = 1000.0f;

// Base knees of setups 1..12 and their tempo.
struct Setup {
    int32_t k1, k2, k3;
    int16_t tempo;
};
constexpr Setup kSetups[kSetupCount] = {
    {0, 0, 0, 1},          {1350, 1800, 2200, 0}, {1450, 1900, 2300, 1}, {1600, 2100, 2550, 2},
    {1755, 2340, 2860, 0}, {1885, 2470, 2990, 1}, {2080, 2730, 3315, 2}, {2295, 3060, 3740, 0},
    {2465, 3230, 3910, 1}, {2720, 3570, 4335, 2}, {3375, 4500, 5500, 0}, {3625, 4750, 5750, 1},
    {4000, 5250, 6375, 2},
};

// Reads outside the table (a huge look-ahead block, an empty table) count as silence.
int32_t levelAt(int slot, int64_t block) {
    if (block < 0 || block >= kEnvelopeBlocks) return 0;
    const size_t i = envelopeIndex(slot, int(block));
    return i < envelopes.levelTable.size() ? envelopes.levelTable[i] : 0;
}

// A level of the playing song as it sounds behind its match. The match a
// stream got at its open stays until it closes, whatever the switch says now:
// a jump in the middle of a song would be heard.
int32_t matched(int32_t level) {
    const float m = compressor.channelMatch[size_t(transport.currentChannel & 1)];
    if (m == 1000.0f) return level;
    return int32_t(std::lround(float(level) * m / 1000.0f));
}

// A slot holding a song whose loudness was measured.
bool measured(int slot) {
    return slot >= 0 && slot < kEnvelopeSlots && envelopes.envelopePresent[size_t(slot)] != 0 &&
           envelopes.loudness[size_t(slot)] > kNoLoudness;
}

// Single-precision factors, as the control was tuned with them.
TempoFactors factorsFor(float attack) {
    const float release = 1.0f + (1.0f / attack - 1.0f) / 2.5f;
    const float fastAttack = (2.0f * attack + 1.0f) / 3.0f;
    const float fastRelease = 1.0f + (1.0f / fastAttack - 1.0f) / 2.5f;
    return {attack, release, fastAttack, fastRelease};
}

const TempoFactors& currentTempo() {
    return compressor.tempo[size_t(std::clamp<int>(compressor.tempoIndex, 0, 2))];
}

// The normal step: down when the level at this gain is above the curve, else up.
float normalStep(float gain, int32_t level) {
    const TempoFactors& t = currentTempo();
    return float(level) * gain / 1000.0f > float(thresholdAt(level)) ? gain * t.attack
                                                                     : gain * t.release;
}

// Shared by fast attack and fast release: at most one bump per 0.1 s.
void bumpWildness() {
    if (timing::now() > compressor.wildnessBumpTime) {
        ++compressor.wildness;
        compressor.wildnessBumpTime = timing::now() + 0.1;
    }
}

void countForWarning() {
    Compressor& c = compressor;
    if (c.gain < 500.0f) ++c.heavyTicks;
    ++c.allTicks;
    // A held notice is not replaced: the warning waits until its hold is over.
    if (c.warningPending && !noticeHeld()) {
        c.warningPending = false;
        showNotice(notice::kCompressorWarning);
    }
    if (c.allTicks <= 24000) return;
    if (c.heavyTicks > 12000) {
        if (noticeHeld())
            c.warningPending = true;
        else
            showNotice(notice::kCompressorWarning);
        c.heavyTicks = uint32_t(roundEven(c.heavyTicks * 0.3));
        c.allTicks = uint32_t(roundEven(c.allTicks * 0.3));
    } else {
        c.heavyTicks = 0;
        c.allTicks = 0;
    }
}

// lastSentGain leaves out the ducking, so while ducked this sends every tick.
void sendWhenChanged() {
    Compressor& c = compressor;
    if (std::fabs(c.duckFactor * c.gain - c.lastSentGain) <= 2.0f) return;
    // Inside a cross-fade the outgoing song must not jump back to full level.
    const float fade = crossFade.fading ? transport.fadeFactor : 1.0f;
    const double volume = std::floor(fade * transport.masterVolume * c.gain * c.duckFactor);
    mciVolume(transport.channelAlias[transport.currentChannel & 1], volume);
    c.lastSentGain = c.gain;
}

// Position of the current song as a fraction of its length.
float currentSongFraction() {
    const int pos = tracks.playPosition;
    if (pos < 1 || pos >= int(tracks.playlist.size())) return 0.0f;
    const PlaylistEntry& song = tracks.playlist[size_t(pos)];
    if (song.lengthMs <= 0) return 0.0f;
    const double limit = song.lengthMs < 30000 ? kFadeSyncLimitSeconds : kSyncLimitSeconds;
    return float(currentPositionMs(transport.currentChannel, limit)) / float(song.lengthMs);
}

} // namespace

std::array<TempoFactors, 3> tempoFactorTable() {
    return {factorsFor(0.999f), factorsFor(0.9975f), factorsFor(0.995f)};
}

Knees setupKnees(int setup) {
    const Setup& s = kSetups[size_t(std::clamp(setup, 0, kSetupCount - 1))];
    // The factor is single precision, the product is not: 2470 x 1.05f stays below 2593.5.
    const double f = double(1.05f);
    return {roundEven(s.k1 * f), roundEven(s.k2 * f), roundEven(s.k3 * f)};
}

int32_t kneeCurve(int32_t level, const Knees& k) {
    int32_t c = level;
    if (level > k[0]) c = roundEven(k[0] + (level - k[0]) / 2.4);
    if (c > k[1]) c = roundEven(k[1] + (c - k[1]) / 2.0);
    if (c > k[2]) c = roundEven(k[2] + (c - k[2]) / 1.5);
    return c;
}

// Setup 0 is the identity; the others bend at their knees. The smoothing
// runs in place and ascending, so the lower neighbours are smoothed already.
static void fillCurve(int setup, std::vector<int32_t>& curve) {
    curve.resize(kCurveSize);
    if (setup == 0) {
        // Above 33,000 the previous setup's values stay; only the smoothing reads them.
        for (int32_t i = 0; i <= 33000; ++i)
            curve[size_t(i)] = i;
    } else {
        const Knees k = setupKnees(setup);
        for (int32_t i = 0; i < kCurveSize; ++i)
            curve[size_t(i)] = kneeCurve(i, k);
    }
    for (size_t i = 400; i <= 33000; ++i) {
        const int64_t sum =
            int64_t(curve[i - 190]) + curve[i - 80] + curve[i] + curve[i + 80] + curve[i + 190];
        curve[i] = roundEven(double(sum) / 5.0);
    }
}

std::vector<int32_t> startupThresholdCurve() {
    std::vector<int32_t> curve;
    fillCurve(5, curve);
    return curve;
}

void buildThresholdCurve(int buttons) {
    Compressor& c = compressor;
    if (buttons == 1) c.setupNumber = int16_t(c.setupNumber == 0 ? 12 : c.setupNumber - 1);
    if (buttons == 2) c.setupNumber = int16_t(c.setupNumber >= 12 ? 0 : c.setupNumber + 1);
    c.setupNumber = int16_t(std::clamp<int>(c.setupNumber, 0, 12));
    fillCurve(c.setupNumber, c.thresholdCurve);
    c.compressorOn = c.setupNumber == 0 ? 0 : 1;
    if (c.setupNumber != 0) c.tempoIndex = kSetups[size_t(c.setupNumber)].tempo;
    hooks::requestRedraw(hooks::Redraw::CompressorButton);
}

int32_t thresholdAt(int32_t level) {
    const auto& curve = compressor.thresholdCurve;
    if (curve.empty()) return 0;
    return curve[size_t(std::clamp<int32_t>(level, 0, int32_t(curve.size()) - 1))];
}

void compressorTick() {
    Compressor& c = compressor;
    c.barColour = tracks.playPosition % 2 == 0 ? 40 : 41;
    int32_t level2 = 0, level3 = 0;
    if (transport.channelOpen[0] == 0 && transport.channelOpen[1] == 0) {
        if (!(c.duckFactor < 1.0f)) return;
        updateDuck();
    } else if (c.compressorOn != 0) {
        // Look 5, 3 or 1 blocks ahead for SLOW, MEDI and FAST.
        const float blocks = float(envelopes.blockCount[0]) * currentSongFraction() + 5.0f -
                             2.0f * float(c.tempoIndex);
        int64_t b = std::isfinite(blocks) ? int64_t(std::floor(blocks)) : 0;
        b = std::clamp<int64_t>(b, 0, kLastLookAheadBlock);
        level2 = matched((levelAt(0, b) + levelAt(0, b + 1)) / 2);
        level3 = matched((levelAt(0, b + 1) + levelAt(0, b + 2) + levelAt(0, b + 3)) / 3);
        if (tracks.playPosition != c.lastPlayPosition) {
            c.gain = c.nextTrackGain;
            c.nextTrackGain = 1000.0f;
        }
        c.lastPlayPosition = tracks.playPosition;
    }

    c.gain = normalStep(c.gain, level2);
    const int32_t limit3 = thresholdAt(level3);
    // A zero threshold (silence) counts as far below: the gain comes back quickly.
    const float ratio = limit3 == 0 ? 0.0f : (float(level3) * c.gain / 1000.0f) / float(limit3);
    const TempoFactors& t = currentTempo();
    c.lastUp = 0;
    if (ratio > 1.28f) {
        bumpWildness();
        if (c.wildness < 9) {
            c.gain *= t.fastAttack;
            c.lastUp = 1;
        }
        if (ratio > 1.55f && c.tempoIndex < 2 && c.wildness < 7) {
            c.gain *= t.fastAttack;
            c.lastUp = 2;
        }
    }
    c.lastDown = 0;
    if (ratio < 0.75f) {
        bumpWildness();
        if (c.wildness < 11) {
            c.gain *= t.fastRelease;
            c.lastDown = 1;
        }
        if (ratio < 0.6f && c.tempoIndex < 2 && c.wildness < 9) {
            c.gain *= t.fastRelease;
            c.lastDown = 2;
        }
    }
    c.wildness = std::min(c.wildness, 30);
    if (timing::now() > c.wildnessDecayTime) {
        c.wildnessDecayTime = timing::now() + 1.0;
        c.wildness = roundEven(c.wildness * 0.7); // settles at 1, not 0
    }
    c.gain = std::clamp(c.gain, kMinGain, kMaxGain);

    countForWarning();
    hooks::requestRedraw(hooks::Redraw::CompressorBars);
    updateDuck();
    sendWhenChanged();
}

void tickCompressorWhenDue() {
    if (!(timing::now() > compressor.compressorTickTime)) return;
    compressorTick();
    compressor.compressorTickTime = timing::now() + kTickSeconds;
}

// The gain the control settles at for the song as a whole: where its
// typical matched level (the median of the blocks within 20 dB of its
// loudest) meets the curve. A song then starts where it will stay.
static float settledGain(int slot) {
    const int32_t blocks = std::min(envelopes.blockCount[size_t(slot)], kEnvelopeBlocks);
    const int32_t loudest = loudestBlock(envelopes.levelTable, slot);
    std::vector<int32_t> levels;
    for (int32_t b = 0; b < blocks; ++b)
        if (const int32_t l = levelAt(slot, b); l > 0 && l * 10 >= loudest) levels.push_back(l);
    if (levels.empty()) return kMaxGain;
    std::nth_element(levels.begin(), levels.begin() + std::ptrdiff_t(levels.size() / 2),
                     levels.end());
    const double level = levels[levels.size() / 2] * double(matchGain(slot)) / 1000.0;
    if (level < 1) return kMaxGain;
    const double settled = 1000.0 * thresholdAt(int32_t(std::lround(level))) / level;
    return std::clamp(float(settled), kMinGain, kMaxGain);
}

void prepareNextTrackGain(int slot) {
    Compressor& c = compressor;
    c.nextTrackGain = 1000.0f;
    if (slot < 0 || slot > 1 || envelopes.envelopePresent[size_t(slot)] == 0 ||
        c.compressorOn == 0 || tracks.playPosition + slot > tracks.playlistCount)
        return; // the last song, played from the start, gets its starting gain too
    if (c.matchOn != 0 && measured(slot)) {
        c.nextTrackGain = settledGain(slot);
        return;
    }
    const int entry = tracks.playPosition + slot;
    if (entry < 1 || entry >= int(tracks.playlist.size())) return;
    const double lengthMs = tracks.playlist[size_t(entry)].lengthMs;
    const double blocks = envelopes.blockCount[size_t(slot)];
    if (lengthMs <= 0) return;
    const double startMs = roundEven(envelopes.startCue[size_t(slot)] * lengthMs);
    // A window of 14, 11 or 8 seconds for SLOW, MEDI and FAST.
    const double windowMs = 14000 - 3000 * c.tempoIndex;
    const int64_t first = roundEven(startMs * blocks / lengthMs);
    const int64_t last = std::min<int64_t>(roundEven((startMs + windowMs) * blocks / lengthMs),
                                           envelopes.blockCount[size_t(slot)]);
    for (int64_t i = first; i <= last; ++i) {
        const int32_t level = roundEven((levelAt(slot, i) + levelAt(slot, i + 1)) * 0.5);
        c.nextTrackGain = std::clamp(normalStep(c.nextTrackGain, level), kMinGain, kMaxGain);
    }
}

float matchGain(int slot) {
    if (!measured(slot)) return 1000.0f;
    const double db =
        std::min(kMatchTargetLufs - envelopes.loudness[size_t(slot)], kMatchCeilingDb);
    double gain = 1000.0 * std::pow(10.0, db / 20.0);
    const int32_t peak = loudestBlock(envelopes.peakTable, slot);
    if (peak > 0) gain = std::min(gain, 1000.0 * kMatchPeakLimit / peak);
    return float(std::floor(gain));
}

void sendMatchGain(int channel, int slot) {
    Compressor& c = compressor;
    const size_t ch = size_t(channel & 1);
    c.channelMatch[ch] = 1000.0f;
    if (c.matchOn == 0 || !measured(slot)) return;
    c.channelMatch[ch] = matchGain(slot);
    mciGain(transport.channelAlias[ch], c.channelMatch[ch]);
}

void toggleMatching() {
    compressor.matchOn = int16_t(compressor.matchOn == 0 ? 1 : 0);
    hooks::requestRedraw(hooks::Redraw::CompressorButton);
}

void toggleCompressor() {
    compressor.compressorOn = int16_t(compressor.compressorOn == 0 ? 1 : 0);
    hooks::requestRedraw(hooks::Redraw::CompressorButton);
}

float duckTargetOf(std::span<const GongDuckInput> players, int duckTempo) {
    float target = 1.0f;
    // The duck lets go 2 s x (1 - d) before the gong ends, 1 s x (1 - d) with FAST.
    const double releaseMs = 2000.0 - 1000.0 * duckTempo;
    for (const GongDuckInput& g : players) {
        if (!g.playing) continue;
        if (g.positionMs < g.lengthMs - releaseMs * (1.0 - g.gongDuck) && g.gongDuck < target)
            target = g.gongDuck;
    }
    return target;
}

float stepDuckFactor(float factor, float target, int duckTempo) {
    const bool fast = duckTempo == 1;
    if (factor < target) {
        // Recovering may pass the target; the next step brings it back down.
        factor *= 1.04f;
        if (factor < 0.7f && fast) factor *= 1.03f;
        if (factor < 0.25f) factor *= 1.05f;
        if (factor < 0.15f) factor *= 1.05f;
        return std::min(factor, 1.0f);
    }
    if (factor > target) {
        factor *= 0.96f;
        if (factor < 0.7f && fast) factor *= 0.975f;
        return std::max(factor, target);
    }
    return factor;
}

void updateDuck() {
    Compressor& c = compressor;
    if (!(timing::now() > c.nextDuckTime)) return;
    // On a 20 ms grid: callers tick about every 20 ms themselves, and "20 ms
    // since the last step" would let every other tick pass and halve the speed.
    c.nextDuckTime = std::max(c.nextDuckTime + kDuckStepSeconds, timing::now());
    pollGongs();
    const auto players = gongDuckInputs();
    c.duckTarget = duckTargetOf(players, gongs.duckTempo);
    c.duckFactor = stepDuckFactor(c.duckFactor, c.duckTarget, gongs.duckTempo);
}
