#!/usr/bin/env bash
# ANGLEICHEN against the plain compressor: eight generated songs that are
# built like real music (levels 10 dB apart, quiet intros, long recorded
# fade-outs, one loud ending) played through headless and rendered, with the
# mode off and on; bench/matching_metrics.cpp reads the renders.
# Usage: matching.sh PROGRAM METRICS_TOOL
set -euo pipefail
program=$(realpath "$1") metrics=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/m"
# name seconds level-dB intro-s fade-out-s band
song() {
    local name=$1 seconds=$2 level=$3 intro=$4 fade=$5 low=$6 high=$7
    sox -n -r 44100 -c 2 "$work/m/$name.wav" synth "$seconds" pinknoise band "$low" "$high" \
        tremolo 1.7 35 gain -n "$level" fade q "$intro" "$seconds" "$fade"
}
song s1 60 -8 0.5 3 300 2500
song s2 55 -18 6 14 500 3000
song s3 50 -20 1 2 200 2000
song s4 60 -12 0.5 12 400 4000
song s5 45 -20 8 3 300 1500
song s6 55 -10 0.5 16 250 3500
# A loud ending: the last 10 s 6 dB above the rest.
sox -n -r 44100 -c 2 "$work/a.wav" synth 45 pinknoise band 300 3000 tremolo 2 30 gain -n -16 fade q 0.5 45 0
sox -n -r 44100 -c 2 "$work/b.wav" synth 10 pinknoise band 300 3000 tremolo 2 30 gain -n -10 fade q 0 10 1
sox "$work/a.wav" "$work/b.wav" "$work/m/s7.wav"
song s8 50 -14 2 10 300 2500
for w in "$work"/m/*.wav; do lame --quiet -b 192 "$w" "${w%.wav}.mp3"; done
mkdir -p "$work/songs"
mv "$work"/m/*.wav "$work/songs/"
ln -s "$(command -v lame)" "$work/lame"
printf '%s\n' 'wait 0.9' 'click 300 260' 'move -1 -1' 'wait 0.08' 'wait 1' 'dialog m/s1.mp3' \
    'click 956 83' 'wait 20' 'key ctrl+a' 'click 673 83' 'wait 30' 'key ctrl+p' 'wait 460' \
    >"$work/script.txt"
for mode in off on; do
    extra=()
    [[ $mode == on ]] && extra=(--match)
    (cd "$work" && XDG_STATE_HOME="$work/state-$mode" "$program" --headless --script script.txt \
        --program-dir . --mci-log "mci-$mode.txt" --render "out-$mode.wav" "${extra[@]}")
    "$metrics" "$work/out-$mode.wav" "$work/mci-$mode.txt" "$work/songs" "$mode"
done
