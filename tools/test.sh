#!/usr/bin/env bash
# Installs what is missing, builds the program and the tests with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh --test
# The layers only look down.
python3 tools/check_layers.py
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKK_SANITIZE=ON -DKK_ASSERTIONS=ON \
    -DKK_BENCH=OFF >/dev/null
cmake --build build-test
# SDL's and X's own allocations are not ours to chase.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The WAV reader must survive any input: a short fuzzing run on every test run.
tools/fuzz.sh 30
# The unit and scenario tests run in one process per quarter, shuffled; the
# single tests (label "single") are for `ctest -R` by hand.
ctest --test-dir build-test --output-on-failure -j2 -LE single
# The same program for Windows: cross-built (the dependencies from Debian's
# sources, cached), its tests under wine, and one script played by both
# builds alike.
tools/windows-build.sh --test
tools/windows-test.sh
