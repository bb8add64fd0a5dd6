#!/usr/bin/env bash
# Makes the README's screenshot with the headless backend: four generated
# songs, analysed by lame, caught in the middle of a cross-fade.
set -euo pipefail
cd "$(dirname "$0")/.."
binary="$(realpath "${1:-build/klangkelter}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/nobin"
names=("Abendrot" "Blaue Stunde" "Café Noir" "Die lange Reise")
lengths=(46 150 95 210)
for i in 0 1 2 3; do
    sox -n -r 44100 -c 2 -b 16 "$work/s.wav" synth "${lengths[$i]}" pinknoise \
        tremolo "0.$((i + 2))" 70 fade t 3 "${lengths[$i]}" 9 vol 0.5 2>/dev/null
    lame --quiet -b 128 "$work/s.wav" "$work/music/${names[$i]}.mp3"
done
ln -s "$(command -v lame)" "$work/lame"
cat >"$work/script.txt" <<SCRIPT
wait 1
dialog $work/music/Abendrot.mp3
click 956 83
wait 1
key ctrl+a
click 673 83
wait 12
key ctrl+p
wait 36
screenshot $PWD/docs/screenshot.png
SCRIPT
PATH="$work/nobin" TMPDIR="$work" "$binary" --headless --script "$work/script.txt" \
    --program-dir "$work"
echo "wrote docs/screenshot.png"
