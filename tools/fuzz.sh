#!/usr/bin/env bash
# Builds the WAV reader fuzzer with clang and runs it for a bounded time.
# Usage: tools/fuzz.sh [seconds]   (default 60)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-60}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKK_TESTS=OFF -DKK_BENCH=OFF >/dev/null
cmake --build "$build" --target wav_reader_fuzz -j"${KK_JOBS:-2}"

corpus="$build/wav_corpus"
mkdir -p "$corpus"
# One seed: slot byte 0, then a mono 16-bit PCM file with eight samples.
if [ -z "$(ls -A "$corpus")" ]; then
    printf '\x00RIFF\x34\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x44\xac\x00\x00\x88\x58\x01\x00\x02\x00\x10\x00data\x10\x00\x00\x00\x01\x00\xff\x7f\x00\x80\x10\x00\x20\x00\x30\x00\x40\x00\x50\x00' >"$corpus/seed-mono.wav"
fi
"$build/fuzz/wav_reader_fuzz" -max_total_time="$seconds" -max_len=65536 "$corpus"
