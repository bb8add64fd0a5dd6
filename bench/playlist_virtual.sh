#!/usr/bin/env bash
# A 30-song playlist (20 s to 5 min, 44.1 kHz stereo) played through by
# itself in virtual time with the null sink: the real time it takes and the
# real-time factor, without analysis and with lame analysing every song.
set -euo pipefail
binary="$(realpath "${1:-build/klangkelter}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/nobin" "$work/plain" "$work/lame"
total=0
for i in $(seq 30); do
    len=$((20 + (i * 53) % 280))
    total=$((total + len))
    sox -n -r 44100 -c 2 -b 16 "$work/s.wav" synth "$len" sine $((200 + 30 * i)) \
        fade t 2 "$len" 6 vol 0.3 2>/dev/null
    lame --quiet -b 128 "$work/s.wav" "$work/music/$(printf 'song%02d' "$i").mp3"
done
ln -s "$(command -v lame)" "$work/lame/lame"
script="$work/script.txt"
{
    printf 'wait 0.9\nclick 300 260\nmove -1 -1\nwait 0.08\nwait 1\ndialog %s\nclick 956 83\nwait 1\nkey ctrl+a\nclick 673 83\nwait 0.5\n' \
        "$work/music/song01.mp3"
    printf 'key ctrl+p\nwait %d\ndump %s/d.txt\n' "$((total + 30 * 12))" "$work"
} >"$script"
for mode in plain lame; do
    s0="$(date +%s.%N)"
    PATH="$work/nobin" TMPDIR="$work" "$binary" --headless --script "$script" \
        --program-dir "$work/$mode" >/dev/null
    s1="$(date +%s.%N)"
    grep -q '^playPosition=30$' "$work/d.txt" || { echo "the playlist did not play through" >&2; exit 1; }
    awk -v a="$s0" -v b="$s1" -v v="$((total + 30 * 12))" -v m="$mode" \
        'BEGIN { printf "| 30 songs (%d min) in virtual time, %s | %.2f s real, %.0f x real time | goal >= 500 x |\n", v / 60, (m == "lame" ? "lame analysing each song" : "no analysis"), b - a, v / (b - a) }'
done
