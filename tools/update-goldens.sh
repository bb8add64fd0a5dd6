#!/usr/bin/env bash
# Rewrites the golden screenshots in tests/golden/ from the current build.
# Look at every changed image before committing it.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target klangkelter_tests klangkelter
KK_UPDATE_GOLDENS=1 "$build/tests/klangkelter_tests" --gtest_filter='Golden*'
git status --short tests/golden
