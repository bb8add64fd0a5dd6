#!/usr/bin/env bash
# Starts the real program in a virtual X server, finds its window, checks its
# size, title and a few pixels of what it shows, then ends it with Ctrl+X.
set -euo pipefail
binary="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
binary="$1"; work="$2"
SDL_AUDIODRIVER=dummy "$binary" --program-dir "$work" --mci-log "$work/mci.log" &
pid=$!
fail() { echo "FAIL: $*"; kill "$pid" 2>/dev/null || true; exit 1; }

id="$(timeout 20 xdotool search --sync --name 'MP3-KlangKelter' | head -1)" || fail "no window"
title="$(xdotool getwindowname "$id")"
[[ "$title" == " MP3-KlangKelter | "* ]] || fail "title '$title'"
eval "$(xdotool getwindowgeometry --shell "$id")"
[[ "$WIDTH" == 1000 && "$HEIGHT" == 527 ]] || fail "size ${WIDTH}x${HEIGHT}"

# Give the start-up its 0.25 s and a few frames.
sleep 1.5
import -window "$id" "$work/shot.png"
pixel() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info:; }
for xy in "0 0" "500 260" "999 526"; do
    p="$(pixel $xy)"
    [[ "$p" == AAAAAA* ]] || fail "pixel $xy is $p"
done

xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+x
for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    fail "Ctrl+X did not end the program"
fi
wait "$pid" || fail "exit code $?"
echo "window smoke test passed"
INNER

xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$work"
