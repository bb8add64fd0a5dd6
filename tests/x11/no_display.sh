#!/usr/bin/env bash
# Without a display a person could see, the program says so and ends with a
# non-zero code instead of playing on in a window nobody sees.
set -euo pipefail
binary="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

expect_refusal() { # what, text expected on stderr, environment...
    local what="$1" text="$2"
    shift 2
    local code=0
    env "$@" SDL_AUDIODRIVER=dummy timeout 20 "$binary" --program-dir "$work" \
        2>"$work/err" >/dev/null || code=$?
    [[ $code -ne 0 && $code -ne 124 ]] || fail "$what: exit code $code"
    grep -q "$text" "$work/err" || fail "$what: stderr was: $(cat "$work/err")"
}

# SDL falls back to its offscreen driver where it finds no display at all.
expect_refusal "no DISPLAY" "set DISPLAY" -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER
expect_refusal "a display that is not there" "set DISPLAY" -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    DISPLAY=:97
expect_refusal "the offscreen driver" "shows no window" SDL_VIDEODRIVER=offscreen
echo "1 passed, 0 failed"
