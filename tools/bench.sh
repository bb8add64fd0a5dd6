#!/usr/bin/env bash
# Runs every benchmark against an optimised build and prints their tables.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh --test
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKK_TESTS=OFF -DKK_BENCH=ON >/dev/null
cmake --build build-bench
echo "| benchmark | result | goal |"
echo "| --- | --- | --- |"
for b in build-bench/bench/bench_*; do
    [[ -x "$b" ]] && "$b"
done
bash bench/matching.sh build-bench/klangkelter build-bench/bench/matching_metrics
bash bench/import_bench.sh build-bench/klangkelter
bash bench/idle_loop.sh build-bench/klangkelter
bash bench/playlist_virtual.sh build-bench/klangkelter
# Ten real minutes; KK_BENCH_MINUTES shortens it.
bash bench/playlist_xvfb.sh build-bench/klangkelter "${KK_BENCH_MINUTES:-10}"
