#include "app/mouse_dispatch.h"

#include "app/control_panel.h"
#include "lists/import.h"
#include "lists/list_views.h"
#include "lists/tracks.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "texts/notices.h"

MouseDispatch mouseDispatch;

namespace {

constexpr int kNoticeNoFile = 73;

bool inside(int x1, int y1, int x2, int y2) {
    const auto& m = mouseDispatch;
    return m.x > x1 && m.x < x2 && m.y > y1 && m.y < y2;
}

bool stackTabShown() {
    return controlPanel.rightTab == 1;
}

void lock(double seconds) {
    mouseDispatch.clickLockUntil = timing::now() + seconds;
}

struct Region {
    bool (*applies)();
    void (*act)();
};

// Walked in order; the first region that applies acts.
const Region kRegions[] = {
    // LOAD MP3s: a whole folder.
    {[] {
         return stackTabShown() &&
                inside(kLoadFolderX1, kStackButtonTop, kLoadFolderX2, kStackButtonBottom);
     },
     [] {
         importFolder();
         lock(0.3);
     }},
    // LOAD 1xMP3.
    {[] {
         return stackTabShown() &&
                inside(kLoadOneX1, kStackButtonTop, kLoadOneX2, kStackButtonBottom);
     },
     [] {
         if (!importOneFile()) showNotice(kNoticeNoFile, 12, 6);
         lock(0.3);
     }},
    // Tab 1 shows the stack.
    {[] {
         const Rect& r = kTabRects[1];
         return inside(r.x1, r.y1, r.x2, r.y2);
     },
     [] {
         drawStackView();
         lock(0.1);
     }},
};

} // namespace

void dispatchMouse() {
    input::Mouse m = input::readMouse();
    if (m.x < 1 || m.y < 1) return;
    if (timing::now() < mouseDispatch.clickLockUntil) return;
    mouseDispatch.x = m.x;
    mouseDispatch.y = m.y;
    mouseDispatch.buttons = m.buttons;
    mouseDispatch.shift = input::keyDown(input::kLeftShift) || input::keyDown(input::kRightShift);
    mouseDispatch.ctrl = input::keyDown(input::kCtrl);
    mouseDispatch.alt = input::keyDown(input::kAlt);
    for (const Region& r : kRegions)
        if (r.applies()) {
            r.act();
            return;
        }
}
