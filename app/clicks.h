#pragma once
// The actions of the mouse dispatch's region table, in two files by what they
// steer: the player's controls and the card envelopes (clicks_player.cpp),
// the lists, the list files and the tabs (clicks_lists.cpp). They read the
// click from mouseDispatch; no state of their own.
#include <string>

#include "platform/layout.h"
#include "ui/control_panel.h"

namespace clicks {

// The control characters the transport buttons feed into the key dispatch.
inline const std::string kCtrlN(1, char(14));
inline const std::string kCtrlP(1, char(16));
inline const std::string kCtrlS(1, char(19));

// What the click is on, and what every action may need.
bool inside(const Rect& r);
bool stackTabShown();
bool bothChannelsClosed();
void lock(double seconds);
void injectWithShift(const std::string& key);
int sideOfCentre(const Rect& r);
double stepPauseSeconds(double p, int side);
float stepVolume(float v, int side);
// The button shows its pressed colours for as long as the command it feeds runs.
void injectPressed(Button button, void (*draw)(), const std::string& key);

// The player's controls.
void clickPlay();
void clickStopToNext();
void clickStopToStart();
void clickPause();
void clickBlende();
void clickBlend();
void clickPauseSeconds();
void clickVolume();
void clickAutoPlay();
void clickCompressor();
void clickCompressorSetup();
void clickTrigger();
void computeAllTriggers();
void clickLame();
void clickZoom();
int envelopeBand();
void refuseWithoutLame();
void clickEnvelope();
// Ctrl-clicks into the card envelopes place triggers and cues; null when the
// click is none of them.
struct EnvelopeAction;
const EnvelopeAction* envelopeAction();

// The lists, the list files, the tabs.
void clickLoadFolder();
void clickLoadOne();
void clickSave();
void clickSaveList();
void clickLoadList();
void clickStackTab();
bool previewChosen();
void previewListClick(const std::string& path, double lockSeconds);
void clickStackPreview();
void clickVorh();
int infoTabUnderPointer();
void clickInfoTab();
void clickGongTab();
void clickSelectAll();
void clickSendArrow();
void loadAndPlay(double waitBeforePlay);
void clickPlaylistShuffle();
bool inStackList();
void clickStackRow();
void clickStackRowWithCtrl();
bool inPlaylistList();
bool onHeaderPixel(int colour);
void clickPlaylistRow();
void clickNameSort();
void clickLengthSort();
void clickStackDelete();
void clickStackShuffle();
void clickDoub();
int scrollBarTop(int barTop, double barHeight, int count, int lastPageRows);
void clickStackScrollBar();
void clickPlaylistScrollBar();
bool onPlaylistScrollBar();

} // namespace clicks
