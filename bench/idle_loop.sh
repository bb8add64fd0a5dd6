#!/usr/bin/env bash
# CPU use of the idle main loop: the real window open under Xvfb, nothing
# playing, for 10 seconds. Prints percent of one core.
set -euo pipefail
binary="${1:-build/klangkelter}"
seconds="${2:-10}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
binary="$1"; seconds="$2"; work="$3"
SDL_AUDIODRIVER=dummy "$binary" --program-dir "$work" &
pid=$!
timeout 20 xdotool search --sync --name 'MP3-KlangKelter' >/dev/null
sleep 1
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz="$(getconf CLK_TCK)"
t0="$(ticks)"; s0="$(date +%s.%N)"
sleep "$seconds"
t1="$(ticks)"; s1="$(date +%s.%N)"
xdotool key ctrl+x || true
sleep 0.5; kill "$pid" 2>/dev/null || true
awk -v t="$((t1 - t0))" -v hz="$hz" -v a="$s0" -v b="$s1" \
    'BEGIN { printf "| idle main loop (window open, nothing playing) | %.2f %% of one core | goal < 2 %% |\n", 100 * t / hz / (b - a) }'
INNER
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$seconds" "$work"
