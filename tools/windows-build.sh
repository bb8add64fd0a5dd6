#!/usr/bin/env bash
# Installs the cross toolchain and wine, builds the dependencies (cached, see
# windows-deps.sh) and cross-builds the Windows program into build-win/.
# With --test it also builds the tests and runs them under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
          libz-mingw-w64-dev wine64 wine dpkg-dev ninja-build cmake googletest libsdl2-dev
          libmpg123-dev lame nsis)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    sudo=""
    [[ "$(id -u)" -ne 0 ]] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
prefix=$(tools/windows-deps.sh "${KK_WIN_CACHE:-$HOME/.cache/klangkelter-win}" | tail -1)
tests=OFF
[[ "${1:-}" == "--test" ]] && tests=ON
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKK_WIN_PREFIX="$prefix" -DKK_TESTS=$tests -DKK_BENCH=OFF >/dev/null
cmake --build build-win
cp "$prefix/bin/lame.exe" build-win/
