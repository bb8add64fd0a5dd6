#include "platform/backend.h"

#include "platform/clock.h"

namespace backend {

static std::unique_ptr<Backend> active;

void install(std::unique_ptr<Backend> b) {
    active = std::move(b);
    if (active)
        timing::install({[] { return active->now(); }, [](double ms) { active->sleepMs(ms); },
                         [](double ms) { active->spendMs(ms); }});
    else
        timing::install({});
}

Backend& current() {
    return *active;
}
bool installed() {
    return active != nullptr;
}

} // namespace backend
