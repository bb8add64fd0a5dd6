#pragma once
// What the transport and the change-over show over the playlist: the pause
// countdown with its STOPP box, the "Play" label of the incoming card and the
// refused sign. Owns no state; reads the transport, the fade and the triggers.

void drawCountdownBox();
// The seconds left of the pause, into the countdown box.
void drawCountdownSeconds();
void drawPlayLabel();
// A crossed circle over the playlist: the click cannot be carried out now.
void drawRefusedSign();
