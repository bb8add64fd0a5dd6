#pragma once
// The help notices: what a control says while the pointer rests on it, the
// idle notice and the link notice, with the forms that follow the program's
// state. Drawn by the notice view (ui/) from helpRows; the state is asked of
// a query that app/ installs. No state of its own.
#include <string>
#include <vector>

// What chooses the form of some help notices; all of it lives a layer or
// more up, so app/ answers. Without a query these start values hold.
struct HelpFacts {
    bool stackSelection = false;  // some stack entry is selected
    bool stackDuplicates = false; // the stack holds grey duplicates
    bool playlistEmpty = true;
    bool lameAvailable = false;
    bool lameOn = true;
    bool songPlaying = false; // the current song's channel is open
    bool autoPlay = true;
    bool triggerWarning = false; // the TRIGGER percentages blink
    bool previewMode = false;
    bool playerRunning = false;
    bool duckFast = false; // the gong panel's TEMPO
    int listCapacity = 0;  // songs the stack (and the playlist) can hold
    // A gong file's shortest and longest admitted length.
    int gongMinSeconds = 0, gongMaxMinutes = 0;
    // The gong player under the pointer.
    bool gongLoaded = false;
    int gongVolume = 0; // MCI scale, 100 to 1000
};
void setHelpFactsQuery(HelpFacts (*query)());

// One row of a help notice as drawn (code page 437).
struct HelpRow {
    std::string text;
    int x = 0, y = 0, colour = 0;
    int highlight = -1; // not -1: the background colour behind the text
};

// The rows help notice `id` shows now, placed in the notice box; empty when
// `id` is no help notice. A line too long for the box goes on in the next row.
std::vector<HelpRow> helpRows(int id);
// Every help notice's number, for the fit check.
const std::vector<int>& helpNoticeIds();
