#include "app/loop_input.h"

#include "platform/input.h"
#include "platform/layout.h"
#include "playback/gongs.h"
#include "ui/gong_view.h"

hooks::Pointer loopPointer() {
    const input::Mouse m = input::readMouse();
    return {m.x, m.y, m.buttons};
}

std::string loopKey() {
    return input::readKey();
}

void loopDropKeys() {
    bool end = false;
    for (std::string key = input::readKey(); !key.empty(); key = input::readKey())
        end = end || input::endsSession(key);
    if (end) hooks::requestEnd();
}

void loopGongClicks() {
    input::Press click = input::takeUnclaimedPress();
    const input::Mouse held = input::readMouse();
    // A button held down repeats its click, as in the main loop.
    if (held.buttons != 0 && !input::claimed(held))
        click = {held, input::keyDown(input::kCtrl),
                 input::keyDown(input::kLeftShift) || input::keyDown(input::kRightShift)};
    const input::Mouse& m = click.mouse;
    if (m.buttons == 0) return;
    if (gongPanelShown()) {
        if (m.x > kStackLeft)
            gongAct(gongControlAt(m.x, m.y), {m.buttons, click.ctrl, click.shift}, true);
    } else if (kTabRects[5].contains(m.x, m.y)) {
        hooks::requestRedraw(hooks::Redraw::GongPanel); // opens the panel
    }
}
