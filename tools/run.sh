#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKK_TESTS=OFF -DKK_BENCH=OFF >/dev/null
cmake --build build --target klangkelter
exec build/klangkelter "$@"
