#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each for its share of a bounded time.
# Usage: tools/fuzz.sh [seconds]   (default 60, for all of them together)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-60}"
fuzzers=(wav_reader_fuzz playlist_file_fuzz session_file_fuzz)
share=$(( (seconds + ${#fuzzers[@]} - 1) / ${#fuzzers[@]} ))

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKK_TESTS=OFF -DKK_BENCH=OFF -DKK_FUZZ=ON >/dev/null
cmake --build "$build" --target "${fuzzers[@]}" -j"${KK_JOBS:-2}"

# The fuzzer NAME on the corpus folder CORPUS, which gets SEED (printf format
# and arguments) when empty; inputs up to MAXLEN bytes.
fuzz() {
    local name="$1" corpus="$build/$2" maxlen="$3"
    shift 3
    mkdir -p "$corpus"
    if [ -z "$(ls -A "$corpus")" ]; then
        # shellcheck disable=SC2059
        printf "$@" >"$corpus/seed"
    fi
    "$build/fuzz/$name" -max_total_time="$share" -max_len="$maxlen" "$corpus"
}

# Slot byte 0, then a mono 16-bit PCM file with eight samples.
fuzz wav_reader_fuzz wav_corpus 65536 \
    '\x00RIFF\x34\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x44\xac\x00\x00\x88\x58\x01\x00\x02\x00\x10\x00data\x10\x00\x00\x00\x01\x00\xff\x7f\x00\x80\x10\x00\x20\x00\x30\x00\x40\x00\x50\x00'

# Table byte 0, then a list of two folders and three songs, scrambled, in the
# fuzzer's song folder: a.MP3, b.mp3 and one that is not there.
songs=/dev/shm/kk-playlist-fuzz/
[ -d /dev/shm ] || songs=/tmp/kk-playlist-fuzz/
fuzz playlist_file_fuzz playlist_corpus 8192 \
    '\x00PLAYLIST/Spielliste Klangkelter\r\nFolders/Ordner\r\n2\r\n/nowhere/\r\n%s\r\nFiles/Dateien\r\n3\r\naA\r\n2\r\nbKC\r\n2\r\nzQ\r\n1\r\n' \
    "$songs"

# A small session: one folder, one song that is not there, one gong slot, a
# few settings.
fuzz session_file_fuzz session_corpus 16384 \
    'AUTOLOAD/AUTOSAVE Klangkelter\r\nFolders/Ordner\r\nAnzahl\r\n1\r\n/nowhere/\r\nFiles/Dateien Spielliste\r\nAnzahl\r\n1\r\naA\r\n1\r\nFiles/Dateien Stapel\r\nAnzahl\r\n0\r\nAutoplay\r\n1\r\nPause\r\n2.5\r\nPlayposition\r\n1\r\nTrigger\r\n30\r\n70\r\nVOLUME\r\n100\r\nEndlos\r\n1\r\nGONGs\r\n8\r\n/nowhere/g.mp3\r\ng.mp3\r\n0\r\n355\r\n800\r\n'
