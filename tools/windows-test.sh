#!/usr/bin/env bash
# Runs the Windows build's tests under wine: the test binary once (see
# tests/windows_tests.cmake) and the same script played by both builds
# (tests/windows/same_play.sh), and the real window under Xvfb
# (tests/windows/window_smoke.sh). Expects build-win/ (windows-build.sh --test)
# and the Linux program in build-test/.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX="$PWD/build-win/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A fresh prefix is made once; its first start can be slow, so it gets time
# and a second try before wine counts as not working on this machine.
boot() { timeout 300 wineboot -i >/dev/null 2>&1 && timeout 300 wineserver -w; }
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    boot || boot || {
        echo "windows-test: wine does not start on this machine; the Windows tests did not run" >&2
        exit 1
    }
fi
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
# wine's own services start with the first program and hold its output
# open; started here, with their output nowhere, they do not keep CTest
# waiting for the end of a test's output.
timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --test-dir build-win --output-on-failure -L windows
tests/windows/same_play.sh "$PWD/build-test/klangkelter" "$PWD/build-win/klangkelter.exe" \
    "$PWD/build-win/lame.exe"
tests/windows/window_smoke.sh "$PWD/build-win/klangkelter.exe"
