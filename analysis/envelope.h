#pragma once
// The loudness envelopes of the current song and the next two, and the
// bookkeeping that keeps them in step with the playlist.

struct Envelopes {
    double staleCheckTime = 0; // earliest time of the next check of the upcoming songs
};

extern Envelopes envelopes;
