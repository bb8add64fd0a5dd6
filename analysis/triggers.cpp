#include "analysis/triggers.h"

#include <algorithm>
#include <cmath>

#include "analysis/decoder.h"
#include "analysis/envelope.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/hooks.h"
#include "platform/layout.h"
#include "texts/notices.h"

Triggers triggers;

namespace {
bool autoPlayAtStart() {
    return true;
}
bool (*autoPlayOn)() = autoPlayAtStart;
} // namespace

void setAutoPlayQuery(bool (*query)()) {
    autoPlayOn = query ? query : autoPlayAtStart;
}

namespace {

constexpr int32_t kSoundThreshold = 64;
constexpr double kStartWindowMs = 3500, kShortStartWindowMs = 700, kShortStartSongMs = 10000;
constexpr int kStartLeadBlocks = 2;
constexpr double kLeftWindowMs = 17000, kShortLeftWindowMs = 500, kShortSongMs = 30000;
constexpr int kMinLeftBlocks = 5;
constexpr double kLeftLimitMs = 17000;
constexpr double kRightWindowMs = 22000;
constexpr int kFirstRightBlock = 5;
// A trigger at the very end would never be reached before the song stops.
constexpr double kReplacementEnd = 0.996;
constexpr double kStopCueShare = 0.1;
constexpr double kRecomputeDelaySeconds = 1.2;
constexpr int32_t kKeepSlotZeroMs = 20000;
constexpr double kWidth = kEnvelopeWidth;

// Rounds as roundEven does, but stays a double: block counts and levels here
// may pass beyond what an int32 holds.
double nearestWhole(double v) {
    return std::nearbyint(v);
}

PlaylistEntry* entryOf(int slot) {
    if (slot < 0 || slot >= kEnvelopeSlots) return nullptr;
    return playlistSlot(tracks.playPosition + slot);
}

// Blocks past the table, or tables never allocated, read as silence.
int32_t peakAt(int slot, int block) {
    size_t k = envelopeIndex(slot, block);
    return block >= 0 && k < envelopes.peakTable.size() ? envelopes.peakTable[k] : 0;
}

double clickFraction(int x, double zoom) {
    return (double(x - kEnvelopeLeft) / zoom) / kWidth;
}

void computeStartCue(int slot, double L, int32_t N) {
    double window = L < kShortStartSongMs ? kShortStartWindowMs : kStartWindowMs;
    int K = std::max(int(nearestWhole(window * N / L)), kStartLeadBlocks);
    double& cue = envelopes.startCue[size_t(slot)];
    cue = 0.0;
    for (int i = 0; i <= K; ++i)
        if (peakAt(slot, i) > kSoundThreshold) {
            cue = double(i - kStartLeadBlocks) / N;
            break;
        }
    if (cue < 0) cue = 0.0;
}

void computeLeftTrigger(int slot, PlaylistEntry& e, double L, int32_t N) {
    double window = L < kShortSongMs ? kShortLeftWindowMs : kLeftWindowMs;
    int M = std::max(int(nearestWhole(N * window / L)), kMinLeftBlocks);
    auto pair = [&](int i) { return peakAt(slot, i) + peakAt(slot, i + 1); };
    int32_t maxPair = 0;
    for (int i = 1; i <= M; ++i)
        maxPair = std::max(maxPair, pair(i));
    double threshold = nearestWhole(maxPair * double(triggers.leftTriggerPercent));
    for (int i = 1; i <= M; ++i)
        if (pair(i) > threshold) {
            e.leftTrigger = double(i) / N;
            break;
        }
    if (e.leftTrigger * L > kLeftLimitMs) e.leftTrigger = kLeftLimitMs / L;
    e.leftTrigger = std::max(e.leftTrigger, envelopes.startCue[size_t(slot)]);
}

void computeRightTrigger(int slot, PlaylistEntry& e, double L, int32_t N) {
    int S = std::max(int(nearestWhole(N - N * kRightWindowMs / L)), kFirstRightBlock);
    auto pair = [&](int i) { return peakAt(slot, i - 1) + peakAt(slot, i); };
    int32_t maxPair = 0;
    for (int i = S; i <= N; ++i)
        maxPair = std::max(maxPair, pair(i));
    // Without AUTO PLAY the point is only a stop cue: deep into the fade.
    double share = autoPlayOn() ? double(triggers.rightTriggerPercent) : kStopCueShare;
    double threshold = nearestWhole(maxPair * share);
    for (int i = N; i >= S; --i)
        if (pair(i) > threshold || i == S) {
            e.rightTrigger = double(i) / N;
            break;
        }
    if (e.rightTrigger == 1.0 || e.rightTrigger == 0.0) e.rightTrigger = kReplacementEnd;
}

} // namespace

void computeTriggers(int slot) {
    if (decoder.lameOn == 0) {
        for (int k = 0; k < kEnvelopeSlots; ++k)
            defaultTriggers(k);
        return;
    }
    PlaylistEntry* e = entryOf(slot);
    if (!e || e->lengthMs <= 0) return;
    const double L = e->lengthMs;
    const int32_t N = std::max(envelopes.blockCount[size_t(slot)], 1);
    if (envelopes.startCueManual[size_t(slot)] == 0) computeStartCue(slot, L, N);
    computeLeftTrigger(slot, *e, L, N);
    computeRightTrigger(slot, *e, L, N);
}

void defaultTriggers(int slot) {
    if (slot < 0 || slot >= kEnvelopeSlots) return;
    envelopes.startCue[size_t(slot)] = 0.0;
    envelopes.startCueManual[size_t(slot)] = 0;
    defaultEntryTriggers(slot);
}

void defaultEntryTriggers(int slot) {
    PlaylistEntry* e = entryOf(slot);
    if (!e) return;
    const double L = e->lengthMs;
    e->leftTrigger = 0.0;
    e->rightTrigger = kReplacementEnd;
    if (L <= 0) return;
    // A short song ends 0.8 s early, a long one 2.1 s.
    e->rightTrigger = L < kShortSongMs ? 1 - 800 / L : (L - 2100) / L;
}

void stepTriggerPercent(TriggerSide which, bool up) {
    float& p =
        which == TriggerSide::Left ? triggers.leftTriggerPercent : triggers.rightTriggerPercent;
    const float before = p;
    if (up) {
        if (p > 0.04f && p < 0.06f)
            p = 0.1f;
        else if (p < 0.79f)
            p = float(p + 0.1);
    } else {
        if (p > 0.09f && p < 0.11f)
            p = 0.05f;
        else if (p > 0.11f)
            p = float(p - 0.1);
    }
    if (p != before) {
        triggers.triggerRecomputePending = true;
        triggers.triggerRecomputeTime = timing::now() + kRecomputeDelaySeconds;
    }
    // Keeps repeated steps on the 0.05 grid despite binary fractions.
    for (float* q : {&triggers.leftTriggerPercent, &triggers.rightTriggerPercent})
        *q = float(std::floor(20 * double(*q) + 0.001) / 20);
}

void serviceTriggers() {
    PlaylistEntry* e = entryOf(0);
    if (e && e->lengthMs < kShortSongMs && e->rightTrigger > 0.995) e->rightTrigger = 0.95;
}

void recomputeTriggersWhenDue(bool currentSongOpen) {
    if (!triggers.triggerRecomputePending || !(timing::now() > triggers.triggerRecomputeTime))
        return;
    // The song about to end keeps its points: a hand-over already planned stays.
    const PlaylistEntry* current = entryOf(0);
    const bool longLeft = current && current->lengthMs - current->positionMs > kKeepSlotZeroMs;
    if (!currentSongOpen || longLeft) computeTriggers(0);
    computeTriggers(1);
    computeTriggers(2);
    hooks::requestRedraw(hooks::Redraw::PlaylistView);
    triggers.triggerRecomputePending = false;
}

void setLeftTriggerAt(int slot, int x, double zoom) {
    PlaylistEntry* e = entryOf(slot);
    if (!e) return;
    const double f = clickFraction(x, zoom);
    const double cue = envelopes.startCue[size_t(slot)];
    if (envelopes.envelopePresent[size_t(slot)] == 0 || cue > f) return;
    e->leftTrigger = std::min(f, cue + 0.2);
    if (e->lengthMs > 0) e->leftTrigger = std::min(e->leftTrigger, kLeftLimitMs / e->lengthMs);
    showNotice(notice::kLeftTrigger);
    if (e->leftTrigger < 0) e->leftTrigger = 0.0;
}

void setRightTriggerAt(int slot, int x, double zoom) {
    PlaylistEntry* e = entryOf(slot);
    if (!e) return;
    const double dx = x - kEnvelopeLeft;
    e->rightTrigger = std::max(1 - ((kWidth - dx) / kWidth) / zoom, 0.7);
    showNotice(notice::kRightTrigger);
    if (e->leftTrigger < 0) e->leftTrigger = 0.0;
}

void setStartCueAt(int slot, int x, double zoom) {
    PlaylistEntry* e = entryOf(slot);
    if (!e) return;
    double& cue = envelopes.startCue[size_t(slot)];
    int16_t& manual = envelopes.startCueManual[size_t(slot)];
    cue = std::min(clickFraction(x, zoom), e->rightTrigger - 0.1);
    manual = 1;
    if (e->leftTrigger < cue) e->leftTrigger = 0.0;
    if (e->rightTrigger < cue) e->rightTrigger = std::min(cue + 0.05, 1.0);
    if (cue < 0) {
        cue = 0.0;
        manual = 0;
    }
    computeTriggers(slot);
}
