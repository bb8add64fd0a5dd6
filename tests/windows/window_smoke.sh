#!/usr/bin/env bash
# The Windows program's real window under wine: it opens at 1000 x 527 with
# its title and draws the start screen; LOAD MP3s opens the system's open
# dialog, where a song is chosen; the song plays through SDL's audio (the
# disk driver writes what would be heard to a file); the close button's end
# box ends the program, which saved its day meanwhile. (The stops from
# outside are the test binary's StopRequests cases.)
# Usage: window_smoke.sh WINDOWS_EXE (DISPLAY and WINEPREFIX set by the caller)
set -euo pipefail
exe="$1"
work=$(mktemp -d)
pid=""
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "window_smoke: $*"; exit 1; }
mkdir -p "$work/m"
sox -n -r 44100 -c 2 "$work/a.wav" synth 30 sine 440 vol 0.5
lame --quiet -b 128 "$work/a.wav" "$work/m/a.mp3"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=sound.raw

start() {
    (cd "$work" && exec wine "$exe" "$@" --program-dir . >"$work/out.txt" 2>&1) &
    pid=$!
    window=""
    for _ in $(seq 1 80); do
        window=$(xdotool search --name "KlangKelter" 2>/dev/null | head -1 || true)
        [[ -n "$window" ]] && break
        sleep 0.5
    done
    [[ -n "$window" ]] || fail "no window"
}
ended() {
    for _ in $(seq 1 "$1"); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.25
    done
    return 1
}

start
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
[[ "$geometry" == "1000x527" ]] || fail "the window is $geometry"
sleep 2
# The start screen's light blue fills the window's right side.
import -window "$window" "$work/shot.png"
colour=$(convert "$work/shot.png" -format '%[pixel:p{900,100}]' info:)
[[ "$colour" != "srgb(0,0,0)" ]] || fail "the start screen is not drawn"
xdotool mousemove --window "$window" 300 260 click 1
sleep 2

# LOAD MP3s: the open dialog comes up as a window of its own.
xdotool mousemove --window "$window" 956 83 click 1
dialog=""
for _ in $(seq 1 40); do
    for w in $(xdotool search --onlyvisible --name "." 2>/dev/null); do
        [[ "$w" != "$window" ]] && [[ $(xdotool getwindowname "$w") != "KlangKelter"* ]] && dialog=$w
    done
    [[ -n "$dialog" ]] && break
    sleep 0.25
done
[[ -n "$dialog" ]] || fail "LOAD MP3s opened no dialog"
sleep 1
# Without a window manager the keys go to the window last clicked: the
# dialog, and in it Alt+N to the file name field.
xdotool mousemove --window "$dialog" 400 250 click 1
sleep 0.3
xdotool key alt+n
sleep 0.3
xdotool type --delay 30 "Z:${work//\//\\}\\m\\a.mp3"
xdotool key Return
sleep 3
# The folder's song into the playlist, and play.
xdotool mousemove --window "$window" 500 300 click 1
xdotool key ctrl+a
sleep 0.5
xdotool mousemove --window "$window" 673 83 click 1
sleep 0.5
xdotool key ctrl+p
sleep 4
python3 - "$work/sound.raw" <<'PY' || fail "no sound reached the audio device"
import sys, array
data = array.array("h")
with open(sys.argv[1], "rb") as f:
    raw = f.read()
data.frombytes(raw[: len(raw) // 2 * 2])
loud = sum(1 for s in data if abs(s) > 1000)
print(f"window_smoke: {len(data)} samples to the device, {loud} of them sounding")
sys.exit(0 if loud > 44100 else 1)
PY
# Ctrl+X opens the end box at the upper right; its upper half ends the program.
xdotool key ctrl+x
sleep 1
xdotool mousemove --window "$window" 880 60 click 1
ended 40 || fail "the end box did not end the program"

[[ -f "$work/KLANGKELTER-Spielliste-Autosave.sav" ]] || fail "no session was saved"
echo "window_smoke: window, start screen, open dialog, sound and end box all work"
