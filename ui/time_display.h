#pragma once
// Where the music stands: the progress bars and tick marks of the two upper
// playlist cards, their time fields, the "ENDs @" clock per visible song and
// the moving envelope strip at the lower left. Owns the last drawn bar
// fractions and the next drawing times, written only here and by the jump
// redraw; reads positions, lengths and triggers.
#include <cstdint>
#include <string>

struct TimeDisplay {
    float barFraction[2] = {0, 0}; // the fraction last drawn per card
    int16_t barJumped = 0;         // a jump makes the bar start from empty
    double nextBarTime[2] = {0, 0};
    double nextStripTime = 0;
    double nextEndClockTime = 0;
};

extern TimeDisplay timeDisplay;

// " 3:25" for 205000 ms: minutes and seconds of the time of day, a leading 0 blanked.
std::string shortTime(double ms);
// The bar's fraction for a song fraction f under the envelope ZOOM.
double zoomedFraction(double f, int32_t lengthMs);
// Card r (0 outgoing/current, 1 incoming during a fade): bar, ticks, times; at most every 0.33 s.
void drawProgress(int r);
void drawTicks(int r);
void drawTimes(int r);
// Card r just drawn by the playlist view: its ticks, and while its song plays the bar and times.
void drawCardPosition(int r);
// Once a second: the predicted end clock of each visible song.
void drawEndClock();
// Every 0.05 s: the envelope around the audible position.
void drawEnvelopeStrip();
void drawEnvelopeStripWhenDue();
void drawEmptyPanel();
