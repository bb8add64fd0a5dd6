#!/usr/bin/env bash
# When its X server dies the program says so on stderr and ends with a code
# that is not 0, so that a service manager restarts it.
set -euo pipefail
binary="$1"
work="$(mktemp -d)"
xvfb=""
trap '[[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

display=""
for n in $(seq 140 180); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    display=":$n"
    break
done
[[ -n "$display" ]] || fail "no free display number"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.05; done

DISPLAY="$display" SDL_AUDIODRIVER=dummy KK_ALLOW_SECOND_INSTANCE=1 \
    "$binary" --program-dir "$work" 2>"$work/err" >/dev/null &
pid=$!
DISPLAY="$display" timeout 10 xdotool search --sync --pid "$pid" >/dev/null || fail "no window"
sleep 0.5
kill -9 "$xvfb"
wait "$xvfb" 2>/dev/null || true
xvfb=""
code=0
timeout 10 tail --pid="$pid" -f /dev/null || fail "still running 10 s after the server died"
wait "$pid" || code=$?
[[ $code -ne 0 ]] || fail "exit code 0"
grep -q "X server" "$work/err" || fail "stderr was: $(cat "$work/err")"
echo "server lost test passed"
