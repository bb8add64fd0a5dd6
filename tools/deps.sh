#!/usr/bin/env bash
# Installs the Debian packages the program (or, with --test, the test suite)
# needs and that are not installed yet. Uses sudo when not run as root.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libsdl2-dev libx11-dev libmpg123-dev zlib1g-dev lame)
if [[ "${1:-}" == "--test" ]]; then
    packages+=(python3 libgtest-dev xvfb xauth xdotool imagemagick x11-utils sox clang libclang-rt-14-dev
               desktop-file-utils)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ "$(id -u)" -ne 0 ]] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
