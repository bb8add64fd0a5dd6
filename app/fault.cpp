#include "app/fault.h"

#include <string>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/screen.h"

// A number the way the error screen writes it: a blank before it when it is
// not negative, its minus sign otherwise.
static std::string signedText(long long n) {
    return (n >= 0 ? " " : "") + std::to_string(n);
}

void showErrorScreen(int number, int line) {
    if (screen::fb.pixels.empty()) {
        screen::open(screen::kWidth, screen::kHeight);
        backend::current().openWindow(screen::kWidth, screen::kHeight);
    }
    screen::setColors(0, 15);
    screen::clear();
    screen::locate(2, 2);
    screen::printLine(" Fehler " + signedText(number) + " in " + signedText(line) + "    ");
    double until = timing::now() + 5.0;
    while (timing::now() < until)
        timing::sleepMs(100);
    input::discardKeys();
    while (input::readKey().empty())
        timing::sleepMs(10);
}
