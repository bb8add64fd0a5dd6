#pragma once
// The envelopes as the user sees them: inside the three playlist cards with
// the trigger and cue marks, the empty running panel, the LAME and TRIGGER
// buttons and the TRIGGER warning blink. Owns the blink flags; the zoom level
// lives with the control panel.
#include <cstdint>

struct EnvelopeView {
    bool triggerBlink = false;
    double triggerBlinkTime = 0;
    bool triggerBlinkActive = false;
    double nextEmptyPanelTime = 0;
};

extern EnvelopeView envelopeView;

// The zoom factor of a song of this length at the current zoom level.
float zoomFactor(int32_t lengthMs);
void drawEnvelopeRow(int slot);
void drawTriggerOverlay(int slot);
void drawNoEnvelopePanel();
void drawTriggerButton();
void drawLameButton();
// Each main-loop pass: the TRIGGER percentages blink while a pause is set and the left trigger is high.
void serviceTriggerBlink();
