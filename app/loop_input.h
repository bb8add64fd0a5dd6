#pragma once
// The input that the loops below app/ react to (the transport's fades and
// ramps, the pause, the preview), handed to them through the hooks: app/
// reads it, and a click into the gong panel is found by the panel's view.
// No state of its own.
#include "platform/hooks.h"

hooks::Pointer loopPointer();
std::string loopKey();
// Drops the waiting keys; Ctrl+X or the close button among them still asks
// for the end box.
void loopDropKeys();
// A click into the shown gong panel acts in its during-fade mode; a click on
// the GONG tab opens the panel.
void loopGongClicks();
