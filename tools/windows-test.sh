#!/usr/bin/env bash
# Runs the Windows build's tests under wine: the test binary once (see
# tests/windows_tests.cmake) and the same script played by both builds
# (tests/windows/same_play.sh), and the real window with its dialog and its
# sound (tests/windows/window_smoke.sh), all on one Xvfb. Expects build-win/ (windows-build.sh --test)
# and the Linux program in build-test/.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX="$PWD/build-win/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One X server for every wine run: wine keeps the display of its first
# program, and the tests of the real window and the dialogs need one.
display=":$((80 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
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
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
# wine's own services start with the first program and hold its output
# open; started here, with their output nowhere, they do not keep CTest
# waiting for the end of a test's output.
timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --test-dir build-win --output-on-failure -L windows
tests/windows/same_play.sh "$PWD/build-test/klangkelter" "$PWD/build-win/klangkelter.exe" \
    "$PWD/build-win/lame.exe"
tests/windows/window_smoke.sh "$PWD/build-win/klangkelter.exe"
