#!/usr/bin/env bash
# A second instance in a virtual X server: beside a first one on the same
# display, a renamed copy of the program says it runs already, in both
# languages, and ends with exit code 0 after about 5.5 s.
set -euo pipefail
binary="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$binary" "$work/renamed-player"
mkdir "$work/first" "$work/runtime"
chmod 700 "$work/runtime"

cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
binary="$1"; work="$2"
fail() { echo "FAIL: $*"; exit 1; }
export XDG_RUNTIME_DIR="$work/runtime"
SDL_AUDIODRIVER=dummy "$binary" --program-dir "$work/first" &
first=$!
trap 'kill "$first" 2>/dev/null' EXIT
timeout 5 xdotool search --sync --pid "$first" >/dev/null || fail "no first window"
start=$(date +%s%N)
SDL_AUDIODRIVER=dummy "$work/renamed-player" --program-dir "$work" &
pid=$!
# The title comes later: the window is found by its process.
id="$(timeout 5 xdotool search --sync --pid "$pid" | head -1)" || fail "no window"
sleep 1
import -window "$id" "$work/shot.png"
code=0
wait "$pid" || code=$?
took=$((($(date +%s%N) - start) / 1000000))
[[ $code -eq 0 ]] || fail "exit code $code"
# 5.5 s of waiting; the window's start and a slow machine add a little.
((took >= 5400 && took < 9000)) || fail "ended after $took ms"
# White text on black: " klangkelter already running." in the second text row.
pixel() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info:; }
[[ "$(pixel 600 300)" == 000000* ]] || fail "the window is not cleared to black"
inked() { convert "$work/shot.png" -crop "240x8+0+$1" -format "%[fx:mean>0.05]" info:; }
[[ "$(inked 8)" == 1 ]] || fail "no first line of text"
[[ "$(inked 24)" == 1 ]] || fail "no second line of text"
[[ "$(inked 40)" == 0 ]] || fail "text below the second line"
INNER

xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$work"
echo "single instance test passed"
