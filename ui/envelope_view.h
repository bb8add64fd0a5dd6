#pragma once
// The envelopes as the user sees them: inside the three playlist cards with
// the trigger and cue marks, the empty running panel, the LAME and TRIGGER
// buttons and the TRIGGER warning blink. Owns the blink flags and the zoom.
#include <cstdint>

struct EnvelopeView {
    bool triggerBlink = false;
    double triggerBlinkTime = 0;
    bool triggerBlinkActive = false;
    double nextEmptyPanelTime = 0;
    // ZOOM: level 0 is off; songs longer than zoomMinLength (ms) are drawn
    // magnified against zoomReference (ms). Written by the ZOOM button.
    int16_t zoomLevel = 0;
    double zoomReference = 0;
    double zoomMinLength = 20000;
};

extern EnvelopeView envelopeView;

// The zoom factor of a song of this length at the current zoom level.
float zoomFactor(int32_t lengthMs);
void drawEnvelopeRow(int slot);
void drawTriggerOverlay(int slot);
void drawNoEnvelopePanel();
// The decoder works on the song of card `slot`.
void drawWorkingLabel(int slot);
// Card `slot`'s envelope band greyed with a fine dot pattern: it waits to be refilled.
void drawStaleBand(int slot);
void drawTriggerButton();
void drawLameButton();
// Each main-loop pass: the TRIGGER percentages blink while a pause is set and the left trigger is
// high.
void serviceTriggerBlink();
