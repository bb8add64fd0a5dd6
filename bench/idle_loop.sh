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
started="$(date +%s.%N)"
KK_ALLOW_SECOND_INSTANCE=1 SDL_AUDIODRIVER=dummy "$binary" --program-dir "$work" &
pid=$!
# Polled every 20 ms: xdotool's own --sync looks only twice a second.
id=""
for _ in $(seq 1000); do
    id="$(xdotool search --name 'MP3-KlangKelter' 2>/dev/null | head -1 || true)"
    [[ -n "$id" ]] && break
    sleep 0.02
done
shown="$(date +%s.%N)"
awk -v a="$started" -v b="$shown" \
    'BEGIN { printf "| start screen shown after start | %.2f s | goal < 0.3 s |\n", b - a }'
# Past the start screen, with empty lists.
sleep 1.5
xdotool mousemove --window "$id" 300 260 click 1
xdotool mousemove 1279 1023
sleep 1
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
# Every thread's context switches: how often the idle program wakes up.
wakeups() { cat /proc/$pid/task/*/status | awk '/ctxt_switches/ {n += $2} END {print n}'; }
hz="$(getconf CLK_TCK)"
t0="$(ticks)"; w0="$(wakeups)"; s0="$(date +%s.%N)"
sleep "$seconds"
t1="$(ticks)"; w1="$(wakeups)"; s1="$(date +%s.%N)"
kill "$pid" 2>/dev/null || true
awk -v t="$((t1 - t0))" -v hz="$hz" -v a="$s0" -v b="$s1" \
    'BEGIN { printf "| idle main loop (window open, nothing playing) | %.2f %% of one core | goal < 2 %% |\n", 100 * t / hz / (b - a) }'
awk -v w="$((w1 - w0))" -v a="$s0" -v b="$s1" \
    'BEGIN { printf "| idle wake-ups (all threads) | %.0f per second | as few as the loop needs |\n", w / (b - a) }'
INNER
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$seconds" "$work"
