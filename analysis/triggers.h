#pragma once
// The trigger points: each playlist entry's left and right trigger and the
// envelope slots' start cues, computed from the peaks, plus the two TRIGGER
// percentages. Written by the envelope reader, the buttons and the envelope
// view's clicks; read by the transport and the views.
#include <cstdint>

struct Triggers {
    // The TRIGGER button's shares of the loudest pair of blocks: how loud an
    // intro must have grown, and how far a fade-out may have fallen.
    float leftTriggerPercent = 0.3f;
    float rightTriggerPercent = 0.7f;
    // A percentage change recomputes the points a moment later, so that
    // several clicks in a row cost one recomputation.
    bool triggerRecomputePending = false;
    double triggerRecomputeTime = 0;
};

extern Triggers triggers;

enum class TriggerSide { Left, Right };

// Start cue (unless set by hand) and both triggers of the entry
// playPosition + slot from the slot's envelope; the defaults while LAME is off.
void computeTriggers(int slot);
// The points of an entry without an envelope: from the start to just before the end.
void defaultTriggers(int slot);
// The same for the entry alone: a start cue set by PAUSE before the song's
// points existed must survive the transport filling them in.
void defaultEntryTriggers(int slot);
// One TRIGGER click: up or down on 0.05, 0.1, 0.2, ... 0.8.
void stepTriggerPercent(TriggerSide which, bool up);
// Each main-loop pass: a short song must not wait for its very end.
void serviceTriggers();
// Later in the pass: the recomputation a percentage change asked for. The
// playing song keeps its points when little of it is left.
void recomputeTriggersWhenDue(bool currentSongOpen);

// Manual placements by a click at x into the envelope of `slot`; `zoom` is
// the envelope view's zoom factor. Only the given slot's entry changes.
void setLeftTriggerAt(int slot, int x, double zoom = 1.0);
void setRightTriggerAt(int slot, int x, double zoom = 1.0);
// The caller refuses a start cue for the song that plays: it started from its cue already.
void setStartCueAt(int slot, int x, double zoom = 1.0);
// AUTO PLAY is a transport setting, a layer up; app/ installs this query at
// start-up. Without one AUTO PLAY counts as on, its start value.
void setAutoPlayQuery(bool (*autoPlayOn)());
