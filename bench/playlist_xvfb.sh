#!/usr/bin/env bash
# CPU use while the playlist plays by itself: the real window under Xvfb with
# SDL's dummy audio, 20 analysed songs of 30 s to 2 min, cross-fading for
# the given minutes (10 by default). Prints percent of one core.
set -euo pipefail
binary="${1:-build/klangkelter}"
minutes="${2:-10}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/nobin"
for i in $(seq 20); do
    len=$((30 + (i * 37) % 90))
    sox -n -r 44100 -c 2 -b 16 "$work/s.wav" synth "$len" sine $((200 + 30 * i)) \
        fade t 0.5 "$len" 6 vol 0.3 2>/dev/null
    lame --quiet -b 128 "$work/s.wav" "$work/music/$(printf 'song%02d' "$i").mp3"
done
ln -s "$(command -v lame)" "$work/lame"

cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
binary="$1"; minutes="$2"; work="$3"
log="$work/mci.log"
KK_ALLOW_SECOND_INSTANCE=1 PATH="$work/nobin" SDL_AUDIODRIVER=dummy "$binary" --program-dir "$work" --mci-log "$log" &
pid=$!
id="$(timeout 20 xdotool search --sync --name 'MP3-KlangKelter' | head -1)"
sleep 1.5
xdotool windowfocus --sync "$id" 2>/dev/null || true
click() { xdotool mousemove --window "$id" "$1" "$2" click 1; sleep "${3:-0.6}"; }
click 300 260 1.0 # past the start screen, with empty lists
click 956 83 1.2
xdotool key ctrl+u
xdotool type --delay 5 "$work/music/song01.mp3"
xdotool key Return
for _ in $(seq 100); do grep -q 'song20.mp3" alias AUBIO_III' "$log" 2>/dev/null && break; sleep 0.1; done
sleep 0.5
xdotool key ctrl+a; sleep 0.3
click 673 83
click 34 28
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz="$(getconf CLK_TCK)"
t0="$(ticks)"; s0="$(date +%s.%N)"
sleep "$((minutes * 60))"
t1="$(ticks)"; s1="$(date +%s.%N)"
fades="$(grep -c 'open .* alias AUBIO_II*$' "$log" || true)"
kill "$pid" 2>/dev/null || true
awk -v t="$((t1 - t0))" -v hz="$hz" -v a="$s0" -v b="$s1" -v m="$minutes" -v f="$fades" \
    'BEGIN { printf "| playlist playing by itself, real window, %d min (%d songs opened) | %.2f %% of one core | goal < 5 %% |\n", m, f, 100 * t / hz / (b - a) }'
INNER
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/inner.sh" "$binary" "$minutes" "$work"
