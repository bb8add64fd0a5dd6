#pragma once
// The hover tracker: the help notice of the control under the resting
// pointer. Writes `noticeId` and the notice's idle time (texts/notices.h);
// keeps no state of its own.

// Called by the main loop while the pointer rests and when the notice is due
// for a refresh; draws the notice it chose.
void trackHover();
// Draws the help under the pointer anew, unless an operation's notice is held:
// a click changed what the help says (a gong's volume, TEMPO).
void refreshHoverHelp();
// Lets the help notices ask for the state that chooses their forms (at start-up).
void installHelpFacts();
