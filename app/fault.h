#pragma once
// Run-time errors: the exception that carries an error number and the source
// line where it was raised, and the error screen that ends the program.
struct Fault {
    int number;
    int line; // where it was raised
    // __builtin_LINE, not std::source_location: the fuzzing build's clang
    // does not offer the latter with this standard library.
    explicit Fault(int errorNumber, int raisedAt = __builtin_LINE())
        : number(errorNumber), line(raisedAt) {}
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
