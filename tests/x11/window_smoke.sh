#!/usr/bin/env bash
# Starts the real program in a virtual X server, finds its window, checks its
# size, title and a few pixels of what it shows once past the start screen,
# then ends it with Ctrl+X and the end box's upper half.
set -euo pipefail
binary="$1"
golden="$2/tests/golden/empty-panel.png"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
binary="$1"; work="$2"; golden="$3"
# The test suite may run beside it, and its name counts as a running instance.
KK_ALLOW_SECOND_INSTANCE=1 SDL_AUDIODRIVER=dummy "$binary" --program-dir "$work" \
    --mci-log "$work/mci.log" &
pid=$!
fail() { echo "FAIL: $*"; kill "$pid" 2>/dev/null || true; exit 1; }

id="$(timeout 20 xdotool search --sync --name 'MP3-KlangKelter' | head -1)" || fail "no window"
title="$(xdotool getwindowname "$id")"
[[ "$title" == " MP3-KlangKelter | "* ]] || fail "title '$title'"
eval "$(xdotool getwindowgeometry --shell "$id")"
[[ "$WIDTH" == 1000 && "$HEIGHT" == 527 ]] || fail "size ${WIDTH}x${HEIGHT}"

# A click on the start screen once its countdown runs starts with empty lists.
sleep 1.5
xdotool mousemove --window "$id" 300 260 click 1
sleep 0.5
# With the pointer outside the window the notice box returns to its idle
# text once the hover notice's idle time has passed.
xdotool mousemove 1279 1023
sleep 3
import -window "$id" "$work/shot.png"
# The window shows what the headless backend draws: compare with the golden screen.
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info:; }
for xy in "0 300" "634 300" "999 0" "20 20" "700 470" "656 40"; do
    want="$(pixel "$golden" $xy)"
    got="$(pixel "$work/shot.png" $xy)"
    [[ "${got:0:6}" == "${want:0:6}" ]] || fail "pixel $xy is $got, expected $want"
done

xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+x
sleep 1
kill -0 "$pid" 2>/dev/null || fail "Ctrl+X ended the program without the end box"
xdotool mousemove --window "$id" 880 60 click 1
for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    fail "the end box's upper half did not end the program"
fi
wait "$pid" || fail "exit code $?"
echo "window smoke test passed"
INNER

xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$work" "$golden"
