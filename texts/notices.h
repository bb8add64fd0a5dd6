#pragma once
// The notice box at the lower right: which numbered notice it shows, how long
// that notice is protected, and the texts of the notices operations raise.
// Written by showNotice, the notice view (ui/) and the hover tracker.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The numbers of the notices that the program raises or refers to by name.
namespace notice {
constexpr int kGreyNotSelected = 35; // a duplicate cannot be selected with DOUB off
constexpr int kAlreadyLoaded = 36;   // the import skipped songs listed already
constexpr int kDuplicateCleared = 37;
constexpr int kPlaylistFull = 38;
constexpr int kStackFull = 39;
constexpr int kImportRefusedLength = 42; // songs too short or too long
constexpr int kRightTrigger = 43;
constexpr int kLeftTrigger = 44;
constexpr int kNeedsLame = 46;
constexpr int kCompressorWarning = 55;
constexpr int kListInvalid = 57;   // with noticeNumber > 0: that many files not found
constexpr int kSaveTooLittle = 58; // too little in the lists to be worth a file
constexpr int kDuplicatesLoaded = 56;
constexpr int kSkippedDuplicates = 62;
constexpr int kStackNoRoom = 80; // a reorder finds no room in the stack
constexpr int kGongRefused = 72; // too short, too long or no MP3
constexpr int kNoFile = 73;
constexpr int kNoFolder = 74;
constexpr int kGongReset = 76;
constexpr int kSaveRepeat = 78; // AUTOSAVE again only after {n} seconds
constexpr int kAutosaveHelp = 79;
constexpr int kStackOverflow = 81;
constexpr int kCutShort = 84;      // a song's file ended before the song's length
constexpr int kFolderAway = 85;    // the music folder cannot be reached
constexpr int kNoAudioDevice = 86; // the music goes on without sound
// The analysis does not work: no decoder (87), a decoder that fails (88), no
// room for its buffer in TMPDIR (89); in the order of AnalysisTrouble.
constexpr int kAnalysisTrouble = 87;
constexpr int kGongUnplayable = 90;  // a gong's file would not open at PLAY
constexpr int kSaveFailed = 91;      // a list or session file could not be written
constexpr int kNoSavedSession = 92;  // asked to resume, but no session was saved
constexpr int kFolderTableFull = 93; // every folder slot holds songs of the lists
constexpr int kAudioDeviceBack = 94; // the lost device opened again
constexpr int kFolderLate = 95;      // a folder of the session is not there yet
// Help notices that operations raise as well.
constexpr int kStackListHelp = 1;
constexpr int kPlaylistHelp = 2;
constexpr int kListSaved = 50;
constexpr int kVorhHelp = 52;
constexpr int kPreviewRunning = 53;
constexpr int kPreviewRefused = 54; // a preview while the player runs
constexpr int kNoText = 61;         // an empty box, between two notices
constexpr int kNoListChosen = 75;
constexpr int kListNotFound = 77;
constexpr int kLink = 126;
constexpr int kIdle = 127;
} // namespace notice

struct Notices {
    int noticeId = notice::kIdle;
    int lastNoticeId = -1;
    double noticeHoldTime = 0;  // no other notice replaces the shown one before this
    double noticeIdleTime = 0;  // after this the hover tracker returns to the idle notice
    double noticeForce = 0;     // not 0: the next draw happens regardless
    uint8_t noticePending = 0;  // a draw was refused during a hold
    double hoverResumeTime = 0; // the hover tracker runs only after this
    // Facts some notices show in their conditional lines, set by whoever raises them.
    bool importFoundDuplicates = false;
    bool importRefusedLength = false;
    int noticeNumber = 0;            // the n of notices that show a number
    std::string savedListPath;       // the file a playlist was saved to
    std::string previewPositionText; // the preview's position as time
    std::string songName;            // the song a playback notice is about
};

extern Notices notices;

// Facts of the lists, a layer up, that choose the form of some notices.
struct ListFacts {
    bool duplicatesBarred = true; // DOUB is off
    bool playlistFull = false;
};
// app/ installs the query at start-up; without one the start values hold.
void setListFactsQuery(ListFacts (*query)());

// `text` with each {field} replaced by value(field); an unknown field gives
// whatever value() returns for it (usually nothing).
std::string fillFields(std::string_view text,
                       const std::function<std::string(std::string_view field)>& value);

// Whether the box must show `noticeId` now: not while a hold protects the
// shown notice (the draw is kept pending) nor when it is shown already, unless
// forced. A true answer counts as drawn; the notice view asks it.
bool takeNoticeToDraw();
// Asks the screen to show `noticeId` (through the redraw hook).
void requestNoticeDraw();
// Another notice is protected now (its hold time has not passed).
bool noticeHeld();
// How long a notice stays: after `idle` seconds the hover tracker may return
// to the idle notice, and for `hold` seconds no other notice replaces it.
struct NoticeTimes {
    double idle = 12, hold = 5;
};
// The times notice `id` is shown with when it is raised.
NoticeTimes noticeTimes(int id);
// Shows a notice at once, for its own times: idle time from now, hold time
// after drawing.
void showNotice(int id);
// The same for the few places whose notice stays longer or shorter than usual.
void showNotice(int id, NoticeTimes times);
// The lines notice `id` would show now (code page 437), for drawing and tests.
// Conditional lines that do not apply are left out; the others move up.
std::vector<std::string> noticeLines(int id);
// Colour of each line of `noticeLines(id)`.
std::vector<int> noticeColours(int id);
