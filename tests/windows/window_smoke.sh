#!/usr/bin/env bash
# The Windows program's real window under wine and Xvfb: it opens at
# 1000 x 527 with its title, draws the start screen, takes a key and a click
# (the close button's end box, whose upper half ends the program) and ends.
# Usage: window_smoke.sh WINDOWS_EXE (WINEPREFIX set by the caller)
set -euo pipefail
exe="$1"
work=$(mktemp -d)
display=":$((80 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    kill "$pid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY="$display" SDL_AUDIODRIVER=dummy
sleep 1
(cd "$work" && exec wine "$exe" --program-dir . >"$work/out.txt" 2>&1) &
pid=$!
window=""
for _ in $(seq 1 60); do
    window=$(xdotool search --name "KlangKelter" 2>/dev/null | head -1 || true)
    [[ -n "$window" ]] && break
    sleep 0.5
done
[[ -n "$window" ]] || { echo "window_smoke: no window"; exit 1; }
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
[[ "$geometry" == "1000x527" ]] || { echo "window_smoke: window is $geometry"; exit 1; }
sleep 2
# The start screen's light blue fills the window's right side.
import -window "$window" "$work/shot.png"
colour=$(convert "$work/shot.png" -format '%[pixel:p{900,100}]' info:)
[[ "$colour" != "srgb(0,0,0)" ]] || { echo "window_smoke: the start screen is not drawn"; exit 1; }
# Ctrl+X opens the end box at the upper right; its upper half ends the program.
xdotool mousemove --window "$window" 300 260 click 1
sleep 2
xdotool key --window "$window" ctrl+x 2>/dev/null
sleep 1
xdotool mousemove --window "$window" 880 60 click 1
for _ in $(seq 1 40); do
    kill -0 "$pid" 2>/dev/null || { echo "window_smoke: window opened, drawn, and ended by its end box"; exit 0; }
    sleep 0.5
done
echo "window_smoke: the end box did not end the program"
exit 1
