#!/usr/bin/env bash
# Makes the manual's annotated screenshot (docs/manual-screen.png) with the
# headless backend: ten generated songs sent to the playlist, analysed by
# lame, the first one playing, the pointer away so the idle notice shows.
# The manual's markers are placed on this picture: check them after a change.
set -euo pipefail
cd "$(dirname "$0")/.."
binary="$(realpath "${1:-build/klangkelter}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/nobin"
names=("Abendrot über dem Hafen" "Blaue Stunde" "Café Noir" "Fernweh" "Herbstlaub"
       "Jazz am Morgen" "Mondschein" "Nordwind" "Perlen" "Sonnenseite")
for i in $(seq 1 10); do
    hz=$((110 + i * 23)) seconds=$((70 + (i * 37) % 110))
    sox -n -r 44100 -c 2 "$work/s.wav" synth "$seconds" sine "$hz" sine $((hz * 3 / 2)) \
        tremolo "0.$((i % 7 + 1))" 70 fade q 3 "$seconds" 6 gain -$((i % 4 * 3 + 4)) 2>/dev/null
    lame --quiet -b 96 "$work/s.wav" "$work/music/${names[$((i - 1))]}.mp3"
done
ln -s "$(command -v lame)" "$work/lame"
cat >"$work/script.txt" <<SCRIPT
wait 0.9
click 300 260
move -1 -1
wait 1.08
dialog $work/music/${names[0]}.mp3
click 956 83
wait 1
key ctrl+a
click 673 83
wait 1
click 30 30
move -1 -1
wait 43
screenshot $PWD/docs/manual-screen.png
SCRIPT
PATH="$work/nobin" TMPDIR="$work" "$binary" --headless --script "$work/script.txt" \
    --program-dir "$work"
echo "wrote docs/manual-screen.png"
