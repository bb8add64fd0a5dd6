#!/usr/bin/env bash
# Makes the README's screenshot with the headless backend.
set -euo pipefail
cd "$(dirname "$0")/.."
binary="${1:-build/klangkelter}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf 'wait 1\nscreenshot %s\n' "$PWD/docs/screenshot.png" >"$work/script.txt"
"$binary" --headless --script "$work/script.txt" --program-dir "$work"
echo "wrote docs/screenshot.png"
