#pragma once
// Run-time errors: the exception that carries an error number and the source
// line where it was raised, and the error screen that ends the program.
#include <source_location>

struct Fault {
    int number;
    std::source_location where;
    explicit Fault(int errorNumber, std::source_location at = std::source_location::current())
        : number(errorNumber), where(at) {}
};

// Error numbers, as the program reports them.
namespace faults {
constexpr int kIllegalCall = 5;
constexpr int kOutOfMemory = 7;
constexpr int kSubscriptOutOfRange = 9;
constexpr int kInternal = 51;
} // namespace faults

// " Fehler <n> in <line>" on a cleared window; waits 5 s, then for any key.
void showErrorScreen(int number, int line);
