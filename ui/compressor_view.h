#pragma once
// The KOMPRESSOR button: the switch, the setup with its curve picture, and the
// gain bars with the ducking strip and the fast-step marks. Owns no state;
// reads the compressor.

void drawCompressorButton();
// The bars of the last tick.
void drawCompressorBars();
